#include "protocol/network.h"

#include "protocol/frame.h"

namespace {

void appendAddress(QByteArray& out, const Address& address)
{
    for (const std::uint8_t byte : address)
        out.append(char(byte));
}

std::uint8_t byteAt(const QByteArray& data, int index)
{
    return index < data.size() ? std::uint8_t(data[index]) : 0;
}

std::uint16_t littleEndianAt(const QByteArray& data, int index)
{
    return std::uint16_t(byteAt(data, index) | byteAt(data, index + 1) << 8);
}

void appendLittleEndian(QByteArray& out, std::uint16_t value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

// The first count zero-terminated fields; a field cut off by the end of the data ends there.
QList<QByteArray> terminatedFields(const QByteArray& data, int count)
{
    QList<QByteArray> fields;
    int from = 0;
    for (int i = 0; i < count; ++i) {
        if (from >= data.size()) {
            fields.append(QByteArray());
            continue;
        }
        int end = data.indexOf('\0', from);
        if (end < 0)
            end = data.size();
        fields.append(data.mid(from, end - from));
        from = end + 1;
    }
    return fields;
}

void appendTerminated(QByteArray& out, const QString& text)
{
    out.append(bytesFromText(text));
    out.append('\0');
}

} // namespace

QByteArray encodeEthernetIp(const EthernetIp& settings)
{
    QByteArray out;
    out.append(char(settings.dhcp ? 0x00 : 0x01));
    appendAddress(out, settings.ip);
    appendAddress(out, settings.mask);
    appendAddress(out, settings.gateway);
    return out;
}

EthernetIp decodeEthernetIp(const QByteArray& data)
{
    EthernetIp settings;
    settings.dhcp = byteAt(data, 0) == 0x00;
    settings.ip = addressAt(data, 1);
    settings.mask = addressAt(data, 5);
    settings.gateway = addressAt(data, 9);
    return settings;
}

QByteArray encodeEthernetPorts(const EthernetPorts& ports)
{
    QByteArray out;
    appendLittleEndian(out, ports.tcp);
    appendLittleEndian(out, ports.udp);
    return out;
}

EthernetPorts decodeEthernetPorts(const QByteArray& data)
{
    return {littleEndianAt(data, 0), littleEndianAt(data, 2)};
}

std::uint8_t wifiModeValue(WifiMode mode)
{
    return std::uint8_t(mode);
}

WifiMode decodeWifiMode(const QByteArray& data)
{
    return WifiMode(byteAt(data, 0));
}

QByteArray encodeStation(const StationSettings& settings)
{
    QByteArray out;
    appendTerminated(out, settings.name);
    appendTerminated(out, settings.password);
    return out;
}

StationSettings decodeStation(const QByteArray& data)
{
    const QList<QByteArray> fields = terminatedFields(data, 2);
    return {textFromBytes(fields[0]), textFromBytes(fields[1])};
}

QByteArray encodeAccessPoint(const AccessPointSettings& settings)
{
    QByteArray out;
    appendTerminated(out, settings.name);
    appendTerminated(out, settings.password);
    appendTerminated(out, settings.address);
    return out;
}

AccessPointSettings decodeAccessPoint(const QByteArray& data)
{
    const QList<QByteArray> fields = terminatedFields(data, 3);
    return {textFromBytes(fields[0]), textFromBytes(fields[1]), textFromBytes(fields[2])};
}

QList<QByteArray> loggedBytes(const QByteArray& bytes, std::uint8_t command, int payloadAt)
{
    // The password is the second of the payload's zero-terminated fields in both items.
    int secretFrom = -1;
    int secretTo = -1;
    if (command == CONNECT_AP_INFORMATION || command == AP_MODE) {
        const int nameEnd = bytes.indexOf('\0', payloadAt);
        if (nameEnd >= 0) {
            secretFrom = nameEnd + 1;
            secretTo = bytes.indexOf('\0', secretFrom);
            if (secretTo < 0)
                secretTo = bytes.size();
        }
    }
    QList<QByteArray> logged;
    for (int i = 0; i <= bytes.size(); ++i) {
        if (i == secretFrom)
            logged << QByteArray(SecretMask);
        if (i < bytes.size() && (i < secretFrom || i >= secretTo))
            logged
                << QByteArray::number(std::uint8_t(bytes[i]), 16).toUpper().rightJustified(2, '0');
    }
    return logged;
}

QByteArray encodeWifiIp(const WifiIp& settings)
{
    QByteArray out;
    out.append(char(settings.dhcp ? 0x01 : 0x00));
    appendAddress(out, settings.ip);
    appendAddress(out, settings.gateway);
    appendAddress(out, settings.mask);
    appendAddress(out, settings.dns);
    return out;
}

WifiIp decodeWifiIp(const QByteArray& data)
{
    WifiIp settings;
    settings.dhcp = byteAt(data, 0) != 0x00;
    settings.ip = addressAt(data, 1);
    settings.gateway = addressAt(data, 5);
    settings.mask = addressAt(data, 9);
    settings.dns = addressAt(data, 13);
    return settings;
}
