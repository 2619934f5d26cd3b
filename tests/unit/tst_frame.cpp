#include "protocol/frame.h"
#include "protocol/reply.h"
#include "testsupport.h"
#include "usb/printerlist.h"
#include "usb/query.h"

#include <QtTest>

using testsupport::hex;

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("get speed") << buildGetFrame(SPEED) << hex("1BFFFE020000 1BFEFF");
        QTest::newRow("get alarm") << buildGetFrame(SOUND) << hex("1BFFFE024000 1BFEFF");
        QTest::newRow("get wifi ip") << buildGetFrame(IP_MESSAGE) << hex("1BFFFE022800 1BFEFF");
        QTest::newRow("self-test")
            << buildStatusFrame(SELF_TEST_PAGE) << hex("1BFFFE000000 1BFEFF");
        QTest::newRow("firmware date")
            << buildStatusFrame(FIRMWARE_DATE) << hex("1BFFFE000400 1BFEFF");
        QTest::newRow("set speed 2")
            << buildSetFrame(SPEED, hex("02")) << hex("1BFFFE01000102 1BFEFF");
        // No escaping: payload bytes equal to the markers go out unchanged.
        QTest::newRow("markers in payload")
            << buildSetFrame(PORT_MESSAGE, hex("1BFEFF1B")) << hex("1BFFFE010F04 1BFEFF1B 1BFEFF");
        QTest::newRow("empty set payload")
            << buildSetFrame(CONNECT_AP_INFORMATION, {}) << hex("1BFFFE012600 1BFEFF");
    }

    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QVERIFY2(frame == expected, qPrintable(toHex(frame) + " != " + toHex(expected)));
    }

    void lengthByteAtTheLimits()
    {
        const QByteArray full = buildSetFrame(AP_MODE, QByteArray(255, 'a'));
        QCOMPARE(full.size(), 255 + 9);
        QCOMPARE(quint8(full[5]), quint8(0xFF));
        QVERIFY(full.endsWith(hex("1BFEFF")));
        // One byte more would wrap the length byte: no frame, so nothing can be sent.
        QVERIFY(buildSetFrame(AP_MODE, QByteArray(256, 'a')).isEmpty());
        QCOMPARE(sendFrame(nullptr, QByteArray()), FrameRefused);
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("speed 5") << hex("1BFFFE020001051BFEFF") << hex("05");
        QTest::newRow("no data") << hex("1BFFFE0200001BFEFF") << QByteArray();
        QTest::newRow("wrong header accepted") << hex("000000000002AABB") << hex("AABB");
        QTest::newRow("short reply reads zeros") << hex("1BFFFE02000403") << hex("03000000");
        QTest::newRow("nothing sent") << QByteArray() << QByteArray();
    }

    void replies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, data);
        // The transport hands over a zero-filled 264-byte buffer whatever arrived.
        QByteArray buffer(264, '\0');
        buffer.replace(0, reply.size(), reply);
        const QByteArray got =
            replyData(reinterpret_cast<const unsigned char*>(buffer.constData()), buffer.size());
        QVERIFY2(got == data, qPrintable(toHex(got) + " != " + toHex(data)));
    }

    // What the bytes read so far hold for a speed query (class 02, command 00): the transport
    // reads on, drops a prefix, or takes a frame.
    void scans_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("at");
        const auto row = [](const char* name, const char* bytes, ReplyScan::Kind kind, int at) {
            QTest::newRow(name) << hex(bytes) << int(kind) << at;
        };
        row("nothing yet", "", ReplyScan::NeedMore, 0);
        row("the header alone", "1BFFFE020003", ReplyScan::NeedMore, 0);
        row("payload cut short", "1BFFFE020003 0505", ReplyScan::NeedMore, 0);
        row("whole", "1BFFFE020001 05 1BFEFF", ReplyScan::Frame, 10);
        row("bytes after it are not the reply", "1BFFFE020001 05 1BFEFF 1BFF", ReplyScan::Frame,
            10);
        row("bytes before a frame start", "AABB 1BFFFE020001 05 1BFEFF", ReplyScan::Skip, 2);
        row("no frame start", "AABBCC020001 05 1BFEFF", ReplyScan::Skip, 10);
        row("the start of a start is kept", "AABB1BFF", ReplyScan::Skip, 2);
        row("a whole reply to another command", "1BFFFE021301 02 1BFEFF 1BFFFE", ReplyScan::Skip,
            10);
        row("a wrong tail", "1BFFFE020001 05 1BFEFE", ReplyScan::Malformed, 0);
        row("a false start of another command", "1BFFFE021301 02 AAAAAA", ReplyScan::Skip, 3);
    }

    void scans()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QFETCH(int, at);
        const ReplyScan scan = scanReply(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                         bytes.size(), 0x02, 0x00);
        QCOMPARE(int(scan.kind), kind);
        QCOMPARE(scan.at, at);
    }

    // Discovery proves the texts of real ports; what is left is text that is not a number.
    void selectorPortOfOddTexts()
    {
        QCOMPARE(selectorPort(QString()), 0);
        QCOMPARE(selectorPort("7"), 7);
        QCOMPARE(selectorPort("printer"), 0);
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
