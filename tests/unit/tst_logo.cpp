#include "protocol/logo.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using logo::BitSense;
using testsupport::hex;

namespace {

// The packing rule bit by bit: a row's pixels from bit 7 down, the row's last byte padded with 0.
QByteArray referencePack(const uchar* grey, int width, int height, int stride, BitSense sense)
{
    QByteArray out;
    for (int y = 0; y < height; ++y) {
        for (int x = 0, byte = 0; x < (width + 7) / 8 * 8; ++x) {
            const bool set =
                x < width && (grey[y * stride + x] < 158) == (sense == BitSense::Printer);
            byte = (byte << 1 | set) & 0xFF;
            if (x % 8 == 7)
                out += char(byte);
        }
    }
    return out;
}

// The block bit by bit: column after column, eight rows a byte, pixels off the picture printed.
QByteArray referenceBlock(const uchar* grey, int width, int height, int stride)
{
    const int across = (width + 7) / 8;
    const int down = (height + 7) / 8;
    QByteArray out;
    for (int size : {across & 0xFF, across >> 8, down & 0xFF, down >> 8})
        out += char(size);
    for (int x = 0; x < across * 8; ++x) {
        for (int y = 0, byte = 0; y < down * 8; ++y) {
            byte = (byte << 1 | (x >= width || y >= height || grey[y * stride + x] < 158)) & 0xFF;
            if (y % 8 == 7)
                out += char(byte);
        }
    }
    return out;
}

// A white picture with the given pixels black, its rows padded with bytes that read as dark, so
// a row that strays into its padding shows.
struct Picture
{
    int width, height, stride;
    QByteArray grey;
};

Picture picture(int width, int height, int stride, const QVector<QPoint>& dark, char fill = -1)
{
    Picture p{width, height, stride, QByteArray(stride * height, 0)};
    for (int y = 0; y < height; ++y)
        memset(p.grey.data() + y * stride, fill, size_t(width));
    for (const QPoint& point : dark)
        p.grey[point.y() * stride + point.x()] = 0;
    return p;
}

QImage greyImage(int width, int height, uchar value)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(qRgb(value, value, value));
    return image;
}

} // namespace

Q_DECLARE_METATYPE(Picture)

class TestLogo : public QObject
{
    Q_OBJECT

    static QString hexOf(const QByteArray& data) { return QString::fromLatin1(toHex(data)); }
    static const uchar* bytes(const QByteArray& data) { return (const uchar*)data.constData(); }

private slots:
    void conversions_data()
    {
        QTest::addColumn<Picture>("picture");
        QTest::addColumn<QByteArray>("printer");
        QTest::addColumn<QByteArray>("preview");
        QTest::addColumn<QByteArray>("block");
        QTest::newRow("10x1 alternating")
            << picture(10, 1, 10, {{0, 0}, {2, 0}, {4, 0}, {6, 0}, {8, 0}}) << hex("AA80")
            << hex("5540") << hex("02000100 FF7FFF7FFF7FFF7FFF7F FFFFFFFFFFFF");
        QTest::newRow("grey 0, 157, 158, 255") << Picture{4, 1, 4, hex("009D9EFF")} << hex("C0")
                                               << hex("30") << hex("01000100 FFFF7F7FFFFFFFFF");
        QTest::newRow("8x8 black") << picture(8, 8, 8, {}, 0) << QByteArray(8, -1)
                                   << QByteArray(8, 0) << hex("01000100 FFFFFFFFFFFFFFFF");
        QTest::newRow("8x8 top-left pixel")
            << picture(8, 8, 11, {{0, 0}}) << hex("8000000000000000") << hex("7FFFFFFFFFFFFFFF")
            << hex("01000100 8000000000000000");
        QTest::newRow("10x8: padding columns are dots")
            << picture(10, 8, 10, {}) << QByteArray(16, 0) << hex("FFC0").repeated(8)
            << hex("02000100 00000000000000000000 FFFFFFFFFFFF");
        QTest::newRow("8x3: padding rows are dots")
            << picture(8, 3, 8, {}) << hex("000000") << hex("FFFFFF")
            << hex("01000100 1F1F1F1F1F1F1F1F");
        QTest::newRow("width 13: the line padding is not read")
            << picture(13, 2, 16, {{12, 0}}) << hex("0008 0000") << hex("FFF0 FFF8")
            << hex("02000100 3F3F3F3F3F3F3F3F3F3F3F3F BF FFFFFF");
    }

