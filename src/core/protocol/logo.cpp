#include "protocol/logo.h"

#include <QtEndian>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <limits>

namespace logo {

namespace {

static_assert(DarkBelow > 128 && DarkBelow <= 255, "the eight-pixel test below needs bit 7 set");

// 1C 71 and the count byte.
constexpr int DownloadHeaderSize = 3;

constexpr quint64 Low7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr quint64 High = 0x8080808080808080ULL;
// Adding 256 - DarkBelow to a byte's low seven bits sets its bit 7 exactly when those bits reach
// DarkBelow - 128, and never carries into the next byte.
constexpr quint64 LightOffset = 0x0101010101010101ULL * quint64(256 - DarkBelow);

inline bool pixelBit(uchar grey, BitSense sense)
{
    return (grey < DarkBelow) == (sense == BitSense::Printer);
}

// One packed byte, in the preview sense, of eight grey pixels: pixel 0 in bit 7.
inline uchar lightByte(const uchar* pixels)
{
    const quint64 x = qFromLittleEndian<quint64>(pixels);
    const quint64 light = ((x & Low7) + LightOffset) & x & High;
    // Gathers bit 0 of byte i into bit 7 - i of the top byte.
    return uchar(((light >> 7) * 0x8040201008040201ULL) >> 56);
}

#if defined(__SSE2__)
// Two packed bytes, in the preview sense, of sixteen grey pixels.
inline quint16 lightBytes16(const uchar* pixels)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    __m128i light = _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(char(DarkBelow))), v);
    // movemask puts the first pixel in bit 0; each packed byte wants it in bit 7.
    light = _mm_shufflelo_epi16(light, _MM_SHUFFLE(0, 1, 2, 3));
    light = _mm_shufflehi_epi16(light, _MM_SHUFFLE(0, 1, 2, 3));
    light = _mm_or_si128(_mm_slli_epi16(light, 8), _mm_srli_epi16(light, 8));
    return quint16(_mm_movemask_epi8(light));
}
#endif

// Transposes an 8 x 8 bit matrix held row 0 in the top byte, column 0 in each byte's bit 7.
inline quint64 transpose8x8(quint64 x)
{
    quint64 t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x ^= t ^ (t << 28);
    return x;
}

// The column bytes of one 8 x 8 block: byte column c of the packed rows, rows 8b to 8b + 7.
void columnBlock(const uchar* packed, int across, int down, int height, int c, int b, uchar* dst)
{
    const uchar* in = packed + qptrdiff(8) * b * across + c;
    const int rows = std::min(8, height - 8 * b);
    quint64 block = 0;
    for (int i = 0; i < 8; ++i)
        block = (block << 8) | (i < rows ? in[qptrdiff(i) * across] : 0x00);
    block = transpose8x8(block);
    uchar* column = dst + qptrdiff(8) * c * down + b;
    for (int j = 0; j < 8; ++j)
        column[qptrdiff(j) * down] = uchar(block >> (56 - 8 * j));
}

