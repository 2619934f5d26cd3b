#include "simtest.h"

#include <QtTest>

namespace {

const QByteArray GetSpeed = hex("1BFFFE020000 1BFEFF");
const QByteArray SetSpeed = hex("1BFFFE01000102 1BFEFF");

struct FaultRow
{
    const char* name;
    Fault fault;
    int faultArg;
    bool button; // the write-only exchange, else the one that reads a reply
    int result;
    int taken;
    int replied;
    TransportFailure failure;
};

unsigned char* bytes(QByteArray& b)
{
    return reinterpret_cast<unsigned char*>(b.data());
}

} // namespace

Q_DECLARE_METATYPE(FaultRow)

// The exchanges and queries against a printer that misbehaves in every way the transport must
// survive.
class TestExchange : public QObject
{
    Q_OBJECT

    SimPrinter* m_printer = nullptr;

    // A get query in a command of its own.
    QByteArray query(int item, int* result)
    {
        ScopedPrinterHandle handle;
        QByteArray out(QueryBufferSize, 0x5A);
        *result =
            handle.open(1) ? -99 : GetPrinterInfo(handle.get(), SetInfoType(item), bytes(out));
        return out;
    }

private slots:
    void initTestCase() { QVERIFY2(simtest::startBus(), "run under umockdev-wrapper"); }
    void init() { m_printer = simtest::attach("port=1"); }
    void cleanup() { SimBus::instance().clear(); }

    void faults_data()
    {
        // taken: bytes of the frame the printer took; replied: bytes of its reply the caller's
        // buffer holds afterwards, -1 when buffer and length must be left untouched.
        using F = TransportFailure;
        const FaultRow rows[] = {
            {"swap", Fault::None, 0, false, 0, 9, 10, F::None},
            {"button", Fault::None, 0, true, 0, 10, -1, F::None},
            {"swap, open refused", Fault::OpenRefused, 0, false, 5, 0, -1, F::AccessDenied},
            {"button, gone after discovery", Fault::Gone, 0, true, 5, 0, -1, F::NoDevice},
            {"button, write error", Fault::WriteError, 0, true, 4, 0, -1, F::WriteFailed},
            {"button, interface held by another program", Fault::Busy, 0, true, 5, 0, -1, F::Busy},
            {"swap, partial write", Fault::PartialWrite, 4, false, 4, 4, -1, F::WriteFailed},
            {"button, partial write", Fault::PartialWrite, 9, true, 4, 9, -1, F::WriteFailed},
            {"swap, short reply", Fault::ShortReply, 7, false, 0, 9, 7, F::None},
            // The one row that waits for the transport's fixed 3 s time-out.
            {"swap, no reply after the written frame", Fault::NoReply, 0, false, 4, 9, -1,
             F::Timeout},
        };
        QTest::addColumn<FaultRow>("row");
        for (const FaultRow& row : rows)
            QTest::newRow(row.name) << row;
    }

    void faults()
    {
        QFETCH(FaultRow, row);
        m_printer->setFault(row.fault, row.faultArg);
        QVERIFY(m_printer->kernelDriverAttached());
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        QByteArray frame = row.button ? SetSpeed : GetSpeed;
        QByteArray buffer(CDeviceIOOpera::ReplySize, '\xAA');
        int length = 77;
        const auto exchange =
            row.button ? CDeviceIOOpera::PrinterDataIOButton : CDeviceIOOpera::PrinterDataIOSwap;
        QCOMPARE(exchange(handle.get(), bytes(frame), frame.size(), bytes(buffer), length),
                 row.result);
        QCOMPARE(CDeviceIOOpera::lastFailure(), row.failure);
        QCOMPARE(hexFrames(m_printer->received()),
                 row.taken ? hexFrames({frame.left(row.taken)}) : QStringList());
        QVERIFY2(m_printer->kernelDriverAttached(), "the driver is handed back");
        QByteArray reply(buffer.size(), '\xAA');
        if (row.replied >= 0)
            reply = hex("1BFFFE020001011BFEFF").left(row.replied).leftJustified(buffer.size(), 0);
        QCOMPARE(toHex(buffer), toHex(reply));
        QCOMPARE(length, row.replied < 0 ? 77 : CDeviceIOOpera::ReplySize);
    }

