#include "simtest.h"
#include "usb/printerlist.h"

#include <QtTest>

using namespace sim;
using simtest::attach;

// Discovery and addressing by port against printers on a simulated bus, through the real libusb.
class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(simtest::startBus(), "run under umockdev-wrapper"); }
    void cleanup() { SimBus::instance().clear(); }

    void noPrinter()
    {
        QVERIFY(GetPrinterList().isEmpty());
        _PrinterHandle handle;
        QCOMPARE(CDeviceIOOpera::GetPrinterHandle(1, &handle), -1);
        QVERIFY(!handle.pHandle);
        CDeviceIOOpera::ClosePrinterHandle(&handle);
    }

    void textsInLibusbOrder()
    {
        attach("1-1", "RP80 Printer");
        attach("1-2", "RP58 Printer");
        attach("1-3", "Kitchen");
        const QHash<QString, QString> text{{"1-1", "RP80 Printer USB001"},
                                           {"1-2", "RP58 Printer USB002"},
                                           {"1-3", "Kitchen USB003"}};
        QStringList expected;
        for (const QString& name : simtest::libusbOrder())
            expected << text.value(name);
        QCOMPARE(expected.size(), 3);
        QCOMPARE(GetPrinterList(), expected);
    }

    void portReadBack_data()
    {
        QTest::addColumn<QString>("sysfsName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("port 0") << "1-0"
                                << "ABC USB000" << 0;
        QTest::newRow("port 1") << "1-1"
                                << "ABC USB001" << 1;
        QTest::newRow("port 12") << "1-12"
                                 << "ABC USB0012" << 12;
        QTest::newRow("port 123") << "1-123"
                                  << "ABC USB00123" << 123;
        QTest::newRow("port 255") << "1-255"
                                  << "ABC USB00255" << 255;
        QTest::newRow("port 7 behind a hub") << "1-4.7"
                                             << "ABC USB007" << 7;
    }

    // The text names the port, and the port read back from it finds the same printer again.
    void portReadBack()
    {
        QFETCH(QString, sysfsName);
        QFETCH(QString, text);
        QFETCH(int, port);
        SimPrinter* p = attach(sysfsName, "ABC");
        QCOMPARE(p->port(), port);
        const QStringList texts = GetPrinterList();
        QCOMPARE(texts, QStringList{text});
        QCOMPARE(selectorPort(texts.first()), port);

        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(selectorPort(texts.first())), 0);
        QCOMPARE(sendFrame(handle.get(), buildStatusFrame(SELF_TEST_PAGE)), 0);
        QCOMPARE(p->selfTests(), 1);
    }

    // Port 1 of two hubs: both are listed with the same ending, and the one later in libusb's
    // list is the one every command reaches.
    void samePortBehindTwoHubs()
    {
        SimPrinter* front = attach("1-2.1", "Front");
        SimPrinter* back = attach("1-3.1", "Back");
        const QStringList order = simtest::libusbOrder();
        QCOMPARE(order.size(), 2);
        const bool backIsLater = order.last() == "1-3.1";
        SimPrinter* later = backIsLater ? back : front;
        SimPrinter* earlier = backIsLater ? front : back;
        QCOMPARE(GetPrinterList(), backIsLater ? QStringList({"Front USB001", "Back USB001"})
                                               : QStringList({"Back USB001", "Front USB001"}));

        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        QCOMPARE(sendFrame(handle.get(), buildStatusFrame(SELF_TEST_PAGE)), 0);
        QCOMPARE(later->selfTests(), 1);
        QCOMPARE(earlier->selfTests(), 0);
    }

    void otherVendorIgnored()
    {
        PrinterConfig other = simtest::printer("1-1", "Other Printer");
        other.vendorId = 0x0483;
        SimPrinter* foreign = SimBus::instance().add(other);
        attach("1-2", "RP80 Printer");
        QCOMPARE(GetPrinterList(), QStringList{"RP80 Printer USB002"});

        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), -1);
        QVERIFY(foreign->received().isEmpty());
    }

    // Never the previous printer's name: an unreadable string gives an empty product name.
    void unreadableProductAlone()
    {
        PrinterConfig mute = simtest::printer("1-2", "Hidden Name");
        mute.productReadable = false;
        SimBus::instance().add(mute);
        QCOMPARE(GetPrinterList(), QStringList{" USB002"});
    }

    void unreadableProductAfterAnother()
    {
        // In the middle of the bus, so that a readable printer is read before it in either order.
        attach("1-1", "Left");
        PrinterConfig mute = simtest::printer("1-2", "Hidden Name");
        mute.productReadable = false;
        SimBus::instance().add(mute);
        attach("1-3", "Right");
        const QStringList order = simtest::libusbOrder();
        QVERIFY(order.indexOf("1-2") > 0);
        const QHash<QString, QString> text{
            {"1-1", "Left USB001"}, {"1-2", " USB002"}, {"1-3", "Right USB003"}};
        QStringList expected;
        for (const QString& name : order)
            expected << text.value(name);
        QCOMPARE(GetPrinterList(), expected);
    }

    void unopenablePrinterLeftOut_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("open refused") << int(Fault::OpenRefused);
        QTest::newRow("gone") << int(Fault::Gone);
    }

    void unopenablePrinterLeftOut()
    {
        QFETCH(int, fault);
        attach("1-1", "RP80 Printer")->setFault(Fault(fault));
        attach("1-2", "RP58 Printer");
        QCOMPARE(GetPrinterList(), QStringList{"RP58 Printer USB002"});
    }

    void unpluggedPrinterNotFound()
    {
        SimPrinter* p = attach("1-5");
        QCOMPARE(GetPrinterList().size(), 1);
        SimBus::instance().unplug(p);
        QVERIFY(GetPrinterList().isEmpty());
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(5), -1);
    }

    void longProductNameCut()
    {
        attach("1-1", QByteArray(200, 'x'));
        // A string descriptor holds at most 126 characters.
        QCOMPARE(GetPrinterList(), QStringList{QString(126, 'x') + " USB001"});
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
