#include "monopng.h"
#include "protocol/frame.h"
#include "protocol/logo.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using logo::BitSense;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

const uchar* bytes(const QByteArray& data)
{
    return reinterpret_cast<const uchar*>(data.constData());
}

QString diff(const QByteArray& actual, const QByteArray& expected)
{
    return QStringLiteral("\n  actual:   %1\n  expected: %2")
        .arg(QString::fromLatin1(toHex(actual.left(64))),
             QString::fromLatin1(toHex(expected.left(64))));
}

// The packing rule bit by bit: one accumulator per byte, a partial last byte shifted up.
QByteArray referencePack(const uchar* grey, int width, int height, int stride, BitSense sense)
{
    QByteArray out;
    for (int y = 0; y < height; ++y) {
        unsigned acc = 0;
        int bits = 0;
        for (int x = 0; x < width; ++x) {
            const bool dark = grey[y * stride + x] < 158;
            acc |= (sense == BitSense::Printer) == dark ? 1u : 0u;
            ++bits;
            if (bits == 8 || x == width - 1) {
                out.append(char((acc << (8 - bits)) & 0xFF));
                acc = 0;
                bits = 0;
            } else {
                acc <<= 1;
            }
        }
    }
    return out;
}

// The column data bit by bit: packed rows padded with 0xFF rows below, each visited column
// shifted into its output bytes one row at a time; columns past the picture stay 0xFF.
QByteArray referenceBlock(const uchar* grey, int width, int height, int stride)
{
    const int across = (width + 7) / 8;
    const int down = (height + 7) / 8;
    QByteArray packed(across * down * 8, char(0xFF));
    const QByteArray rows = referencePack(grey, width, height, stride, BitSense::Printer);
    packed.replace(0, rows.size(), rows);
    QByteArray data(8 * across * down, char(0xFF));
    int k = 0;
    for (int x = 0; x < width; ++x) {
        for (int r = 0; r < down * 8; ++r) {
            const int bit = (uchar(packed[r * across + x / 8]) >> (7 - x % 8)) & 1;
            data[k] = char(((uchar(data[k]) << 1) | bit) & 0xFF);
            if (r % 8 == 7)
                ++k;
        }
    }
    QByteArray block;
    block.append(char(across & 0xFF)).append(char(across >> 8));
    block.append(char(down & 0xFF)).append(char(down >> 8));
    return block + data;
}

// A white picture with the given pixels black, stored with padding bytes that read as dark, so
// a row that strays into its padding shows.
struct GreyBuffer
{
    int width;
    int height;
    int stride;
    QByteArray data;
};

GreyBuffer whiteWithDark(int width, int height, const QVector<QPoint>& dark, int extraStride = 0)
{
    GreyBuffer g{width, height, width + extraStride, {}};
    g.data = QByteArray(g.stride * height, char(0));
    for (int y = 0; y < height; ++y)
        memset(g.data.data() + y * g.stride, 0xFF, size_t(width));
    for (const QPoint& p : dark)
        g.data[p.y() * g.stride + p.x()] = 0;
    return g;
}

QImage greyImage(int width, int height, uchar value)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(qRgb(value, value, value));
    return image;
}

} // namespace