    // One command's queries of speed (7), density (8) and alarm (9) on one handle, as a window's
    // Get makes them, then a speed query of the next command, against a fault set as the
    // launcher's fields give it: the value read, or minus the result. Frames: what the printer
    // took.
    void commandsAgainstFaults_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QList<int>>("results");
        QTest::addColumn<int>("frames");
        auto row = [](const char* name, const char* fields, QList<int> results, int frames) {
            QTest::newRow(name) << fields << results << frames;
        };
        row("fault on a command", "fault=write-error,fault-on=02:13", {7, -4, -4, -4}, 1);
        row("fault from a transfer", "fault=write-error,fault-from=3", {7, 8, -4, -4}, 2);
        row("fault only on a command", "fault=write-error,fault-only=02:13", {7, -4, 9, 7}, 3);
        row("fault until a command", "fault=write-error,fault-until=02:13", {-4, 8, 9, 7}, 3);
        row("after a time-out nothing more is sent", "fault=no-reply,fault-only=02:13",
            {7, -4, -4, 7}, 3);
        row("a late reply to another command is passed over", "fault=late-reply,fault-only=02:13",
            {7, -4, -4, 7}, 3);
        row("a set the printer ignores", "fault=ignore-set:0x00", {7, 8, 9, 7}, 5);
    }

    void commandsAgainstFaults()
    {
        QFETCH(QString, fields);
        QFETCH(QList<int>, results);
        QFETCH(int, frames);
        PrinterState state = m_printer->state();
        state.speed = 7, state.density = 8, state.alarm = 9;
        m_printer->setState(state);
        PrinterConfig config;
        QVERIFY(parsePrinterFields(fields, 1, config, nullptr));
        m_printer->setFault(config.fault, config.faultArg, config.faultTrigger);
        QList<int> got;
        ScopedPrinterHandle handle, next;
        QVERIFY(handle.open(1) == 0 && next.open(1) == 0);
        auto read = [&](_PrinterHandle* h, int item) {
            QByteArray out(QueryBufferSize, 0x5A);
            const int rc = GetPrinterInfo(h, SetInfoType(item), bytes(out));
            got << (rc ? -rc : out[0]);
        };
        for (int item : {SPEED, DENSITY_SETTING, SOUND})
            read(handle.get(), item);
        if (config.fault == Fault::IgnoreSet)
            QCOMPARE(sendFrame(next.get(), buildSetFrame(SPEED, hex("02"))), 0);
        read(next.get(), SPEED);
        QCOMPARE(got, results);
        QCOMPARE(m_printer->received().size(), frames);
        QVERIFY2(m_printer->kernelDriverAttached(), "the driver is handed back");
    }

    // The query's 1024-byte output holds the data of a whole reply to it, and zeros after it;
    // any other reply fails the query, leaving only zeros.
    void replyChecks_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("data");
        QByteArray all;
        for (int i = 1; i <= 255; ++i)
            all.append(char(i));
        QTest::newRow("N = 255") << hex("1BFFFE0200FF") + all + hex("1BFEFF") << all;
        QTest::newRow("wrong start") << hex("AABBCC020001 05 1BFEFF") << QByteArray();
        QTest::newRow("payload cut short") << hex("1BFFFE020003 0505") << QByteArray();
        QTest::newRow("no tail") << hex("1BFFFE020001 05") << QByteArray();
        QTest::newRow("wrong tail") << hex("1BFFFE020001 05 1BFEFE") << QByteArray();
        QTest::newRow("nothing") << QByteArray("", 0) << QByteArray();
    }

    void replyChecks()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, data);
        m_printer->setRawReply(0x02, SPEED, raw);
        int rc = -1;
        QCOMPARE(toHex(query(SPEED, &rc)), toHex(data.leftJustified(QueryBufferSize, '\0')));
        QCOMPARE(rc, data.isNull() ? 4 : 0);
        QCOMPARE(CDeviceIOOpera::lastFailure(),
                 data.isNull() ? TransportFailure::BadReply : TransportFailure::None);
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
