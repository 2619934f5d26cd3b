#include "link/printeraddress.h"

#include <QRegularExpression>

PrinterAddress PrinterAddress::usbPort(int port)
{
    PrinterAddress a;
    a.kind = Kind::UsbPort;
    a.port = port;
    return a;
}

PrinterAddress PrinterAddress::usbPath(const QString& path)
{
    PrinterAddress a;
    a.kind = Kind::UsbPath;
    a.path = path;
    return a;
}

PrinterAddress PrinterAddress::network(const QString& host, int tcpPort)
{
    PrinterAddress a;
    a.kind = Kind::Host;
    a.host = host;
    a.tcpPort = tcpPort;
    return a;
}

namespace {

// A host name's labels (RFC 1123), or an IPv4 address, which has that shape too.
bool isHostName(const QString& host)
{
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    if (host.isEmpty() || host.size() > 253)
        return false;
    for (const QString& part : host.split(QLatin1Char('.')))
        if (!label.match(part).hasMatch())
            return false;
    return true;
}

bool isIpv6(const QString& host)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9A-Fa-f:.]+$"));
    return host.contains(QLatin1Char(':')) && shape.match(host).hasMatch() && host.size() <= 45;
}

std::optional<int> parseTcpPort(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[1-9][0-9]{0,4}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int port = text.toInt();
    return port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

} // namespace

std::optional<PrinterAddress> PrinterAddress::parseHost(const QString& text)
{
    QString host = text;
    QString port;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return std::nullopt;
        port = rest.mid(1);
        if (!isIpv6(host) || (rest.size() == 1))
            return std::nullopt;
    } else if (text.count(QLatin1Char(':')) == 1) {
        host = text.section(QLatin1Char(':'), 0, 0);
        port = text.section(QLatin1Char(':'), 1);
        if (port.isEmpty())
            return std::nullopt;
    } else if (text.count(QLatin1Char(':')) > 1) {
        // A bare IPv6 address: a port would be ambiguous without brackets.
        if (!isIpv6(host))
            return std::nullopt;
    }
    if (!host.contains(QLatin1Char(':')) && !isHostName(host))
        return std::nullopt;
    int tcpPort = DefaultTcpPort;
    if (!port.isEmpty()) {
        const std::optional<int> p = parseTcpPort(port);
        if (!p)
            return std::nullopt;
        tcpPort = *p;
    }
    return network(host, tcpPort);
}

QString PrinterAddress::toString() const
{
    switch (kind) {
    case Kind::UsbPort:
        return QStringLiteral("port %1").arg(port);
    case Kind::UsbPath:
        return path;
    case Kind::Host:
        break;
    }
    const QString number = QString::number(tcpPort);
    return host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host, number)
                                           : QStringLiteral("%1:%2").arg(host, number);
}

bool PrinterAddress::operator==(const PrinterAddress& o) const
{
    return kind == o.kind && port == o.port && path == o.path && host == o.host &&
           tcpPort == o.tcpPort;
}
