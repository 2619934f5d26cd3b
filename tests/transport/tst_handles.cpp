#include "simtest.h"

#include <QDir>
#include <QtTest>

using namespace sim;

namespace {

int entries(const char* dir)
{
    return QDir(QString::fromLatin1(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
}

} // namespace

// What GetPrinterHandle takes, ClosePrinterHandle gives back: descriptors, threads and device
// opens stay level over many commands. Memory is LeakSanitizer's part in the sanitizer build.
class TestHandles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(simtest::startBus(), "run under umockdev-wrapper"); }
    void cleanup() { SimBus::instance().clear(); }

    void takenAndClosedThousandTimes()
    {
        simtest::attach("1-1");
        // The first round starts what lives for the process (umockdev's sockets, Qt's logging).
        ScopedPrinterHandle warmUp;
        QCOMPARE(warmUp.open(1), 0);
        const int fds = entries("/proc/self/fd");
        const int threads = entries("/proc/self/task");
        for (int i = 0; i < 1000; ++i) {
            _PrinterHandle handle;
            QCOMPARE(CDeviceIOOpera::GetPrinterHandle(1, &handle), 0);
            CDeviceIOOpera::ClosePrinterHandle(&handle);
        }
        QCOMPARE(entries("/proc/self/fd"), fds);
        QCOMPARE(entries("/proc/self/task"), threads);
    }

    void exchangesLeaveNothingOpen()
    {
        SimPrinter* printer = simtest::attach("1-1");
        const int fds = entries("/proc/self/fd");
        for (int i = 0; i < 200; ++i) {
            ScopedPrinterHandle handle;
            QCOMPARE(handle.open(1), 0);
            unsigned char out[QueryBufferSize];
            QCOMPARE(GetPrinterInfo(handle.get(), SPEED, out), 0);
            QCOMPARE(SetPrinterStatusButton(handle.get(), SELF_TEST_PAGE), 0);
        }
        QCOMPARE(entries("/proc/self/fd"), fds);
        QCOMPARE(printer->selfTests(), 200);
        // Every exchange released the interface: another open can claim it at once.
        printer->setFault(Fault::None);
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        QCOMPARE(SetPrinterStatusButton(handle.get(), SELF_TEST_PAGE), 0);
    }

    void failedSearchLeavesNothing()
    {
        const int fds = entries("/proc/self/fd");
        for (int i = 0; i < 100; ++i) {
            _PrinterHandle handle;
            QCOMPARE(CDeviceIOOpera::GetPrinterHandle(9, &handle), -1);
            CDeviceIOOpera::ClosePrinterHandle(&handle);
        }
        QCOMPARE(entries("/proc/self/fd"), fds);
    }
};

QTEST_GUILESS_MAIN(TestHandles)
#include "tst_handles.moc"
