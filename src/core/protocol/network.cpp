#include "protocol/network.h"

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

namespace {

constexpr ushort ForeignByteBase = 0xDC00; // + a byte of 0x80 to 0xFF

bool isForeignByte(const QString& text, int i)
{
    const ushort u = text[i].unicode();
    return u >= ForeignByteBase + 0x80 && u <= ForeignByteBase + 0xFF &&
           !(i > 0 && text[i - 1].isHighSurrogate());
}

// The length of the valid UTF-8 sequence at data[i], or 0.
int utf8SequenceAt(const QByteArray& data, int i)
{
    const auto at = [&](int k) { return k < data.size() ? std::uint8_t(data[k]) : 0u; };
    const unsigned lead = at(i);
    if (lead < 0x80)
        return 1;
    const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
    // The second byte's range also rules out overlong forms, surrogates and code points past
    // U+10FFFF.
    const unsigned second = at(i + 1);
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 0 || second < low || second > high)
        return 0;
    for (int k = 2; k < length; ++k)
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

QString textFromBytes(const QByteArray& bytes)
{
    QString text;
    for (int i = 0; i < bytes.size();) {
        const int length = utf8SequenceAt(bytes, i);
        if (length == 0) {
            text.append(QChar(ushort(ForeignByteBase + std::uint8_t(bytes[i]))));
            ++i;
            continue;
        }
        text.append(QString::fromUtf8(bytes.constData() + i, length));
        i += length;
    }
    return text;
}

QByteArray bytesFromText(const QString& text)
{
    QByteArray bytes;
    int from = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (!isForeignByte(text, i))
            continue;
        bytes.append(text.mid(from, i - from).toUtf8());
        bytes.append(char(text[i].unicode() - ForeignByteBase));
        from = i + 1;
    }
    bytes.append(text.mid(from).toUtf8());
    return bytes;
}

bool holdsForeignBytes(const QString& text)
{
    for (int i = 0; i < text.size(); ++i)
        if (isForeignByte(text, i))
            return true;
    return false;
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
