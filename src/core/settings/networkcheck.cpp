#include "settings/networkcheck.h"

#include "link/networklink.h"
#include "link/statusquery.h"

#include <QtGlobal>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

NetworkTarget NetworkTarget::held(const QString& interfaceName, const Address& ip,
                                  const Address& mask, int tcpPort)
{
    return NetworkTarget{interfaceName, PrinterAddress::network(formatAddress(ip), tcpPort), true,
                         ip, mask};
}

QString NetworkTarget::label() const
{
    return interfaceName.isEmpty() ? address.toString()
                                   : interfaceName + QLatin1Char(' ') + address.toString();
}

NetworkPlan networkPlan(const PrinterSettings& s)
{
    NetworkPlan plan;
    const int tcp = s.ethernetPorts ? s.ethernetPorts->tcp : PrinterAddress::DefaultTcpPort;
    if (s.ethernetIp) {
        if (s.ethernetIp->dhcp)
            plan.dhcp << QStringLiteral("ethernet");
        else
            plan.targets << NetworkTarget::held(QStringLiteral("ethernet"), s.ethernetIp->ip,
                                                s.ethernetIp->mask, tcp);
    }
    if (s.wifiIp) {
        if (s.wifiIp->dhcp)
            plan.dhcp << QStringLiteral("wifi");
        else
            plan.targets << NetworkTarget::held(QStringLiteral("wifi"), s.wifiIp->ip,
                                                s.wifiIp->mask, tcp);
    }
    return plan;
}

namespace {

quint32 toHost(const Address& a)
{
    return quint32(a[0]) << 24 | quint32(a[1]) << 16 | quint32(a[2]) << 8 | a[3];
}

} // namespace

QString localInterfaceOn(const Address& ip, const Address& mask)
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return QString();
    const quint32 net = toHost(mask);
    QString found;
    for (const ifaddrs* i = list; i && found.isEmpty(); i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        const quint32 local =
            ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        if ((local & net) == (toHost(ip) & net))
            found = QString::fromLocal8Bit(i->ifa_name);
    }
    ::freeifaddrs(list);
    return found;
}

QByteArray testReceipt(const PrinterAddress& address, const QDateTime& now)
{
    QByteArray bytes("\x1B\x40");
    bytes += "Network check\n";
    bytes += "Address: " + address.host.toLatin1() + "\n";
    bytes += "Port: " + QByteArray::number(address.tcpPort) + "\n";
    bytes += "Time: " + now.toString(Qt::ISODate).toLatin1() + "\n";
    bytes += "\n\n\n\n";
    return bytes;
}

AddressCheck checkAddress(const NetworkTarget& target, const CheckBudget& budget, bool print,
                          const QDateTime& now)
{
    AddressCheck check;
    check.target = target;
    if (target.subnetKnown)
        check.localInterface = localInterfaceOn(target.ip, target.mask);
    const PrinterAddress& address = target.address;
    std::unique_ptr<NetworkLink> link = NetworkLink::open(address, check.outcome, budget.connectMs);
    if (!link)
        return check;
    check.outcome = readPrinterStatus(*link, check.status, budget.replyMs);
    // Where a till prints, a printer that answers nothing is as good as absent.
    if (check.outcome.ok() && !check.status.reports)
        check.outcome = Outcome::failed(Failure::Timeout, 4);
    if (!check.outcome.ok())
        return check;
    if (print)
        check.printed = link->send(testReceipt(address, now)).ok();
    return check;
}
