#include "simtest.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cstring>

using namespace sim;
using simtest::attach;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

enum class Call
{
    Swap,
    Button
};

struct Outcome
{
    int result = 0;
    QByteArray reply; // what the caller's 264-byte buffer holds afterwards
    int replyLength = 0;
};

// One exchange on the printer of port 1 with the frame, the way the query functions call it.
Outcome exchange(Call call, const QByteArray& frame)
{
    ScopedPrinterHandle handle;
    Outcome out;
    out.result = handle.open(1);
    if (out.result != 0)
        return out;
    QByteArray bytes = frame;
    unsigned char reply[CDeviceIOOpera::ReplySize];
    std::memset(reply, 0xAA, sizeof reply);
    out.replyLength = 77;
    auto* data = reinterpret_cast<unsigned char*>(bytes.data());
    out.result = call == Call::Swap
                     ? CDeviceIOOpera::PrinterDataIOSwap(handle.get(), data, bytes.size(), reply,
                                                         out.replyLength)
                     : CDeviceIOOpera::PrinterDataIOButton(handle.get(), data, bytes.size(), reply,
                                                           out.replyLength);
    out.reply = QByteArray(reinterpret_cast<const char*>(reply), sizeof reply);
    return out;
}

QByteArray padded(const QByteArray& bytes, int size = CDeviceIOOpera::ReplySize)
{
    return bytes + QByteArray(size - bytes.size(), '\0');
}

} // namespace

Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(Fault)

// The two exchanges against printers that misbehave in every way the transport must survive:
// each row names a fault, the call, the result code and what reached the printer.
class TestExchange : public QObject
{
    Q_OBJECT

    SimPrinter* m_printer = nullptr;

private slots:
    void initTestCase() { QVERIFY2(simtest::startBus(), "run under umockdev-wrapper"); }
    void init() { m_printer = attach("1-1"); }
    void cleanup() { SimBus::instance().clear(); }

    void faults_data()
    {
        const QByteArray getSpeed = hex("1BFFFE020000 1BFEFF");
        const QByteArray setSpeed = hex("1BFFFE01000102 1BFEFF");
        const QByteArray speedReply = hex("1BFFFE02000101 1BFEFF");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("faultArg");
        QTest::addColumn<Call>("call");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("reply"); // empty: the caller's buffer is left alone

        QTest::newRow("swap, no fault")
            << Fault::None << 0 << Call::Swap << getSpeed << 0 << getSpeed << padded(speedReply);
        QTest::newRow("button, no fault")
            << Fault::None << 0 << Call::Button << setSpeed << 0 << setSpeed << QByteArray();
        QTest::newRow("swap, kernel driver") << Fault::KernelDriver << 0 << Call::Swap << getSpeed
                                             << 0 << getSpeed << padded(speedReply);
        QTest::newRow("button, kernel driver") << Fault::KernelDriver << 0 << Call::Button
                                               << setSpeed << 0 << setSpeed << QByteArray();
        QTest::newRow("swap, open refused") << Fault::OpenRefused << 0 << Call::Swap << getSpeed
                                            << 5 << QByteArray() << QByteArray();
        QTest::newRow("button, open refused") << Fault::OpenRefused << 0 << Call::Button << setSpeed
                                              << 5 << QByteArray() << QByteArray();
        QTest::newRow("swap, write error") << Fault::WriteError << 0 << Call::Swap << getSpeed << 4
                                           << QByteArray() << QByteArray();
        QTest::newRow("button, write error") << Fault::WriteError << 0 << Call::Button << setSpeed
                                             << 4 << QByteArray() << QByteArray();
        QTest::newRow("swap, partial write") << Fault::PartialWrite << 4 << Call::Swap << getSpeed
                                             << 4 << getSpeed.left(4) << QByteArray();
        QTest::newRow("button, partial write") << Fault::PartialWrite << 9 << Call::Button
                                               << setSpeed << 4 << setSpeed.left(9) << QByteArray();
        QTest::newRow("swap, short reply") << Fault::ShortReply << 7 << Call::Swap << getSpeed << 0
                                           << getSpeed << padded(speedReply.left(7));
        QTest::newRow("swap, empty reply")
            << Fault::ShortReply << 0 << Call::Swap << getSpeed << 0 << getSpeed << padded({});
        // The one row that waits for the transport's fixed 3 s time-out.
        QTest::newRow("swap, no reply")
            << Fault::NoReply << 0 << Call::Swap << getSpeed << 4 << getSpeed << QByteArray();
    }

    void faults()
    {
        QFETCH(Fault, fault);
        QFETCH(int, faultArg);
        QFETCH(Call, call);
        QFETCH(QByteArray, frame);
        QFETCH(int, result);
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, reply);
        m_printer->setFault(fault, faultArg);

