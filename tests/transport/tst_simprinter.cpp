#include "simtest.h"
#include "usb/printerlist.h"

#include <QtTest>

#include <cstring>

using namespace sim;
using simtest::attach;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

int send(const QByteArray& bytes)
{
    ScopedPrinterHandle handle;
    const int rc = handle.open(1);
    return rc != 0 ? rc : sendFrame(handle.get(), bytes);
}

// The first size bytes of a query's output; "failed" when the query failed or left bytes after
// them that are not zero.
QByteArray query(SetInfoType item, int size)
{
    ScopedPrinterHandle handle;
    unsigned char out[QueryBufferSize];
    if (handle.open(1) != 0 || GetPrinterInfo(handle.get(), item, out) != 0)
        return "failed";
    const QByteArray all(reinterpret_cast<const char*>(out), QueryBufferSize);
    if (all.mid(size) != QByteArray(QueryBufferSize - size, '\0'))
        return "failed";
    return all.left(size);
}

// A logo block of X bytes by Y bytes with its column data.
QByteArray block(int x, int y, char fill)
{
    QByteArray b;
    b.append(char(x & 0xFF)).append(char(x >> 8)).append(char(y & 0xFF)).append(char(y >> 8));
    return b + QByteArray(8 * x * y, fill);
}

} // namespace

// The simulated printer as a model: what a set frame changes is what the next get returns, and
// the logo commands are taken apart as the printer would.
class TestSimPrinter : public QObject
{
    Q_OBJECT

    SimPrinter* m_printer = nullptr;

private slots:
    void initTestCase() { QVERIFY2(simtest::startBus(), "run under umockdev-wrapper"); }
    void init() { m_printer = attach("1-1"); }
    void cleanup() { SimBus::instance().clear(); }

