#include "i18n/translation.h"
#include "link/outcome.h"
#include "protocol/frame.h"
#include "protocol/reply.h"
#include "protocol/status.h"
#include "testsupport.h"
#include "usb/printerlist.h"
#include "usb/query.h"

#include <QRegularExpression>
#include <QTranslator>
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

    // The four answers to DLE EOT 1 to 4, and what they say: every bit named, the fixed bits.
    void status_data()
    {
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<QString>("summary"); // "invalid": not a status
        QTest::addColumn<bool>("ready");
        const auto row = [](const char* name, const char* answers, const char* summary,
                            bool ready) {
            QTest::newRow(name) << hex(answers) << QString::fromUtf8(summary) << ready;
        };
        row("ready", "12 12 12 12", "就绪", true);
        row("drawer pin high is no problem", "16 12 12 12", "就绪", true);
        row("offline", "1A 12 12 12", "离线", false);
        row("cover open", "12 16 12 12", "上盖打开", false);
        row("paper being fed", "12 1A 12 12", "就绪，正在走纸", true);
        row("stopped by paper end", "12 32 12 12", "缺纸", false);
        row("an error", "12 52 12 12", "错误", false);
        row("cutter error", "12 52 1A 12", "切刀错误", false);
        row("unrecoverable", "12 12 32 12", "不可恢复的错误", false);
        row("recoverable", "12 12 52 12", "可自动恢复的错误", false);
        row("paper near end, bit 2", "12 12 12 16", "就绪，纸将用尽", true);
        row("paper near end, bit 3", "12 12 12 1A", "就绪，纸将用尽", true);
        row("paper end, bit 5", "12 12 12 32", "缺纸", false);
        row("paper end, bit 6", "12 12 12 52", "缺纸", false);
        row("paper end and offline", "1A 32 12 72", "离线，缺纸", false);
        row("bit 0 set", "13 12 12 12", "invalid", false);
        row("bit 7 set", "12 12 12 92", "invalid", false);
        row("bit 1 clear", "12 10 12 12", "invalid", false);
        row("bit 4 clear", "12 12 02 12", "invalid", false);
        row("a frame's first byte", "1B 12 12 12", "invalid", false);
    }

    void status()
    {
        QFETCH(QByteArray, answers);
        QFETCH(bool, ready);
        std::array<std::uint8_t, 4> bytes;
        std::copy(answers.begin(), answers.end(), bytes.begin());
        const std::optional<PrinterStatus> s = decodePrinterStatus(bytes);
        QTEST(s ? s->summary() : QStringLiteral("invalid"), "summary");
        QCOMPARE(s && s->ready(), ready);
        QCOMPARE(buildStatusRequest(StatusRequest::PaperSensor), hex("100404"));
    }

    // Every failure has its words in Chinese and in English, so no cause reaches a person blank
    // or untranslated.
    void failureTexts()
    {
        QTranslator translator;
        QStringList chinese;
        for (int f = int(Failure::Refused); f <= int(Failure::NetworkFailed); ++f)
            chinese << failureText(Failure(f));
        QVERIFY(installTranslation(*QCoreApplication::instance(), translator,
                                   QLocale(QLocale::English)));
        const QRegularExpression han(QStringLiteral("\\p{Han}"));
        for (int f = int(Failure::Refused); f <= int(Failure::NetworkFailed); ++f) {
            const QString english = failureText(Failure(f));
            const QString zh = chinese[f - int(Failure::Refused)];
            QVERIFY2(zh.contains(han), qPrintable(QString::number(f)));
            QVERIFY2(!english.isEmpty() && !english.contains(han), qPrintable(zh));
        }
        QCOMPARE(failureText(Failure::None), QString());
        QCoreApplication::removeTranslator(&translator);
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