    void conversions()
    {
        QFETCH(Picture, picture);
        QFETCH(QByteArray, printer);
        QFETCH(QByteArray, preview);
        QFETCH(QByteArray, block);
        const auto [width, height, stride, grey] = picture;
        QCOMPARE(hexOf(logo::packRows(bytes(grey), width, height, stride, BitSense::Printer)),
                 hexOf(printer));
        QCOMPARE(hexOf(logo::packRows(bytes(grey), width, height, stride, BitSense::Preview)),
                 hexOf(preview));
        QCOMPARE(hexOf(logo::buildImageBlock(bytes(grey), width, height, stride)), hexOf(block));
        QCOMPARE(logo::imageBlockSize(width, height), qint64(block.size()));
        QImage image(width, height, QImage::Format_Grayscale8);
        for (int y = 0; y < height; ++y)
            memcpy(image.scanLine(y), grey.constData() + y * stride, size_t(width));
        const QImage bitmap = logo::toPreviewBitmap(image);
        QByteArray shown;
        for (int y = 0; y < height; ++y)
            shown += QByteArray((const char*)bitmap.constScanLine(y), (width + 7) / 8);
        QCOMPARE(hexOf(shown), hexOf(preview));
    }

    void matchesTheBitByBitRule_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("stride");
        for (QSize size :
             {QSize(1, 1), QSize(7, 9), QSize(13, 8), QSize(1023, 287), QSize(1024, 952)}) {
            for (int extra : {0, 5})
                QTest::addRow("%dx%d stride +%d", size.width(), size.height(), extra)
                    << size << size.width() + extra;
        }
    }

    void matchesTheBitByBitRule()
    {
        QFETCH(QSize, size);
        QFETCH(int, stride);
        QRandomGenerator random(quint32(size.width() * 7919 + stride));
        QByteArray grey(stride * size.height(), 0);
        // Half the pixels sit right at the threshold, where an off-by-one shows.
        for (char& value : grey)
            value = char(random.bounded(2) ? random.bounded(256) : 156 + random.bounded(4));
        const uchar* data = bytes(grey);
        const int w = size.width();
        const int h = size.height();
        for (BitSense sense : {BitSense::Printer, BitSense::Preview})
            QCOMPARE(hexOf(logo::packRows(data, w, h, stride, sense)),
                     hexOf(referencePack(data, w, h, stride, sense)));
        QCOMPARE(hexOf(logo::buildImageBlock(data, w, h, stride)),
                 hexOf(referenceBlock(data, w, h, stride)));
    }

    void downloadFrame()
    {
        QImage rgb(10, 8, QImage::Format_RGB32);
        rgb.fill(Qt::white);
        rgb.setPixel(0, 0, qRgb(0, 0, 0));
        logo::DownloadFrameBuilder builder;
        QCOMPARE(builder.add(greyImage(8, 8, 0)), logo::DownloadFrameBuilder::Added);
        QCOMPARE(builder.add(rgb), logo::DownloadFrameBuilder::Added);
        QCOMPARE(hexOf(builder.frame()), hexOf(hex("1C7102 01000100 FFFFFFFFFFFFFFFF"
                                                   "02000100 80000000000000000000 FFFFFFFFFFFF")));
        QCOMPARE(hexOf(logo::buildImageBlock(greyImage(2049, 2056, 255)).left(4)),
                 hexOf(hex("01010101")));

        // The limit is checked after each block, and a refused block leaves room for a smaller one.
        logo::DownloadFrameBuilder limited;
        QCOMPARE(limited.add(greyImage(1024, 480, 0)), logo::DownloadFrameBuilder::Added);
        QCOMPARE(limited.add(greyImage(1024, 480, 0)), logo::DownloadFrameBuilder::TooLarge);
        QCOMPARE(limited.add(greyImage(8, 8, 0)), logo::DownloadFrameBuilder::Added);
        QCOMPARE(limited.frame().size(), 3 + 4 + 8 * 128 * 60 + 12);
        QCOMPARE(hexOf(limited.frame().left(3)), hexOf(hex("1C7102")));
    }

    void loadsGreyByContentWithinThePixelLimit()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("photo.jpg");
        QImage rgb(3, 2, QImage::Format_RGB32);
        rgb.fill(qRgb(200, 100, 50));
        QVERIFY(rgb.save(photo, "PNG"));
        QCOMPARE(logo::loadGreyImage(photo, 6), rgb.convertToFormat(QImage::Format_Grayscale8));
        QVERIFY(logo::loadGreyImage(photo, 5).isNull());
    }
};

QTEST_GUILESS_MAIN(TestLogo)
#include "tst_logo.moc"
