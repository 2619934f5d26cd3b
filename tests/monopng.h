#pragma once

#include <QByteArray>
#include <QtEndian>

// A valid white 1-bit greyscale PNG of any size that stays a few kilobytes, so the pixel limit
// of image loading is tested at its real value without a picture of that size in the repository.
namespace monopng {

inline quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : data) {
        crc ^= uchar(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray chunk(const char* type, const QByteArray& body)
{
    QByteArray length(4, 0);
    qToBigEndian<quint32>(quint32(body.size()), length.data());
    const QByteArray typed = QByteArray(type) + body;
    QByteArray crc(4, 0);
    qToBigEndian<quint32>(crc32(typed), crc.data());
    return length + typed + crc;
}

inline QByteArray white(int width, int height)
{
    QByteArray header(13, 0);
    qToBigEndian<quint32>(quint32(width), header.data());
    qToBigEndian<quint32>(quint32(height), header.data() + 4);
    header[8] = 1; // bit depth
    header[9] = 0; // greyscale
    QByteArray row(1 + (width + 7) / 8, char(0xFF));
    row[0] = 0; // filter: none
    QByteArray raw;
    raw.reserve(row.size() * height);
    for (int y = 0; y < height; ++y)
        raw += row;
    // qCompress puts a four-byte length before the zlib stream that PNG wants.
    const QByteArray zlib = qCompress(raw, 9).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib) +
           chunk("IEND", {});
}

} // namespace monopng
