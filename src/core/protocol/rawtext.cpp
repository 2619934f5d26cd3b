#include "protocol/rawtext.h"

namespace {

constexpr ushort ForeignByteBase = 0xDC00; // + a byte of 0x80 to 0xFF

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

int foreignByteAt(const QString& text, int i)
{
    const ushort u = text[i].unicode();
    if (u < ForeignByteBase + 0x80 || u > ForeignByteBase + 0xFF ||
        (i > 0 && text[i - 1].isHighSurrogate()))
        return -1;
    return u - ForeignByteBase;
}

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
        const int byte = foreignByteAt(text, i);
        if (byte < 0)
            continue;
        bytes.append(text.mid(from, i - from).toUtf8());
        bytes.append(char(byte));
        from = i + 1;
    }
    bytes.append(text.mid(from).toUtf8());
    return bytes;
}

bool holdsForeignBytes(const QString& text)
{
    for (int i = 0; i < text.size(); ++i)
        if (foreignByteAt(text, i) >= 0)
            return true;
    return false;
}