#if defined(__SSE2__)
// The column bytes of sixteen blocks side by side: byte columns c to c + 15, rows 8b to 8b + 7.
void columnBlocks16(const uchar* packed, int across, int down, int height, int c, int b, uchar* dst)
{
    const uchar* in = packed + qptrdiff(8) * b * across + c;
    const int rows = std::min(8, height - 8 * b);
    __m128i r[8];
    for (int i = 0; i < 8; ++i)
        r[i] = i < rows
                   ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + qptrdiff(i) * across))
                   : _mm_setzero_si128();
    // Byte-transpose so that each 64-bit lane holds one byte column's eight rows, the last row
    // first: movemask then yields the topmost row in bit 7.
    const __m128i t0 = _mm_unpacklo_epi8(r[7], r[6]);
    const __m128i t1 = _mm_unpacklo_epi8(r[5], r[4]);
    const __m128i t2 = _mm_unpacklo_epi8(r[3], r[2]);
    const __m128i t3 = _mm_unpacklo_epi8(r[1], r[0]);
    const __m128i t4 = _mm_unpackhi_epi8(r[7], r[6]);
    const __m128i t5 = _mm_unpackhi_epi8(r[5], r[4]);
    const __m128i t6 = _mm_unpackhi_epi8(r[3], r[2]);
    const __m128i t7 = _mm_unpackhi_epi8(r[1], r[0]);
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1);
    const __m128i u1 = _mm_unpacklo_epi16(t2, t3);
    const __m128i u2 = _mm_unpackhi_epi16(t0, t1);
    const __m128i u3 = _mm_unpackhi_epi16(t2, t3);
    const __m128i u4 = _mm_unpacklo_epi16(t4, t5);
    const __m128i u5 = _mm_unpacklo_epi16(t6, t7);
    const __m128i u6 = _mm_unpackhi_epi16(t4, t5);
    const __m128i u7 = _mm_unpackhi_epi16(t6, t7);
    __m128i pairs[8] = {
        _mm_unpacklo_epi32(u0, u1), _mm_unpackhi_epi32(u0, u1), _mm_unpacklo_epi32(u2, u3),
        _mm_unpackhi_epi32(u2, u3), _mm_unpacklo_epi32(u4, u5), _mm_unpackhi_epi32(u4, u5),
        _mm_unpacklo_epi32(u6, u7), _mm_unpackhi_epi32(u6, u7),
    };
    uchar* column = dst + qptrdiff(8) * c * down + b;
    const qptrdiff nextByteColumn = qptrdiff(8) * down;
    for (int p = 0; p < 8; ++p) {
        __m128i v = pairs[p];
        uchar* left = column + qptrdiff(2) * p * nextByteColumn;
        uchar* right = left + nextByteColumn;
        for (int j = 0; j < 8; ++j) {
            const int bits = _mm_movemask_epi8(v);
            left[qptrdiff(j) * down] = uchar(bits);
            right[qptrdiff(j) * down] = uchar(bits >> 8);
            v = _mm_add_epi8(v, v);
        }
    }
}
#endif

} // namespace

void packRows(const uchar* grey, int width, int height, int stride, BitSense sense, uchar* dst)
{
    if (height < 1 || width < 1)
        return;
    const uchar flip = sense == BitSense::Printer ? 0xFF : 0x00;
    const int fullBytes = width / 8;
    const int rest = width % 8;
    const int rowBytes = bytesPerRow(width);
    for (int y = 0; y < height; ++y) {
        const uchar* in = grey + qptrdiff(y) * stride;
        uchar* out = dst + qptrdiff(y) * rowBytes;
        int i = 0;
#if defined(__SSE2__)
        const quint16 flip16 = quint16(flip * 0x0101);
        for (; i + 2 <= fullBytes; i += 2)
            qToLittleEndian<quint16>(lightBytes16(in + qptrdiff(8) * i) ^ flip16, out + i);
#endif
        for (; i < fullBytes; ++i)
            out[i] = lightByte(in + qptrdiff(8) * i) ^ flip;
        if (rest) {
            const uchar* tail = in + qptrdiff(8) * fullBytes;
            uchar last = 0;
            for (int k = 0; k < rest; ++k)
                last |= uchar(pixelBit(tail[k], sense) << (7 - k));
            out[fullBytes] = last;
        }
    }
}

QByteArray packRows(const uchar* grey, int width, int height, int stride, BitSense sense)
{
    if (width < 1 || height < 1)
        return {};
    QByteArray packed(bytesPerRow(width) * height, Qt::Uninitialized);
    packRows(grey, width, height, stride, sense, reinterpret_cast<uchar*>(packed.data()));
    return packed;
}

qint64 columnDataSize(int width, int height)
{
    return 8 * qint64(bytesPerRow(width)) * bytesPerRow(height);
}