    void setThenGet_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("speed") << int(SPEED) << hex("02");
        QTest::newRow("density") << int(DENSITY_SETTING) << hex("03");
        QTest::newRow("alarm") << int(SOUND) << hex("01");
        QTest::newRow("wifi mode") << int(WIFI_MODE) << hex("02");
        QTest::newRow("ethernet ip") << int(NET_IP_MESSAGE) << hex("000A000005FF0000000A000001");
        QTest::newRow("ethernet port") << int(PORT_MESSAGE) << hex("8D235100");
        QTest::newRow("wifi ip") << int(IP_MESSAGE) << hex("010A00000A0A000001FFFFFF0008080808");
        QTest::newRow("station") << int(CONNECT_AP_INFORMATION)
                                 << QByteArray("abc\0"
                                               "12345678",
                                               12);
        QTest::newRow("access point") << int(AP_MODE)
                                      << QByteArray("abc\0\0"
                                                    "192.168.4.1",
                                                    16);
    }

    void setThenGet()
    {
        QFETCH(int, item);
        QFETCH(QByteArray, payload);
        QVERIFY(query(SetInfoType(item), payload.size()) != payload);
        QCOMPARE(send(buildSetFrame(SetInfoType(item), payload)), 0);
        COMPARE_HEX(query(SetInfoType(item), payload.size()), payload);
    }

    // The printer checks the length of fixed-size items: a wrong one changes nothing.
    void wrongSizeSettingIgnored_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("size");
        QTest::newRow("speed, two bytes") << int(SPEED) << hex("0202") << 1;
        QTest::newRow("ethernet ip, 12 bytes")
            << int(NET_IP_MESSAGE) << hex("01C0A80164FFFFFF00C0A801") << 13;
        QTest::newRow("ethernet port, 5 bytes") << int(PORT_MESSAGE) << hex("8C23500000") << 4;
        QTest::newRow("wifi ip, empty") << int(IP_MESSAGE) << QByteArray() << 17;
    }

    void wrongSizeSettingIgnored()
    {
        QFETCH(int, item);
        QFETCH(QByteArray, payload);
        QFETCH(int, size);
        const QByteArray before = query(SetInfoType(item), size);
        QCOMPARE(send(buildSetFrame(SetInfoType(item), payload)), 0);
        COMPARE_HEX(query(SetInfoType(item), size), before);
    }

    // Unknown commands get no reply: the next query reads its own answer, not a stale one.
    void unknownCommandsIgnored()
    {
        QCOMPARE(send(hex("1BFFFE027700 1BFEFF 1BFFFE000900 1BFEFF")), 0);
        COMPARE_HEX(query(SPEED, 1), QByteArray(1, char(m_printer->state().speed)));
        QCOMPARE(m_printer->selfTests(), 0);
    }

    void severalCommandsInOneTransfer()
    {
        QCOMPARE(send(hex("1BFFFE01000102 1BFEFF 1C700502 1BFFFE000000 1BFEFF")), 0);
        QCOMPARE(m_printer->state().speed, std::uint8_t(2));
        QCOMPARE(m_printer->prints(), QList<QByteArray>{hex("1C700502")});
        QCOMPARE(m_printer->selfTests(), 1);
        QCOMPARE(m_printer->received().size(), 1);
    }

    void downloadReplacesLogos()
    {
        PrinterState s = m_printer->state();
        s.logos = {block(1, 1, '\x11')};
        m_printer->setState(s);
        const QByteArray frame = hex("1C7102") + block(2, 1, '\xF0') + block(1, 3, '\x0F');
        QCOMPARE(send(frame), 0);
        QCOMPARE(m_printer->downloads(), QList<QByteArray>{frame});
        QCOMPARE(m_printer->state().logos,
                 QList<QByteArray>({block(2, 1, '\xF0'), block(1, 3, '\x0F')}));
    }

    void downloadOfNoLogosClearsThem()
    {
        PrinterState s = m_printer->state();
        s.logos = {block(1, 1, '\x11')};
        m_printer->setState(s);
        QCOMPARE(send(hex("1C7100")), 0);
        QVERIFY(m_printer->state().logos.isEmpty());
    }

    // A count that promises more blocks than follow: recorded, but the stored logos survive.
    void malformedDownloadKeepsLogos()
    {
        PrinterState s = m_printer->state();
        s.logos = {block(1, 1, '\x11')};
        m_printer->setState(s);
        const QByteArray frame = hex("1C7102") + block(1, 1, '\x22');
        QCOMPARE(send(frame), 0);
        QCOMPARE(m_printer->downloads(), QList<QByteArray>{frame});
        QCOMPARE(m_printer->state().logos, QList<QByteArray>{block(1, 1, '\x11')});
    }

    void printLogo()
    {
        QCOMPARE(send(hex("1C700502")), 0);
        QCOMPARE(m_printer->prints(), QList<QByteArray>{hex("1C700502")});
    }

    // The driver side as libusb sees it, asked directly: active, detached, claimed, bound again.
    void kernelDriverLifecycle()
    {
        m_printer->setFault(Fault::KernelDriver);
        libusb_context* ctx = nullptr;
        QCOMPARE(libusb_init(&ctx), 0);
        libusb_device_handle* dev = nullptr;
        libusb_device** devs = nullptr;
        const ssize_t count = libusb_get_device_list(ctx, &devs);
        for (ssize_t i = 0; i < count && !dev; ++i) {
            libusb_device_descriptor desc;
            if (libusb_get_device_descriptor(devs[i], &desc) == 0 &&
                desc.idVendor == PRINTER_VENDOR_ID)
                QCOMPARE(libusb_open(devs[i], &dev), 0);
        }
        libusb_free_device_list(devs, 1);
        QVERIFY(dev);
        QCOMPARE(libusb_kernel_driver_active(dev, 0), 1);
        QCOMPARE(libusb_claim_interface(dev, 0), int(LIBUSB_ERROR_BUSY));
        QCOMPARE(libusb_detach_kernel_driver(dev, 0), 0);
        QCOMPARE(libusb_kernel_driver_active(dev, 0), 0);
        QCOMPARE(libusb_detach_kernel_driver(dev, 0), int(LIBUSB_ERROR_NOT_FOUND));
        QCOMPARE(libusb_claim_interface(dev, 0), 0);
        QCOMPARE(libusb_claim_interface(dev, 1), int(LIBUSB_ERROR_NOT_FOUND));
        QCOMPARE(libusb_release_interface(dev, 0), 0);
        QCOMPARE(libusb_attach_kernel_driver(dev, 0), 0);
        QVERIFY(m_printer->kernelDriverAttached());
        libusb_close(dev);
        libusb_exit(ctx);
    }

    void unplugAfterTransfers()
    {
        PrinterConfig config = simtest::printer("1-2", "Leaving");
        config.unplugAfter = 2;
        SimPrinter* leaving = SimBus::instance().add(config);
        QCOMPARE(GetPrinterList().size(), 2);
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(2), 0);
        QCOMPARE(sendFrame(handle.get(), buildStatusFrame(SELF_TEST_PAGE)), 0);
        QCOMPARE(sendFrame(handle.get(), buildStatusFrame(SELF_TEST_PAGE)), 0);
        QVERIFY(leaving->unplugged());
        const int rc = sendFrame(handle.get(), buildStatusFrame(SELF_TEST_PAGE));
        QVERIFY2(rc == 4 || rc == 5, qPrintable(QString::number(rc)));
        QCOMPARE(leaving->selfTests(), 2);
        QCOMPARE(GetPrinterList(), QStringList{"RP80 Printer USB001"});
    }
};

QTEST_GUILESS_MAIN(TestSimPrinter)
#include "tst_simprinter.moc"
