#include "simtest.h"

#include <QtTest>

namespace {

const QByteArray GetSpeed = hex("1BFFFE020000 1BFEFF");
const QByteArray SetSpeed = hex("1BFFFE01000102 1BFEFF");

struct FaultRow
{
    const char* name;
    const char* fields; // the printer on port 1, as the launcher's --printer takes it
    int replySize;      // > 0: the speed reply is a whole frame of this many bytes
    bool button;        // the write-only exchange, else the speed query's
    int result;
    int taken;
    int replied;
    TransportFailure failure;
    int clearHalts;
};

// A whole reply to the speed query of size bytes.
QByteArray speedReply(int size)
{
    return size > 0 ? hex("1BFFFE0200") + char(size - 9) + QByteArray(size - 9, 'r') + hex("1BFEFF")
                    : hex("1BFFFE020001011BFEFF");
}

unsigned char* bytes(QByteArray& b)
{
    return reinterpret_cast<unsigned char*>(b.data());
}

} // namespace

Q_DECLARE_METATYPE(FaultRow)
Q_DECLARE_METATYPE(Failure)

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
            {"query", "", 0, false, 0, 9, 10, F::None, 0},
            {"button", "", 0, true, 0, 10, -1, F::None, 0},
            {"query, open refused", "fault=open-refused", 0, false, 5, 0, -1, F::AccessDenied, 0},
            {"button, gone after discovery", "fault=gone", 0, true, 5, 0, -1, F::Gone, 0},
            {"button, write error", "fault=write-error", 0, true, 4, 0, -1, F::Stalled, 1},
            {"button, interface held by another program", "fault=busy", 0, true, 5, 0, -1, F::InUse,
             0},
            {"query, partial write", "fault=partial-write:4", 0, false, 4, 4, -1, F::WriteFailed,
             0},
            {"query, a reply that fills its packet, no zero-length packet", "max-packet=64,zlp=no",
             64, false, 0, 9, 64, F::None, 0},
            {"query, 264 bytes in five packets", "max-packet=64", 264, false, 0, 9, 264, F::None,
             0},
            {"query, zero-length packets first", "fault=zlp-first:3", 0, false, 0, 9, 10, F::None,
             0},
            {"query, header and payload in two transfers, late",
             "reply-delay=40,fault=split-reply:6", 0, false, 0, 9, 10, F::None, 0},
            {"query, a stale reply before it in one transfer", "fault=stale-reply", 0, false, 0, 9,
             10, F::None, 0},
            {"query, the read stalls once", "fault=stall-in:1", 0, false, 0, 9, 10, F::None, 1},
            {"button, the write stalls once: delivered once", "fault=stall-out:1", 0, true, 0, 10,
             -1, F::None, 1},
            {"query, a stall that never clears", "fault=stall-in:always", 0, false, 4, 9, -1,
             F::Stalled, 1},
            {"query, a printer interface after an HID one", "composite=hid-first", 0, false, 0, 9,
             10, F::None, 0},
            {"query, a printer interface after a vendor one, full speed",
             "composite=vendor-first,max-packet=64", 0, false, 0, 9, 10, F::None, 0},
            // The one row that waits for the transport's fixed 3 s budget.
            {"query, only zero-length packets", "fault=zlp-first:1000000", 0, false, 4, 9, -1,
             F::Timeout, 0},
        };
        QTest::addColumn<FaultRow>("row");
        for (const FaultRow& row : rows)
            QTest::newRow(row.name) << row;
    }

    void faults()
    {
        QFETCH(FaultRow, row);
        SimBus::instance().clear();
        m_printer = simtest::attach(QStringLiteral("port=1,") + row.fields);
        m_printer->setRawReply(0x02, SPEED, speedReply(row.replySize));
        QVERIFY(m_printer->kernelDriverAttached());
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        QByteArray frame = row.button ? SetSpeed : GetSpeed;
        QByteArray buffer(CDeviceIOOpera::ReplySize, '\xAA');
        int length = 77;
        QElapsedTimer clock;
        clock.start();
        const int rc =
            row.button ? CDeviceIOOpera::PrinterDataIOButton(handle.get(), bytes(frame),
                                                             frame.size(), bytes(buffer), length)
                       : CDeviceIOOpera::PrinterDataIOQuery(
                             handle.get(), bytes(frame), frame.size(), bytes(buffer), length,
                             [](const unsigned char* b, int n) { return scanReply(b, n, 2, 0); });
        QCOMPARE(rc, row.result);
        QCOMPARE(handle.get()->failure, row.failure);
        // Waiting for the budget to end is what a reply that is all there must never do.
        QVERIFY(clock.elapsed() < (row.failure == TransportFailure::Timeout ? 3500 : 1500));
        QCOMPARE(hexFrames(m_printer->received()),
                 row.taken ? hexFrames({frame.left(row.taken)}) : QStringList());
        QCOMPARE(m_printer->clearHalts(), row.clearHalts);
        QVERIFY2(m_printer->kernelDriverAttached(), "the driver is handed back");
        QByteArray reply(buffer.size(), '\xAA');
        if (row.replied >= 0)
            reply = speedReply(row.replySize).left(row.replied).leftJustified(buffer.size(), 0);
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
        // A halt that outlives its clearing ends the command, as a time-out does.
        row("fault only on a command, nothing more after a failed write",
            "fault=write-error,fault-only=02:13", {7, -4, -4, 7}, 2);
        row("fault until a command", "fault=write-error,fault-until=02:13", {-4, -4, -4, -4}, 0);
        row("after a time-out nothing more is sent", "fault=no-reply,fault-only=02:13",
            {7, -4, -4, 7}, 3);
        row("after a cut write nothing more is sent", "fault=partial-write:4,fault-only=02:13",
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
    // a malformed reply fails the query at once, leaving only zeros.
    void replyChecks_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("data");
        QByteArray all;
        for (int i = 1; i <= 255; ++i)
            all.append(char(i));
        QTest::newRow("N = 255") << hex("1BFFFE0200FF") + all + hex("1BFEFF") << all;
        QTest::newRow("wrong tail") << hex("1BFFFE020001 05 1BFEFE") << QByteArray();
    }

    void replyChecks()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, data);
        m_printer->setRawReply(0x02, SPEED, raw);
        int rc = -1;
        QCOMPARE(toHex(query(SPEED, &rc)), toHex(data.leftJustified(QueryBufferSize, '\0')));
        QCOMPARE(rc, data.isNull() ? 4 : 0);
    }
    // A status read through the core, as the printer's condition gives it, over both links.
    // answers: the four bytes, "" for a printer that reports none, or the failure.
    void status_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<bool>("network");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<Failure>("failure");
        auto row = [](const char* name, const char* fields, const char* answers,
                      Failure failure = Failure::None) {
            for (bool network : {false, true})
                QTest::addRow("%s, %s", name, network ? "network" : "usb")
                    << fields << network << hex(answers) << failure;
        };
        row("ready", "", "12 12 12 12");
        row("paper near its end", "paper=near-end", "12 12 12 1E");
        row("paper end: offline, stopped by it", "paper=end", "1A 32 12 72");
        row("cover open: offline", "cover=open", "1A 16 12 12");
        row("offline", "offline=yes", "1A 12 12 12");
        row("cutter error", "error=cutter", "12 52 1A 12");
        row("unrecoverable error", "error=unrecoverable", "12 52 32 12");
        row("recoverable error", "error=recoverable", "12 52 52 12");
        row("reports no status", "status=none", "");
        row("a byte that is no status", "status-reply=FF", "", Failure::NotAStatus);
        row("answers cut to nothing", "fault=short-reply:0,fault-only=10:04", "");
        row("a late reply to a command first", "fault=stale-reply", "12 12 12 12");
    }

    void status()
    {
        QFETCH(QString, fields);
        QFETCH(bool, network);
        QFETCH(QByteArray, answers);
        QFETCH(Failure, failure);
        SimBus::instance().clear();
        m_printer = simtest::attach(QStringLiteral("port=1,") + fields);
        Outcome opened;
        std::unique_ptr<PrinterLink> link =
            simtest::openLink(network, network ? m_printer->serve() : 0, opened);
        QVERIFY(link);
        PrinterStatus s;
        const Outcome read = readPrinterStatus(*link, s, 300);
        QCOMPARE(read.failure, failure);
        QCOMPARE(toHex(s.reports ? QByteArray(reinterpret_cast<const char*>(s.raw.data()), 4)
                                 : QByteArray()),
                 toHex(answers));
    }

    // One query over a link, against the faults of the firmware (both links) and of the network
    // side: what the core makes of it. retry: the first connection is refused, and a later one
    // within five times this goes through.
    void links_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<bool>("network");
        QTest::addColumn<int>("retry");
        QTest::addColumn<Failure>("opened");
        QTest::addColumn<Failure>("failure");
        auto row = [](const char* name, const char* fields, Failure failure, bool usb = true,
                      Failure opened = Failure::None, int retry = 0) {
            for (bool network : {false, true})
                if (network || usb)
                    QTest::addRow("%s, %s", name, network ? "network" : "usb")
                        << fields << network << retry << opened << failure;
        };
        row("answers", "", Failure::None);
        row("no reply", "fault=no-reply", Failure::Timeout);
        row("a short reply", "fault=short-reply:4", Failure::Timeout);
        row("a late reply", "fault=late-reply", Failure::Timeout);
        row("a stale reply first", "fault=stale-reply", Failure::None);
        row("silent", "net=silent", Failure::Timeout, false);
        row("closes at once", "net=close", Failure::ConnectionLost, false);
        row("drops halfway through a reply", "net=drop", Failure::ConnectionLost, false);
        row("off the network", "network=off", Failure::None, false, Failure::ConnectionRefused);
        row("a late listener", "net-delay=300", Failure::None, false, Failure::None, 400);
    }

    void links()
    {
        QFETCH(QString, fields);
        QFETCH(bool, network);
        QFETCH(int, retry);
        QFETCH(Failure, opened);
        QFETCH(Failure, failure);
        SimBus::instance().clear();
        m_printer = simtest::attach(QStringLiteral("port=1,") + fields);
        m_printer->setRawReply(0x02, SPEED, speedReply(0));
        Outcome open;
        const quint16 port = network ? m_printer->serve() : 0;
        std::unique_ptr<PrinterLink> link;
        if (retry > 0) {
            QVERIFY2(!simtest::openLink(network, port, open), "refused while late");
            QCOMPARE(open.failure, Failure::ConnectionRefused);
            // A loaded machine may bring the listener up later than asked; it must come at all.
            QTRY_VERIFY_WITH_TIMEOUT((link = simtest::openLink(network, port, open)) != nullptr,
                                     retry * 5);
        } else {
            link = simtest::openLink(network, port, open);
        }
        QCOMPARE(open.failure, opened);
        if (!link)
            return;
        unsigned char out[QueryBufferSize];
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(queryPrinterInfo(*link, SPEED, out).failure, failure);
        QVERIFY(clock.elapsed() < (failure == Failure::Timeout ? 3500 : 1500));
        if (failure == Failure::None)
            QCOMPARE(int(out[0]), 1);
        // Neither link sends anything more after a time-out or a lost connection.
        const int sent = (network ? m_printer->networkReceived().value(0) : QByteArray()).size() +
                         int(m_printer->received().size());
        if (failure != Failure::None)
            QCOMPARE(queryPrinterInfo(*link, SPEED, out).failure, failure);
        QCOMPARE((network ? m_printer->networkReceived().value(0) : QByteArray()).size() +
                     int(m_printer->received().size()),
                 sent);
    }

    // An address beyond loopback may be a real machine's: only printer-sim's own namespace
    // gives one to a printer.
    void servesBeyondLoopbackOnlyInItsNamespace()
    {
        QString error;
        QCOMPARE(m_printer->serve(QStringLiteral("192.168.1.100"), 9100, &error), quint16(0));
        QVERIFY2(error.contains(QLatin1String("namespace")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
