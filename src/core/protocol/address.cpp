#include "protocol/address.h"

QString formatAddress(const Address& address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address[0])
        .arg(address[1])
        .arg(address[2])
        .arg(address[3]);
}

Address addressAt(const QByteArray& data, int offset)
{
    Address address{};
    for (int i = 0; i < 4; ++i) {
        if (offset + i >= 0 && offset + i < data.size())
            address[i] = std::uint8_t(data[offset + i]);
    }
    return address;
}

namespace {

bool allDigits(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

QList<AddressPart> addressParts(const QString& text)
{
    QList<AddressPart> parts;
    for (const QString& piece : text.split(QLatin1Char('.'))) {
        AddressPart part;
        part.text = piece;
        const QString digits = piece.trimmed();
        if (!digits.isEmpty()) {
            bool ok = false;
            const int value = digits.toInt(&ok);
            part.valid = ok && allDigits(digits) && value <= 255;
            part.value = ok ? value : 0;
            part.leadingZero = digits.size() > 1 && digits.front() == QLatin1Char('0');
        }
        parts.append(part);
    }
    return parts;
}

std::optional<Address> parseAddress(const QString& text, EmptyParts empty)
{
    const QList<AddressPart> parts = addressParts(text);
    if (parts.size() != 4)
        return std::nullopt;
    Address address{};
    for (int i = 0; i < 4; ++i) {
        if (!parts[i].valid || (empty == EmptyParts::Refused && parts[i].text.trimmed().isEmpty()))
            return std::nullopt;
        address[i] = std::uint8_t(parts[i].value);
    }
    return address;
}

std::optional<std::uint16_t> parsePort(const QString& text)
{
    const QString digits = text.trimmed();
    bool ok = false;
    const int value = digits.toInt(&ok);
    if (!ok || !allDigits(digits) || value < 1 || value > 65535)
        return std::nullopt;
    return std::uint16_t(value);
}
