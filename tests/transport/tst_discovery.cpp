#include "simtest.h"
#include "usb/printerlist.h"

#include <QtTest>

// Discovery and addressing by port against printers on a simulated bus, through the real libusb,
// and what a handle holds: descriptors and threads stay level over many commands (memory is
// LeakSanitizer's part in the sanitizer build).
class TestDiscovery : public QObject
{
    Q_OBJECT

    static int selfTest(int port) { return simtest::send(port, buildStatusFrame(SELF_TEST_PAGE)); }

private slots:
    void initTestCase() { QVERIFY2(simtest::startBus(), "run under umockdev-wrapper"); }
    void cleanup() { SimBus::instance().clear(); }

    // Each printer's selector text, "" where it must not be listed, "-" where it is listed only
    // as one the user may not open.
    void listedAndReachedByPort_data()
    {
        QTest::addColumn<QStringList>("printers");
        QTest::addColumn<QStringList>("texts");
        const QString longName(200, 'x');
        for (int port : {0, 1, 12, 123, 255})
            QTest::addRow("port %d", port) << QStringList{QString("port=%1,product=ABC").arg(port)}
                                           << QStringList{QString("ABC USB00%1").arg(port)};
        QTest::newRow("port 7 behind a hub")
            << QStringList{"port=7,hub=4"} << QStringList{"RP80 Printer USB007"};
        // The unreadable name sits in the middle, so a readable one is read before it in either
        // order, and must not be carried over.
        QTest::newRow("libusb order, unreadable name")
            << QStringList{"port=1,product=Left", "port=2,product-readable=no", "port=3,product=R"}
            << QStringList{"Left USB001", " USB002", "R USB003"};
        QTest::newRow("another vendor and gone left out, open refused named")
            << QStringList{"port=1,vendor=0x0483", "port=2,fault=open-refused", "port=3",
                           "port=4,fault=gone"}
            << QStringList{"", "-", "RP80 Printer USB003", ""};
        QTest::newRow("a string descriptor holds 126 characters")
            << QStringList{"port=1,product=" + longName}
            << QStringList{longName.left(126) + " USB001"};
    }

    void listedAndReachedByPort()
    {
        QFETCH(QStringList, printers);
        QFETCH(QStringList, texts);
        QHash<QString, QString> textOf;
        QList<SimPrinter*> attached;
        for (int i = 0; i < printers.size(); ++i) {
            attached << simtest::attach(printers[i]);
            QVERIFY(attached.last());
            textOf[attached.last()->config().sysfsName] = texts[i];
        }
        QStringList expected, paths, refused;
        for (const QString& name : simtest::libusbOrder()) {
            const QString text = textOf.value(name);
            if (text == "-")
                refused << name;
            else if (!text.isEmpty())
                expected << text;
            if (!text.isEmpty())
                paths << name;
        }
        QCOMPARE(GetPrinterList(), expected);
        QStringList gotPaths, gotRefused;
        for (const AttachedPrinter& p : listPrinters(Listing::WithRefused)) {
            gotPaths << p.path;
            if (p.access == AttachedPrinter::Access::NoPermission)
                gotRefused << p.path;
        }
        QCOMPARE(gotPaths, paths);
        QCOMPARE(gotRefused, refused);

        // A listed printer is reached through the port read back from its text; an unlisted one
        // through its own port fails and takes nothing.
        for (int i = 0; i < attached.size(); ++i) {
            if (texts[i].isEmpty() || texts[i] == "-") {
                QVERIFY(selfTest(attached[i]->port()) != 0);
                QVERIFY(attached[i]->received().isEmpty());
            } else {
                QCOMPARE(selfTest(selectorPort(texts[i])), 0);
                QCOMPARE(attached[i]->selfTests(), 1);
            }
        }
    }

    // The port number names neither for sure; each path names its own.
    void samePortBehindTwoHubs()
    {
        SimPrinter* front = simtest::attach("port=1,hub=2");
        SimPrinter* back = simtest::attach("port=1,hub=3");
        QStringList paths = printerPathsOnPort(1);
        paths.sort();
        QCOMPARE(paths, (QStringList{"1-2.1", "1-3.1"}));
        ScopedPrinterHandle byPort;
        QVERIFY(byPort.open(1) == 0 && byPort.get()->portShared);
        for (SimPrinter* printer : {front, back}) {
            ScopedPrinterHandle handle;
            QCOMPARE(handle.open(printer->config().sysfsName), 0);
            QCOMPARE(SetPrinterStatusButton(handle.get(), SELF_TEST_PAGE), 0);
            QCOMPARE(printer->selfTests(), 1);
        }
        QCOMPARE(front->selfTests(), 1);
    }

    // A record from a failed search holds nothing and both exchanges refuse it.
    void noPrinter()
    {
        QVERIFY(GetPrinterList().isEmpty());
        const int fds = openDescriptors();
        for (int i = 0; i < 100; ++i) {
            _PrinterHandle handle;
            QCOMPARE(CDeviceIOOpera::GetPrinterHandle(1, &handle), -1);
            QVERIFY(!handle.pHandle);
            unsigned char frame[9] = {};
            int length = 0;
            QCOMPARE(CDeviceIOOpera::PrinterDataIOSwap(&handle, frame, 9, frame, length), 4);
            QCOMPARE(CDeviceIOOpera::PrinterDataIOButton(nullptr, frame, 9, nullptr, length), 4);
            CDeviceIOOpera::ClosePrinterHandle(&handle);
        }
        QVERIFY_NO_DESCRIPTOR_LEAK(fds);
    }

    void takenAndClosedThousandTimes()
    {
        SimPrinter* printer = simtest::attach("port=1");
        // The first round starts what lives for the process (umockdev's sockets, Qt's logging).
        QCOMPARE(selfTest(1), 0);
        const int fds = openDescriptors();
        const uint threads = QDir("/proc/self/task").count();
        for (int i = 0; i < 1000; ++i) {
            _PrinterHandle handle;
            QCOMPARE(CDeviceIOOpera::GetPrinterHandle(1, &handle), 0);
            CDeviceIOOpera::ClosePrinterHandle(&handle);
        }
        for (int i = 0; i < 100; ++i)
            QCOMPARE(selfTest(1), 0);
        QCOMPARE(printer->selfTests(), 101);
        QVERIFY_NO_DESCRIPTOR_LEAK(fds);
        QCOMPARE(QDir("/proc/self/task").count(), threads);
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