class TestLogo : public QObject
{
    Q_OBJECT

private slots:
    void packRows_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("stride");
        QTest::addColumn<QByteArray>("grey");
        QTest::addColumn<bool>("printer");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray alternating = hex("00FF00FF00FF00FF00FF");
        QTest::newRow("10x1 alternating, printer")
            << 10 << 1 << 10 << alternating << true << hex("AA80");
        QTest::newRow("10x1 alternating, preview")
            << 10 << 1 << 10 << alternating << false << hex("5540");
        const QByteArray edges = QByteArray::fromRawData("\x00\x9D\x9E\xFF", 4); // 0, 157, 158, 255
        QTest::newRow("157 prints, 158 does not") << 4 << 1 << 4 << edges << true << hex("C0");
        QTest::newRow("157 shows black, 158 white") << 4 << 1 << 4 << edges << false << hex("30");
        QTest::newRow("30 wide: four bytes a row, low bits 0")
            << 30 << 2 << 30 << QByteArray(60, 0) << true << hex("FFFFFFFC FFFFFFFC");
        QTest::newRow("8 wide: no partial byte")
            << 8 << 2 << 8 << hex("9E9D9E9D9E9D9E9D 0000000000000000") << true << hex("55 FF");
        const GreyBuffer w13 = whiteWithDark(13, 2, {{12, 0}}, 3);
        QTest::newRow("width 13: padding is not read, printer")
            << 13 << 2 << w13.stride << w13.data << true << hex("0008 0000");
        QTest::newRow("width 13: padding is not read, preview")
            << 13 << 2 << w13.stride << w13.data << false << hex("FFF0 FFF8");
    }

    void packRows()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, stride);
        QFETCH(QByteArray, grey);
        QFETCH(bool, printer);
        QFETCH(QByteArray, expected);
        const BitSense sense = printer ? BitSense::Printer : BitSense::Preview;
        const QByteArray packed = logo::packRows(bytes(grey), width, height, stride, sense);
        QVERIFY2(packed == expected, qPrintable(diff(packed, expected)));
    }

    void packRowsWritesNothingForAnEmptyPicture()
    {
        const QByteArray grey(16, 0);
        QByteArray dst(8, char(0x5A));
        logo::packRows(bytes(grey), 8, 0, 8, BitSense::Printer,
                       reinterpret_cast<uchar*>(dst.data()));
        logo::packRows(bytes(grey), 0, 2, 8, BitSense::Printer,
                       reinterpret_cast<uchar*>(dst.data()));
        QCOMPARE(dst, QByteArray(8, char(0x5A)));
    }

    void imageBlock_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QVector<QPoint>>("dark");
        QTest::addColumn<bool>("allDark");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("8x8 black")
            << 8 << 8 << QVector<QPoint>() << true << hex("01000100 FFFFFFFFFFFFFFFF");
        QTest::newRow("8x8 top-left pixel")
            << 8 << 8 << QVector<QPoint>{{0, 0}} << false << hex("01000100 8000000000000000");
        QTest::newRow("8x8 bottom-right pixel")
            << 8 << 8 << QVector<QPoint>{{7, 7}} << false << hex("01000100 0000000000000001");
        QTest::newRow("10x8: padding columns are dots")
            << 10 << 8 << QVector<QPoint>() << false
            << hex("02000100 00000000000000000000 FFFFFFFFFFFF");
        QTest::newRow("8x3: padding rows are dots")
            << 8 << 3 << QVector<QPoint>() << false << hex("01000100 1F1F1F1F1F1F1F1F");
        QTest::newRow("13x2: last pixel of row 0 stays in its column")
            << 13 << 2 << QVector<QPoint>{{12, 0}} << false
            << hex("02000100 3F3F3F3F3F3F3F3F3F3F3F3F BF FFFFFF");
        QTest::newRow("16x9: second band of rows")
            << 16 << 9 << QVector<QPoint>{{0, 8}, {15, 8}} << false
            << hex("02000200 00FF 007F 007F 007F 007F 007F 007F 007F"
                   "007F 007F 007F 007F 007F 007F 007F 00FF");
    }

    void imageBlock()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QVector<QPoint>, dark);
        QFETCH(bool, allDark);
        QFETCH(QByteArray, expected);
        GreyBuffer g = whiteWithDark(width, height, dark, 3);
        if (allDark)
            g.data.fill(0);
        const QByteArray block = logo::buildImageBlock(bytes(g.data), width, height, g.stride);
        QVERIFY2(block == expected, qPrintable(diff(block, expected)));
        QCOMPARE(block.size(), int(logo::imageBlockSize(width, height)));
    }

    void blockHeaderHoldsSizesAbove255()
    {
        const QByteArray block = logo::buildImageBlock(greyImage(2049, 2056, 255));
        QVERIFY2(block.left(4) == hex("01010101"),
                 qPrintable(diff(block.left(4), hex("01010101"))));
        QCOMPARE(block.size(), 4 + 8 * 257 * 257);
    }

    void matchesTheBitByBitRule_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("extraStride");
        for (const QSize& size : {QSize(1, 1), QSize(7, 9), QSize(13, 8), QSize(150, 20),
                                  QSize(1023, 287), QSize(1024, 952)}) {
            for (int extra : {0, 5}) {
                const QByteArray name = QByteArray::number(size.width()) + "x" +
                                        QByteArray::number(size.height()) + " stride +" +
                                        QByteArray::number(extra);
                QTest::newRow(name.constData()) << size.width() << size.height() << extra;
            }
        }
    }

    void matchesTheBitByBitRule()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, extraStride);
        const int stride = width + extraStride;
        const quint32 seed = quint32(width * 7919 + height * 31 + extraStride);
        QRandomGenerator random(seed);
        QByteArray grey(stride * height, 0);
        // Half the pixels sit right at the threshold, where an off-by-one shows.
        for (char& value : grey)
            value = char(random.bounded(2) ? random.bounded(256) : 156 + random.bounded(4));
        const uchar* data = bytes(grey);
        for (BitSense sense : {BitSense::Printer, BitSense::Preview}) {
            const QByteArray packed = logo::packRows(data, width, height, stride, sense);
            const QByteArray expected = referencePack(data, width, height, stride, sense);
            QVERIFY2(packed == expected,
                     qPrintable(QStringLiteral("seed %1").arg(seed) + diff(packed, expected)));
        }
        const QByteArray block = logo::buildImageBlock(data, width, height, stride);
        const QByteArray expected = referenceBlock(data, width, height, stride);
        QVERIFY2(block == expected,
                 qPrintable(QStringLiteral("seed %1").arg(seed) + diff(block, expected)));
    }

    void downloadFrameCountsItsBlocks()
    {
        logo::DownloadFrameBuilder builder;
        QCOMPARE(builder.add(greyImage(8, 8, 0)), logo::DownloadFrameBuilder::Added);
        QCOMPARE(builder.add(greyImage(10, 8, 255)), logo::DownloadFrameBuilder::Added);
        const QByteArray expected = hex("1C7102 01000100 FFFFFFFFFFFFFFFF"
                                        "02000100 00000000000000000000 FFFFFFFFFFFF");
        QVERIFY2(builder.frame() == expected, qPrintable(diff(builder.frame(), expected)));
        QCOMPARE(builder.imageCount(), 2);
    }

    void downloadFrameConvertsOtherFormats()
    {
        QImage rgb(8, 8, QImage::Format_RGB32);
        rgb.fill(Qt::white);
        rgb.setPixel(0, 0, qRgb(0, 0, 0));
        logo::DownloadFrameBuilder builder;
        builder.add(rgb);
        const QByteArray expected = hex("1C7101 01000100 8000000000000000");
        QVERIFY2(builder.frame() == expected, qPrintable(diff(builder.frame(), expected)));
    }

    void downloadFrameSizeLimit_data()
    {
        QTest::addColumn<QVector<QSize>>("images");
        QTest::addColumn<int>("accepted");
        QTest::addColumn<int>("frameSize");
        QTest::newRow("1024x952: 1017 bytes below the limit")
            << QVector<QSize>{{1024, 952}} << 1 << 122880 - 1017;
        QTest::newRow("1024x960: 7 bytes above the limit") << QVector<QSize>{{1024, 960}} << 0 << 3;
        QTest::newRow("checked after each block")
            << QVector<QSize>{{1024, 480}, {1024, 480}} << 1 << 3 + 4 + 8 * 128 * 60;
        QTest::newRow("a smaller one after a refused one still fits")
            << QVector<QSize>{{1024, 480}, {1024, 960}, {8, 8}} << 2 << 3 + 4 + 8 * 128 * 60 + 12;
    }

    void downloadFrameSizeLimit()
    {
        QFETCH(QVector<QSize>, images);
        QFETCH(int, accepted);
        QFETCH(int, frameSize);
        logo::DownloadFrameBuilder builder;
        int added = 0;
        for (const QSize& size : images) {
            const auto result = builder.add(greyImage(size.width(), size.height(), 0));
            QVERIFY(result == logo::DownloadFrameBuilder::Added ||
                    result == logo::DownloadFrameBuilder::TooLarge);
            added += result == logo::DownloadFrameBuilder::Added;
        }
        QCOMPARE(added, accepted);
        QCOMPARE(builder.frame().size(), frameSize);
        QCOMPARE(int(uchar(builder.frame()[2])), accepted);
        QVERIFY(builder.frame().size() <= logo::MaxDownloadFrameSize);
    }

    void downloadFrameHoldsAt255Images()
    {
        logo::DownloadFrameBuilder builder;
        const QImage dot = greyImage(1, 1, 0);
        for (int i = 0; i < 255; ++i)
            QCOMPARE(builder.add(dot), logo::DownloadFrameBuilder::Added);
        const QByteArray full = builder.frame();
        QCOMPARE(full.left(3), hex("1C71FF"));
        QCOMPARE(full.size(), 3 + 255 * 12);
        QCOMPARE(builder.add(dot), logo::DownloadFrameBuilder::TooManyImages);
        QCOMPARE(builder.frame(), full);
    }

    void printFrame_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("5, double height") << 5 << int(logo::DoubleHeight) << hex("1C700502");
        QTest::newRow("1, single") << 1 << int(logo::SingleSize) << hex("1C700100");
        QTest::newRow("255, double width") << 255 << int(logo::DoubleWidth) << hex("1C70FF01");
        QTest::newRow("7, double both") << 7 << int(logo::DoubleSize) << hex("1C700703");
    }

    void printFrame()
    {
        QFETCH(int, number);
        QFETCH(int, size);
        QFETCH(QByteArray, expected);
        const QByteArray frame = logo::buildPrintFrame(uchar(number), logo::PrintSize(size));
        QVERIFY2(frame == expected, qPrintable(diff(frame, expected)));
    }

    void previewBitmapShowsWhatPrints()
    {
        // 13 wide: the grey image pads its lines to 16 bytes, the 1-bit one to 4.
        QImage grey(13, 5, QImage::Format_Grayscale8);
        QRandomGenerator random(13);
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < grey.width(); ++x)
                grey.scanLine(y)[x] = uchar(150 + random.bounded(16));
        const QImage bitmap = logo::toPreviewBitmap(grey);
        QCOMPARE(bitmap.format(), QImage::Format_Mono);
        QCOMPARE(bitmap.size(), grey.size());
        for (int y = 0; y < grey.height(); ++y) {
            for (int x = 0; x < grey.width(); ++x) {
                const bool dark = grey.constScanLine(y)[x] < 158;
                QCOMPARE(bitmap.pixel(x, y), dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
            }
        }
    }

    void loadsGreyWithinThePixelLimit_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qint64>("maxPixels");
        QTest::addColumn<bool>("loads");
        QTest::newRow("10x10 at a limit of 100") << QSize(10, 10) << qint64(100) << true;
        QTest::newRow("10x10 over a limit of 99") << QSize(10, 10) << qint64(99) << false;
        QTest::newRow("64 megapixels") << QSize(8000, 8000) << logo::MaxImagePixels << true;
        QTest::newRow("just over 64 megapixels")
            << QSize(8001, 8000) << logo::MaxImagePixels << false;
    }

    void loadsGreyWithinThePixelLimit()
    {
        QFETCH(QSize, size);
        QFETCH(qint64, maxPixels);
        QFETCH(bool, loads);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("white.png");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(monopng::white(size.width(), size.height()));
        file.close();
        const QImage image = logo::loadGreyImage(path, maxPixels);
        QCOMPARE(!image.isNull(), loads);
        if (loads) {
            QCOMPARE(image.size(), size);
            QCOMPARE(image.format(), QImage::Format_Grayscale8);
            QCOMPARE(image.pixel(size.width() - 1, size.height() - 1), qRgb(255, 255, 255));
        }
    }

    void loadsByContentNotName()
    {
        QTemporaryDir dir;
        QImage rgb(3, 2, QImage::Format_RGB32);
        rgb.fill(qRgb(200, 100, 50));
        // A PNG under a JPEG name: the content decides.
        const QString path = dir.filePath("photo.jpg");
        QVERIFY(rgb.save(path, "PNG"));
        const QImage grey = logo::loadGreyImage(path);
        QCOMPARE(grey.size(), QSize(3, 2));
        QCOMPARE(grey.format(), QImage::Format_Grayscale8);
        QCOMPARE(grey, rgb.convertToFormat(QImage::Format_Grayscale8));

        const QString junk = dir.filePath("junk.png");
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not an image");
        file.close();
        QVERIFY(logo::loadGreyImage(junk).isNull());
        QVERIFY(logo::loadGreyImage(dir.filePath("missing.png")).isNull());
    }
};

QTEST_GUILESS_MAIN(TestLogo)
#include "tst_logo.moc"