void toColumnData(const uchar* packed, int width, int height, uchar* dst)
{
    const int across = bytesPerRow(width);
    const int down = bytesPerRow(height);
    if (across == 0 || down == 0)
        return;
    int c = 0;
    // A strip of byte columns at a time, all its rows before the next: the strip's output is one
    // contiguous stretch of columns that stays in the first-level cache.
#if defined(__SSE2__)
    for (; c + 16 <= across; c += 16)
        for (int b = 0; b < down; ++b)
            columnBlocks16(packed, across, down, height, c, b, dst);
#endif
    for (; c < across; ++c)
        for (int b = 0; b < down; ++b)
            columnBlock(packed, across, down, height, c, b, dst);
}

QByteArray toColumnData(const uchar* packed, int width, int height)
{
    QByteArray data(int(columnDataSize(width, height)), Qt::Uninitialized);
    toColumnData(packed, width, height, reinterpret_cast<uchar*>(data.data()));
    return data;
}

qint64 imageBlockSize(int width, int height)
{
    return 4 + columnDataSize(width, height);
}

QByteArray buildImageBlock(const uchar* grey, int width, int height, int stride)
{
    const qint64 size = imageBlockSize(width, height);
    if (size > std::numeric_limits<int>::max())
        return {};
    const int across = bytesPerRow(width);
    const int down = bytesPerRow(height);
    QByteArray block(int(size), Qt::Uninitialized);
    block[0] = char(across & 0xFF);
    block[1] = char((across >> 8) & 0xFF);
    block[2] = char(down & 0xFF);
    block[3] = char((down >> 8) & 0xFF);
    if (size > 4) {
        const QByteArray packed = packRows(grey, width, height, stride, BitSense::Printer);
        toColumnData(reinterpret_cast<const uchar*>(packed.constData()), width, height,
                     reinterpret_cast<uchar*>(block.data()) + 4);
    }
    return block;
}

QByteArray buildImageBlock(const QImage& image)
{
    const QImage grey = image.format() == QImage::Format_Grayscale8
                            ? image
                            : image.convertToFormat(QImage::Format_Grayscale8);
    return buildImageBlock(grey.constBits(), grey.width(), grey.height(), grey.bytesPerLine());
}

bool fitsOneDownload(int width, int height)
{
    return DownloadHeaderSize + imageBlockSize(width, height) <= MaxDownloadFrameSize;
}

DownloadFrameBuilder::DownloadFrameBuilder()
{
    m_frame.reserve(4096);
    m_frame.append(char(0x1C));
    m_frame.append(char(0x71));
    m_frame.append(char(0));
}

DownloadFrameBuilder::Result DownloadFrameBuilder::add(const QImage& image)
{
    if (m_count >= MaxImages)
        return TooManyImages;
    // The length is known before the block is built, so a picture that cannot fit is never
    // converted: the frame ends up exactly as long as after appending and checking.
    if (!fitsOneDownload(image.width(), image.height()))
        return ImageTooLarge;
    const qint64 block = imageBlockSize(image.width(), image.height());
    if (m_frame.size() + block > MaxDownloadFrameSize)
        return TooLarge;
    m_frame += buildImageBlock(image);
    ++m_count;
    return Added;
}

QByteArray DownloadFrameBuilder::frame() const
{
    QByteArray frame = m_frame;
    frame[2] = char(m_count);
    return frame;
}

QByteArray buildPrintFrame(uchar number, PrintSize size)
{
    const char bytes[] = {char(0x1C), char(0x70), char(number), char(size)};
    return QByteArray(bytes, sizeof bytes);
}

QImage toPreviewBitmap(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage grey = image.format() == QImage::Format_Grayscale8
                            ? image
                            : image.convertToFormat(QImage::Format_Grayscale8);
    QImage bitmap(grey.width(), grey.height(), QImage::Format_Mono);
    if (bitmap.isNull())
        return {};
    bitmap.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    bitmap.fill(0);
    // Row by row: the two images pad their stored lines differently.
    for (int y = 0; y < grey.height(); ++y)
        packRows(grey.constScanLine(y), grey.width(), 1, grey.bytesPerLine(), BitSense::Preview,
                 bitmap.scanLine(y));
    return bitmap;
}

} // namespace logo
