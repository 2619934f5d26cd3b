#include "protocol/dither.h"
#include "protocol/logo.h"
#include "testsupport.h"

#include <QRandomGenerator>
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

// The block bit by bit: column after column, eight rows a byte, pixels off the picture white.
QByteArray referenceBlock(const uchar* grey, int width, int height, int stride)
{
    const int across = (width + 7) / 8;
    const int down = (height + 7) / 8;
    QByteArray out;
    for (int size : {across & 0xFF, across >> 8, down & 0xFF, down >> 8})
        out += char(size);
    for (int x = 0; x < across * 8; ++x) {
        for (int y = 0, byte = 0; y < down * 8; ++y) {
            byte = (byte << 1 | (x < width && y < height && grey[y * stride + x] < 158)) & 0xFF;
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
            << hex("5540") << hex("02000100 80008000800080008000 000000000000");
        QTest::newRow("grey 0, 157, 158, 255") << Picture{4, 1, 4, hex("009D9EFF")} << hex("C0")
                                               << hex("30") << hex("01000100 8080000000000000");
        QTest::newRow("width 13: the line padding is not read")
            << picture(13, 2, 16, {{12, 0}}) << hex("0008 0000") << hex("FFF0 FFF8")
            << hex("02000100 000000000000000000000000 80 000000");
    }

    void conversions()
    {
        QFETCH(Picture, picture);
        QFETCH(QByteArray, printer);
        QFETCH(QByteArray, preview);
        QFETCH(QByteArray, block);
        const auto [width, height, stride, grey] = picture;
        QCOMPARE(QStringList(
                     {hexOf(logo::packRows(bytes(grey), width, height, stride, BitSense::Printer)),
                      hexOf(logo::packRows(bytes(grey), width, height, stride, BitSense::Preview)),
                      hexOf(logo::buildImageBlock(bytes(grey), width, height, stride))}),
                 QStringList({hexOf(printer), hexOf(preview), hexOf(block)}));
    }

    void matchesTheBitByBitRule_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("stride");
        for (QSize size :
             {QSize(1, 1), QSize(7, 9), QSize(13, 8), QSize(1023, 287), QSize(2049, 2050)}) {
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
        // The preview's own lines are padded otherwise: no row may spill into the next.
        const QImage bitmap =
            logo::toPreviewBitmap(QImage(data, w, h, stride, QImage::Format_Grayscale8));
        QByteArray shown;
        for (int y = 0; y < h; ++y)
            shown += QByteArray((const char*)bitmap.constScanLine(y), (w + 7) / 8);
        QCOMPARE(hexOf(shown), hexOf(referencePack(data, w, h, stride, BitSense::Preview)));
    }

    // Diffusion keeps a flat field's tone: the share of printed dots is its darkness.
    void ditheringKeepsTheTone()
    {
        for (int grey : {3, 64, 128, 200, 252}) {
            QImage flat(512, 512, QImage::Format_Grayscale8);
            flat.fill(qRgb(grey, grey, grey));
            const QImage dithered = ditherFloydSteinberg(flat);
            const QByteArray packed = logo::packRows(dithered.constBits(), 512, 512,
                                                     dithered.bytesPerLine(), BitSense::Printer);
            int dots = 0;
            for (char byte : packed)
                dots += qPopulationCount(quint8(byte));
            const double share = dots / (512.0 * 512.0);
            QVERIFY2(qAbs(share - (255 - grey) / 255.0) < 0.001,
                     qPrintable(QStringLiteral("grey %1: %2").arg(grey).arg(share)));
        }
    }
};

QTEST_GUILESS_MAIN(TestLogo)
#include "tst_logo.moc"