        const Outcome out = exchange(call, frame);
        QCOMPARE(out.result, result);
        COMPARE_HEX(m_printer->received().value(0), received);
        QVERIFY2(m_printer->received().size() <= 1,
                 qPrintable(simtest::hexList(m_printer->received())));
        if (reply.isEmpty()) {
            COMPARE_HEX(out.reply, QByteArray(CDeviceIOOpera::ReplySize, '\xAA'));
            QCOMPARE(out.replyLength, 77);
        } else {
            COMPARE_HEX(out.reply, reply);
            QCOMPARE(out.replyLength, CDeviceIOOpera::ReplySize);
        }
    }

    // Claim busy, detach, claim again: the driver stays detached for the next command.
    void kernelDriverDetachedOnce()
    {
        m_printer->setFault(Fault::KernelDriver);
        QVERIFY(m_printer->kernelDriverAttached());
        QCOMPARE(exchange(Call::Button, hex("1BFFFE01000102 1BFEFF")).result, 0);
        QVERIFY(!m_printer->kernelDriverAttached());
        QCOMPARE(m_printer->state().speed, std::uint8_t(2));
        QCOMPARE(exchange(Call::Swap, hex("1BFFFE020000 1BFEFF")).result, 0);
    }

    void swapWithoutReplyBufferOnlyWrites()
    {
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        QByteArray frame = hex("1BFFFE000000 1BFEFF");
        int length = 5;
        QCOMPARE(CDeviceIOOpera::PrinterDataIOSwap(handle.get(),
                                                   reinterpret_cast<unsigned char*>(frame.data()),
                                                   frame.size(), nullptr, length),
                 0);
        QCOMPARE(length, 5);
        QCOMPARE(m_printer->selfTests(), 1);
    }

    // Gone after discovery: the record was filled, the device is not there any more.
    void unpluggedAfterDiscovery_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<bool>("removed"); // pulled from the bus, or its node fails
        QTest::newRow("swap, removed") << Call::Swap << true;
        QTest::newRow("button, removed") << Call::Button << true;
        QTest::newRow("swap, node fails") << Call::Swap << false;
        QTest::newRow("button, node fails") << Call::Button << false;
    }

    void unpluggedAfterDiscovery()
    {
        QFETCH(Call, call);
        QFETCH(bool, removed);
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        if (removed)
            SimBus::instance().unplug(m_printer);
        else
            m_printer->setFault(Fault::Gone);
        QByteArray frame = hex("1BFFFE020000 1BFEFF");
        unsigned char reply[CDeviceIOOpera::ReplySize];
        int length = 0;
        auto* data = reinterpret_cast<unsigned char*>(frame.data());
        const int rc =
            call == Call::Swap
                ? CDeviceIOOpera::PrinterDataIOSwap(handle.get(), data, 9, reply, length)
                : CDeviceIOOpera::PrinterDataIOButton(handle.get(), data, 9, reply, length);
        QVERIFY2(rc == 4 || rc == 5, qPrintable(QString::number(rc)));
    }

    void missingRecord()
    {
        unsigned char frame[9] = {};
        int length = 0;
        QCOMPARE(CDeviceIOOpera::PrinterDataIOButton(nullptr, frame, 9, nullptr, length), 4);
        _PrinterHandle empty;
        QCOMPARE(CDeviceIOOpera::PrinterDataIOSwap(&empty, frame, 9, frame, length), 4);
    }

    void replyRules_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("data");
        QByteArray all;
        for (int i = 0; i < 255; ++i)
            all.append(char(i + 1));
        QTest::newRow("N = 0") << hex("1BFFFE020000 1BFEFF") << QByteArray();
        QTest::newRow("N = 255") << hex("1BFFFE0200FF") + all + hex("1BFEFF") << all;
        QTest::newRow("wrong header and trailer accepted")
            << hex("AABBCCDDEE0105 000000") << hex("05");
        QTest::newRow("longer than its length byte")
            << hex("1BFFFE02000205060708 1BFEFF") << hex("0506");
        QTest::newRow("shorter than its length byte")
            << hex("1BFFFE020004 0506") << hex("05060000");
    }

    // The query's 1024-byte output holds the data and zeros after it, whatever the envelope.
    void replyRules()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, data);
        m_printer->setRawReply(0x02, SPEED, raw);
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        unsigned char out[QueryBufferSize];
        std::memset(out, 0x5A, sizeof out);
        QCOMPARE(GetPrinterInfo(handle.get(), SPEED, out), 0);
        COMPARE_HEX(QByteArray(reinterpret_cast<const char*>(out), QueryBufferSize),
                    padded(data, QueryBufferSize));
    }

    void failedQueryZeroFillsOutput_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("result");
        QTest::newRow("write error") << Fault::WriteError << 4;
        QTest::newRow("open refused") << Fault::OpenRefused << 5;
    }

    void failedQueryZeroFillsOutput()
    {
        QFETCH(Fault, fault);
        QFETCH(int, result);
        m_printer->setFault(fault);
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        unsigned char out[QueryBufferSize];
        std::memset(out, 0x5A, sizeof out);
        QCOMPARE(GetPrinterStatusInfo(handle.get(), FIRMWARE_DATE, out), result);
        COMPARE_HEX(QByteArray(reinterpret_cast<const char*>(out), QueryBufferSize),
                    QByteArray(QueryBufferSize, '\0'));
    }

    void statusQueryAndCommand()
    {
        PrinterState s = m_printer->state();
        s.firmwareDate = "2024-01-02";
        m_printer->setState(s);
        ScopedPrinterHandle handle;
        QCOMPARE(handle.open(1), 0);
        unsigned char out[QueryBufferSize];
        QCOMPARE(GetPrinterStatusInfo(handle.get(), FIRMWARE_DATE, out), 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(out)), QByteArray("2024-01-02"));
        QCOMPARE(SetPrinterStatusButton(handle.get(), SELF_TEST_PAGE), 0);
        QCOMPARE(m_printer->selfTests(), 1);
        QCOMPARE(m_printer->received(),
                 QList<QByteArray>({hex("1BFFFE000400 1BFEFF"), hex("1BFFFE000000 1BFEFF")}));
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
