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

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(FaultRow)

// The exchanges and queries against a printer that misbehaves in every way the transport must
// survive, and the printer model that the window tests rely on.
class TestExchange : public QObject
{
    Q_OBJECT

    SimPrinter* m_printer = nullptr;

    // A get query, or with status a status query, as the windows make them.
    QByteArray query(int item, int* result = nullptr, bool status = false)
    {
        ScopedPrinterHandle handle;
        QByteArray out(QueryBufferSize, 0x5A);
        const int rc = handle.open(1) != 0 ? -99
                       : status ? GetPrinterStatusInfo(handle.get(), POWER_InFo(item), bytes(out))
                                : GetPrinterInfo(handle.get(), SetInfoType(item), bytes(out));
        if (result)
            *result = rc;
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

    // A fault set as the launcher's fields give it starts and ends on the bus events its trigger
    // names; results of a speed, a density and an alarm query in a row.
    void triggers_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QList<int>>("results");
        QTest::newRow("on a command") << "fault=write-error,fault-on=02:13" << QList<int>{0, 4, 4};
        QTest::newRow("from a transfer") << "fault=write-error,fault-from=3" << QList<int>{0, 0, 4};
        QTest::newRow("only a command") << "fault=no-reply,fault-only=02:13" << QList<int>{0, 4, 0};
        QTest::newRow("until a command")
            << "fault=write-error,fault-until=02:13" << QList<int>{4, 0, 0};
    }

    void triggers()
    {
        QFETCH(QString, fields);
        QFETCH(QList<int>, results);
        PrinterConfig config;
        QVERIFY(parsePrinterFields(fields, 1, config, nullptr));
        m_printer->setFault(config.fault, config.faultArg, config.faultTrigger);
        QList<int> got{0, 0, 0};
        query(SPEED, &got[0]);
        query(DENSITY_SETTING, &got[1]);
        query(SOUND, &got[2]);
        QCOMPARE(got, results);
    }

    // The query's 1024-byte output holds the reply's data and zeros after it, whatever the
    // envelope; a failed exchange leaves only zeros.
    void queryOutput_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("data");
        QByteArray all;
        for (int i = 1; i <= 255; ++i)
            all.append(char(i));
        QTest::newRow("N = 255") << hex("1BFFFE0200FF") + all + hex("1BFEFF") << Fault::None << 0
                                 << all;
        QTest::newRow("wrong header and trailer accepted")
            << hex("AABBCCDDEE0105 000000") << Fault::None << 0 << hex("05");
        QTest::newRow("failed write") << QByteArray() << Fault::WriteError << 4 << QByteArray();
        QTest::newRow("open refused") << QByteArray() << Fault::OpenRefused << 5 << QByteArray();
    }

    void queryOutput()
    {
        QFETCH(QByteArray, raw);
        QFETCH(Fault, fault);
        QFETCH(int, result);
        QFETCH(QByteArray, data);
        m_printer->setRawReply(0x02, SPEED, raw);
        m_printer->setFault(fault);
        int rc = -1;
        QCOMPARE(toHex(query(SPEED, &rc)), toHex(data.leftJustified(QueryBufferSize, '\0')));
        QCOMPARE(rc, result);
    }

    // What a set frame changes is what the next get returns.
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
        QTest::newRow("station") << int(CONNECT_AP_INFORMATION) << hex("616200 3132333435363738");
        QTest::newRow("access point") << int(AP_MODE) << QByteArray("abc\0\000192.168.4.1", 16);
    }

    void setThenGet()
    {
        QFETCH(int, item);
        QFETCH(QByteArray, payload);
        const QByteArray expected = payload.leftJustified(QueryBufferSize, '\0');
        QVERIFY(query(item) != expected);
        QCOMPARE(simtest::send(1, buildSetFrame(SetInfoType(item), payload)), 0);
        QCOMPARE(toHex(query(item)), toHex(expected));
    }

    // One transfer may carry several commands; each is taken apart as the printer would, and
    // commands it does not know get no reply, so the next query reads its own answer.
    void commandsInOneTransfer()
    {
        const QByteArray logos = hex("1C7102 01000100 1111111111111111 01000100 2222222222222222");
        QCOMPARE(simtest::send(1, hex("1BFFFE01000102 1BFEFF 1C700502 1BFFFE027700 1BFEFF") +
                                      logos + hex("1BFFFE000000 1BFEFF")),
                 0);
        QCOMPARE(m_printer->received().size(), 1);
        QCOMPARE(hexFrames(m_printer->prints()), QStringList{frameHex("1C700502")});
        QCOMPARE(hexFrames(m_printer->downloads()), hexFrames({logos}));
        QCOMPARE(m_printer->state().logos.size(), 2);
        QCOMPARE(m_printer->selfTests(), 1);
        QCOMPARE(toHex(query(SPEED).left(2)), toHex(hex("0200")));
        QCOMPARE(query(FIRMWARE_DATE, nullptr, true).left(11), QByteArray("2023-05-18", 11));
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
