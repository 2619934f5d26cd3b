#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

// Logos: greyscale pictures turned into the printer's 1-bit formats, and the ESC/POS frames that
// store (FS q) and print (FS p) them. Pure functions; reading files is the logo pipeline's.
namespace logo {

// Grey below this is a printed dot; the preview shows the same pixels black.
constexpr int DarkBelow = 158;
// The printer's logo memory: an FS q frame, its three leading bytes included, may not be longer.
constexpr int MaxDownloadFrameSize = 122880;
// The FS q count byte has eight bits.
constexpr int MaxImages = 255;
// FS p names a stored logo by its place in the last download, counted from 1.
constexpr int MaxLogoNumber = MaxImages;

enum class BitSense
{
    Printer, // bit 1 for a dark pixel: a printed dot
    Preview, // bit 1 for a light pixel: shown white in a 1-bit image
};

inline int bytesPerRow(int width)
{
    return width > 0 ? (width + 7) / 8 : 0;
}
inline int roundedWidth(int width)
{
    return bytesPerRow(width) * 8;
}

// Packs height rows of width grey bytes (0 black .. 255 white), each row starting stride bytes
// after the previous one, into bytesPerRow(width) * height bytes at dst: leftmost pixel in bit 7,
// each row on a new byte, unused low bits of a row's last byte 0. Nothing is written for height
// < 1.
void packRows(const uchar* grey, int width, int height, int stride, BitSense sense, uchar* dst);
QByteArray packRows(const uchar* grey, int width, int height, int stride, BitSense sense);

// The column data of an image block from height rows packed in the printer sense: for each column
// of the rounded width, top to bottom, the bytes of 8 rows each, the topmost row in bit 7. Rows
// below height and columns from width on are padding and stay white (0 bits).
// dst holds columnDataSize(width, height) bytes.
qint64 columnDataSize(int width, int height);
void toColumnData(const uchar* packed, int width, int height, uchar* dst);
QByteArray toColumnData(const uchar* packed, int width, int height);

// The length of the image block of a width x height picture: four size bytes and its column data.
qint64 imageBlockSize(int width, int height);
// Whether the block of a width x height picture fits into one download frame by itself.
bool fitsOneDownload(int width, int height);
// X (bytes across, low byte first), Y (bytes down, low byte first), then the column data.
QByteArray buildImageBlock(const uchar* grey, int width, int height, int stride);
QByteArray buildImageBlock(const QImage& grey);

// Builds one FS q frame from the images in download order. The count byte is the number of blocks
// actually in the frame, so an image that was skipped never leaves the printer expecting one more.
class DownloadFrameBuilder
{
public:
    enum Result
    {
        Added,
        TooManyImages, // a 256th image: the count byte cannot hold it
        ImageTooLarge, // the image's block alone would make a frame over MaxDownloadFrameSize
        TooLarge,      // the frame would exceed MaxDownloadFrameSize
    };

    DownloadFrameBuilder();

    // Appends the image block of an 8-bit greyscale image (any other format is converted first).
    // A refused image leaves the frame as it was.
    Result add(const QImage& image);
    int imageCount() const { return m_count; }
    // 1C 71, the count, then the blocks.
    QByteArray frame() const;

private:
    QByteArray m_frame;
    int m_count = 0;
};

enum PrintSize : uchar
{
    SingleSize = 0,
    DoubleWidth = 1,
    DoubleHeight = 2,
    DoubleSize = 3,
};

// 1C 70 n m: print the stored logo number n (1 to 255) in size mode m.
QByteArray buildPrintFrame(uchar number, PrintSize size);

// The picture as a 1-bit image (Format_Mono, colour 0 black, colour 1 white) in the preview sense:
// it shows black exactly the pixels the printer prints.
QImage toPreviewBitmap(const QImage& grey);

} // namespace logo
