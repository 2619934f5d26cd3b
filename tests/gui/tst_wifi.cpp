#include "logwatcher.h"
#include "net_set.h"
#include "settingswindows.h"
#include "wifi.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using namespace settingstest;

namespace {
const QString Success = QString::fromUtf8("成功");
const QString Lost = QString::fromUtf8("打印机连接断开");
const QString NotConnected = QString::fromUtf8("请确保打印机已通过usb进行连接");
const QString BadAddress = QString::fromUtf8("地址无效，每段应为0到255");
const QString NoApAddress = QString::fromUtf8("请填写AP_IP地址");
const QString NameTooLong = QString::fromUtf8("wifi名称最长32字节");
const QString BadPassword = QString::fromUtf8("wifi密码应为8到63位");

const char* const StationModeFrame = "1BFFFE01300101 1BFEFF";
const char* const ApModeFrame = "1BFFFE01300102 1BFEFF";
const char* const WifiIpBlock = "C0A80132 C0A80101 FFFFFF00 C0A80102";

const char* const ModeFields[] = {"lineEdit", "lineEdit_2", "lineEdit_3", "lineEdit_4",
                                  "lineEdit_5"};
} // namespace

class TestWifi : public QObject
{
    Q_OBJECT

    MainWindow* main = nullptr;
    MessageBoxCatcher* boxes = nullptr;
    sim::SimPrinter* printer = nullptr;

    wifi* open()
    {
        button(main, "pushButton_9")->click();
        return openWindow<wifi>();
    }

    // A window whose two Set buttons the Gets have enabled, its printer's record cleared.
    wifi* openAfterGets()
    {
        wifi* window = open();
        button(window, "pushButton")->click();
        button(window, "pushButton_3")->click();
        printer->clearReceived();
        boxes->clear();
        return window;
    }

    void fillModeGroup(wifi* window, const QStringList& texts)
    {
        for (int i = 0; i < 5; ++i)
            edit(window, ModeFields[i])->setText(texts.value(i));
    }

    QStringList modeGroup(wifi* window)
    {
        QStringList texts;
        for (const char* name : ModeFields)
            texts << edit(window, name)->text();
        return texts;
    }

private slots:
    void initTestCase() { sim::SimBus::instance(); }

    void init()
    {
        sim::SimBus::instance().clear();
        printer = addPrinter(1);
        main = new MainWindow;
        main->show();
        boxes = new MessageBoxCatcher;
        selectPort(main, 1);
    }

    void cleanup()
    {
        delete main;
        delete boxes;
        flushDeletions();
        QVERIFY(openWindows<wifi>().isEmpty());
        QVERIFY(openWindows<net_set>().isEmpty());
    }

    // Other code finds these by index and by connect-by-name; the order is part of the class.
    void metaMethods()
    {
        const QMetaObject& meta = wifi::staticMetaObject;
        QStringList methods;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod m = meta.method(i);
            methods << QStringLiteral("%1 %2 %3 %4")
                           .arg(m.methodType() == QMetaMethod::Signal ? "signal" : "slot")
                           .arg(m.access() == QMetaMethod::Public ? "public" : "private")
                           .arg(QString::fromLatin1(m.typeName()))
                           .arg(QString::fromLatin1(m.methodSignature()));
        }
        QCOMPARE(methods,
                 (QStringList{
                     "signal public void closed()",
                     "slot private void closeEvent(QCloseEvent*)",
                     "slot private void on_pushButton_clicked()",
                     "slot private int wifi_message()",
                     "slot private int wifi_set()",
                     "slot private int IP_Init(PPrinterHandle)",
                     "slot private int Set_Send_WIFI_MODE_Instruction(PPrinterHandle)",
                     "slot private int Set_Send_AP_MODE_Instruction(PPrinterHandle)",
                     "slot private int Set_Send_CONNECT_AP_INFORMATION_Instruction(PPrinterHandle)",
                     "slot private int Set_Send_IP_MESSAGE_Instruction(PPrinterHandle)",
                     "slot private void on_pushButton_2_clicked()",
                     "slot private void on_pushButton_3_clicked()",
                     "slot private void on_pushButton_4_clicked()",
                 }));
    }

    void newWindowState()
    {
        wifi* window = open();
        QVERIFY(window);
        QVERIFY(window->parentWidget() == nullptr);
        QCOMPARE(window->windowTitle(), QString::fromUtf8("票据机设置工具"));
        QCOMPARE(combo(window, "comboBox")->currentText(), QString("STA"));
        QCOMPARE(combo(window, "comboBox_2")->currentText(), QString("DHCP OFF"));
        QCOMPARE(modeGroup(window), (QStringList{"", "", "", "", "..."}));
        for (const char* name : {"lineEdit_6", "lineEdit_7", "lineEdit_8", "lineEdit_9"})
            QCOMPARE(edit(window, name)->text(), QString("..."));
        QVERIFY(edit(window, "lineEdit_9")->isEnabled());
        QVERIFY(!button(window, "pushButton_2")->isEnabled());
        QVERIFY(!button(window, "pushButton_4")->isEnabled());
        QCOMPARE(window->size(), QSize(600, 550));
        QCOMPARE(window->minimumSize(), QSize(550, 550));
        QCOMPARE(window->maximumSize(), QSize(600, 600));
        QVERIFY(printer->received().isEmpty());
    }

    void unpluggedGetLeavesSetDisabled_data()
    {
        QTest::addColumn<QString>("get");
        QTest::addColumn<QString>("set");
        QTest::newRow("mode group") << "pushButton"
                                    << "pushButton_2";
        QTest::newRow("ip group") << "pushButton_3"
                                  << "pushButton_4";
    }

    void unpluggedGetLeavesSetDisabled()
    {
        QFETCH(QString, get);
        QFETCH(QString, set);
        wifi* window = open();
        sim::SimBus::instance().unplug(printer);
        button(window, qPrintable(get))->click();
        QCOMPARE(boxes->texts, QStringList{NotConnected});
        QVERIFY(!button(window, qPrintable(set))->isEnabled());
    }

    void failedGetStillEnablesSet_data() { unpluggedGetLeavesSetDisabled_data(); }

    void failedGetStillEnablesSet()
    {
        QFETCH(QString, get);
        QFETCH(QString, set);
        wifi* window = open();
        fillModeGroup(window, {"keep", "keep", "keep", "keep", "1.2.3.4"});
        printer->setFault(sim::Fault::WriteError);
        button(window, qPrintable(get))->click();
        QCOMPARE(boxes->texts, QStringList{Lost});
        QVERIFY(button(window, qPrintable(set))->isEnabled());
        QCOMPARE(modeGroup(window), (QStringList{"keep", "keep", "keep", "keep", "1.2.3.4"}));
        QCOMPARE(combo(window, "comboBox")->currentText(), QString("STA"));
        QCOMPARE(edit(window, "lineEdit_6")->text(), QString("..."));
    }

    // Only 01 is a station; a Get empties the fields of the other mode.
    void modeReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("fields");
        const QStringList station{"Office", "office-pass", "", "", "..."};
        const QStringList ap{"", "", "Printer-AP", "12345678", "192.168.4.1"};
        QTest::newRow("01 station")
            << QByteArray::fromHex("1BFFFE02300101 1BFEFF") << "STA" << station;
        QTest::newRow("02 access point")
            << QByteArray::fromHex("1BFFFE02300102 1BFEFF") << "AP" << ap;
        QTest::newRow("00 access point")
            << QByteArray::fromHex("1BFFFE02300100 1BFEFF") << "AP" << ap;
        QTest::newRow("FF access point")
            << QByteArray::fromHex("1BFFFE023001FF 1BFEFF") << "AP" << ap;
        QTest::newRow("no data, access point")
            << QByteArray::fromHex("1BFFFE023000 1BFEFF") << "AP" << ap;
    }

    void modeReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, mode);
        QFETCH(QStringList, fields);
        printer->setRawReply(0x02, WIFI_MODE, reply);
        wifi* window = open();
        combo(window, "comboBox")->setCurrentIndex(mode == "STA" ? 1 : 0);
        fillModeGroup(window, {"old", "old", "old", "old", "9.9.9.9"});
        button(window, "pushButton")->click();

        QCOMPARE(boxes->texts, QStringList{Success});
        QCOMPARE(combo(window, "comboBox")->currentText(), mode);
        QCOMPARE(modeGroup(window), fields);
        QVERIFY(button(window, "pushButton_2")->isEnabled());
        const char* settingsGet = mode == "STA" ? "1BFFFE022600 1BFEFF" : "1BFFFE022700 1BFEFF";
        QCOMPARE(hexFrames(printer->received()),
                 (QStringList{frameHex("1BFFFE023000 1BFEFF"), frameHex(settingsGet)}));
    }

    void stationReplyWithNameOnly()
    {
        sim::PrinterState state = printer->state();
        state.wifiMode = 1;
        state.station = QByteArray("net", 4);
        printer->setState(state);
        wifi* window = open();
        button(window, "pushButton")->click();
        QCOMPARE(modeGroup(window), (QStringList{"net", "", "", "", "..."}));
    }

    void failedSettingsQueryKeepsFields()
    {
        wifi* window = open();
        fillModeGroup(window, {"a", "b", "c", "d", "1.2.3.4"});
        LogWatcher log;
        log.onFirst("rrrrr 26", [this] { printer->setFault(sim::Fault::WriteError); });
        button(window, "pushButton")->click();
        QCOMPARE(boxes->texts, QStringList{Lost});
        QCOMPARE(combo(window, "comboBox")->currentText(), QString("STA"));
        QCOMPARE(modeGroup(window), (QStringList{"a", "b", "c", "d", "1.2.3.4"}));
    }

    void modeSetFrames_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("frames");
        // The access-point fields do not matter in station mode, nor the station ones in AP mode.
        QTest::newRow("station abc, eight-byte password")
            << 0 << QStringList{"abc", "12345678", "x", "y", "..."}
            << QStringList{frameHex(StationModeFrame),
                           frameHex("1BFFFE01260D 61626300 313233343536373800 1BFEFF")};
        QTest::newRow("station, both fields empty")
            << 0 << QStringList{"", "", "", "", ""}
            << QStringList{frameHex(StationModeFrame), frameHex("1BFFFE012602 0000 1BFEFF")};
        QTest::newRow("access point abc, open, 192.168.4.1")
            << 1 << QStringList{"", "", "abc", "", "192.168.4.1"}
            << QStringList{frameHex(ApModeFrame),
                           frameHex("1BFFFE012711 61626300 00 3139322E3136382E342E3100 1BFEFF")};
        QTest::newRow("access point address without the mask's zeros")
            << 1 << QStringList{"old", "", "abc", "", "010.000.000.001"}
            << QStringList{frameHex(ApModeFrame),
                           frameHex("1BFFFE01270E 61626300 00 31302E302E302E3100 1BFEFF")};
    }

    void modeSetFrames()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, frames);
        wifi* window = openAfterGets();
        combo(window, "comboBox")->setCurrentIndex(mode);
        fillModeGroup(window, fields);
        button(window, "pushButton_2")->click();

        QCOMPARE(hexFrames(printer->received()), frames);
        QCOMPARE(boxes->texts, QStringList{Success});
        const sim::PrinterState state = printer->state();
        QCOMPARE(int(state.wifiMode), mode + 1);
        const QByteArray data = QByteArray::fromHex(frames[1].toLatin1()).mid(6).chopped(3);
        QCOMPARE(toHex(mode == 0 ? state.station : state.ap), toHex(data));
    }

    void modeSetIsReadBack()
    {
        wifi* window = openAfterGets();
        combo(window, "comboBox")->setCurrentIndex(1);
        fillModeGroup(window, {"", "", QString::fromUtf8("打印机"), "secret-pw", "10.0.0.1"});
        button(window, "pushButton_2")->click();
        fillModeGroup(window, {});
        combo(window, "comboBox")->setCurrentIndex(0);
        button(window, "pushButton")->click();
        QCOMPARE(combo(window, "comboBox")->currentText(), QString("AP"));
        QCOMPARE(modeGroup(window),
                 (QStringList{"", "", QString::fromUtf8("打印机"), "secret-pw", "10.0.0.1"}));
    }

    void modeRefusalsSendNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        const QString name33(33, 'n');
        QTest::newRow("AP without its address")
            << 1 << QStringList{"Office", "office-pass", "abc", "", ""} << NoApAddress;
        QTest::newRow("AP address part above 255")
            << 1 << QStringList{"", "", "abc", "", "300.168.4.1"} << BadAddress;
        QTest::newRow("AP name of 33 bytes")
            << 1 << QStringList{"", "", name33, "", "192.168.4.1"} << NameTooLong;
        QTest::newRow("AP password of 7 bytes")
            << 1 << QStringList{"", "", "abc", "1234567", "192.168.4.1"} << BadPassword;
        QTest::newRow("station name of 11 three-byte characters")
            << 0 << QStringList{QString(11, QChar(0x7F51)), "", "", "", ""} << NameTooLong;
        QTest::newRow("station password of 64 bytes")
            << 0 << QStringList{"abc", QString(64, 'p'), "", "", ""} << BadPassword;
    }

    void modeRefusalsSendNothing()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        wifi* window = openAfterGets();
        const sim::PrinterState before = printer->state();
        combo(window, "comboBox")->setCurrentIndex(mode);
        fillModeGroup(window, fields);
        button(window, "pushButton_2")->click();

        QCOMPARE(boxes->texts, QStringList{message});
        QCOMPARE(hexFrames(printer->received()), QStringList());
        QCOMPARE(toHex(printer->state().station), toHex(before.station));
    }

    // Both frames always go out; "成功" needs both.
    void modeSetReportsEitherFailedFrame_data()
    {
        QTest::addColumn<bool>("modeFails");
        QTest::newRow("mode frame fails") << true;
        QTest::newRow("settings frame fails") << false;
    }

    void modeSetReportsEitherFailedFrame()
    {
        QFETCH(bool, modeFails);
        wifi* window = openAfterGets();
        fillModeGroup(window, {"abc", "", "", "", ""});
        LogWatcher log;
        if (modeFails) {
            printer->setFault(sim::Fault::WriteError);
            log.onFirst("byte = ", [this] { printer->setFault(sim::Fault::None); });
        } else {
            log.onFirst("byte = ", [this] { printer->setFault(sim::Fault::WriteError); });
        }
        button(window, "pushButton_2")->click();

        QCOMPARE(boxes->texts, QStringList{Lost});
        const QString stationFrame = frameHex("1BFFFE012605 6162630000 1BFEFF");
        QCOMPARE(hexFrames(printer->received()),
                 QStringList{modeFails ? stationFrame : frameHex(StationModeFrame)});
    }

    void ipReplies_data()
    {
        QTest::addColumn<QByteArray>("modeByte");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("dnsEnabled");
        QTest::addColumn<QString>("dns");
        QTest::newRow("01 DHCP on keeps the DNS text")
            << QByteArray::fromHex("01") << "DHCP ON" << false << "8.8.8.8";
        QTest::newRow("00 DHCP off shows the DNS")
            << QByteArray::fromHex("00") << "DHCP OFF" << true << "192.168.1.2";
        QTest::newRow("02 DHCP on") << QByteArray::fromHex("02") << "DHCP ON" << false << "8.8.8.8";
    }

    void ipReplies()
    {
        QFETCH(QByteArray, modeByte);
        QFETCH(QString, mode);
        QFETCH(bool, dnsEnabled);
        QFETCH(QString, dns);
        sim::PrinterState state = printer->state();
        state.wifiIp = modeByte + QByteArray::fromHex(WifiIpBlock);
        printer->setState(state);
        wifi* window = open();
        combo(window, "comboBox_2")->setCurrentIndex(mode == "DHCP ON" ? 0 : 1);
        edit(window, "lineEdit_9")->setText("8.8.8.8");
        button(window, "pushButton_3")->click();

        QCOMPARE(boxes->texts, QStringList{Success});
        QCOMPARE(hexFrames(printer->received()), QStringList{frameHex("1BFFFE022800 1BFEFF")});
        QCOMPARE(combo(window, "comboBox_2")->currentText(), mode);
        QCOMPARE(edit(window, "lineEdit_6")->text(), QString("192.168.1.50"));
        QCOMPARE(edit(window, "lineEdit_7")->text(), QString("192.168.1.1"));
        QCOMPARE(edit(window, "lineEdit_8")->text(), QString("255.255.255.0"));
        QCOMPARE(edit(window, "lineEdit_9")->isEnabled(), dnsEnabled);
        QCOMPARE(edit(window, "lineEdit_9")->text(), dns);
        QVERIFY(button(window, "pushButton_4")->isEnabled());
    }

    void ipSetFrames_data()
    {
        QTest::addColumn<QByteArray>("readMode"); // the mode byte of the Get before the Set
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("fields"); // ip, gateway, mask, DNS
        QTest::addColumn<QString>("frame");
        QTest::newRow("printer's example, DHCP off")
            << QByteArray::fromHex("00") << 0
            << QStringList{"192.168.1.50", "192.168.1.1", "255.255.255.0", "192.168.1.2"}
            << frameHex("1BFFFE012811 00 C0A80132 C0A80101 FFFFFF00 C0A80102 1BFEFF");
        QTest::newRow("DHCP on sends 01, disabled DNS still sent")
            << QByteArray::fromHex("01") << 1
            << QStringList{"192.168.1.50", "192.168.1.1", "255.255.255.0", "8.8.4.4"}
            << frameHex("1BFFFE012811 01 C0A80132 C0A80101 FFFFFF00 08080404 1BFEFF");
        QTest::newRow("empty DNS is 0.0.0.0")
            << QByteArray::fromHex("00") << 0
            << QStringList{"10.0.0.9", "10.0.0.1", "255.0.0.0", "..."}
            << frameHex("1BFFFE012811 00 0A000009 0A000001 FF000000 00000000 1BFEFF");
    }

    void ipSetFrames()
    {
        QFETCH(QByteArray, readMode);
        QFETCH(int, mode);
        QFETCH(QStringList, fields);
        QFETCH(QString, frame);
        sim::PrinterState state = printer->state();
        state.wifiIp = readMode + QByteArray::fromHex(WifiIpBlock);
        printer->setState(state);
        wifi* window = openAfterGets();
        combo(window, "comboBox_2")->setCurrentIndex(mode);
        const char* names[] = {"lineEdit_6", "lineEdit_7", "lineEdit_8", "lineEdit_9"};
        for (int i = 0; i < 4; ++i)
            edit(window, names[i])->setText(fields[i]);
        button(window, "pushButton_4")->click();

        QCOMPARE(boxes->texts, QStringList{Success});
        QCOMPARE(hexFrames(printer->received()), QStringList{frame});
        QCOMPARE(toHex(printer->state().wifiIp),
                 toHex(QByteArray::fromHex(frame.toLatin1()).mid(6, 17)));
    }

    // The two windows list DHCP ON at opposite indexes and the printer reads opposite bytes.
    void dhcpOnSenseDiffersFromEthernet()
    {
        button(main, "pushButton_8")->click();
        net_set* ethernet = openWindow<net_set>();
        wifi* window = openAfterGets();
        button(ethernet, "pushButton")->click();
        printer->clearReceived();
        combo(ethernet, "comboBox")->setCurrentText("DHCP ON");
        combo(window, "comboBox_2")->setCurrentText("DHCP ON");
        button(ethernet, "pushButton_2")->click();
        button(window, "pushButton_4")->click();

        const QList<QByteArray> frames = printer->received();
        QCOMPARE(frames.size(), 3);
        QCOMPARE(toHex(frames[0].left(7)), toHex(QByteArray::fromHex("1BFFFE010D0D00")));
        QCOMPARE(toHex(frames[2].left(7)), toHex(QByteArray::fromHex("1BFFFE01281101")));
    }

    void ipRefusalsSendNothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("ip") << "lineEdit_6"
                            << "256.0.0.1";
        QTest::newRow("gateway") << "lineEdit_7"
                                 << "10.0.0.300";
        QTest::newRow("mask") << "lineEdit_8"
                              << "255.255.999.0";
        QTest::newRow("disabled DNS") << "lineEdit_9"
                                      << "8.8.8.888";
    }

    void ipRefusalsSendNothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        sim::PrinterState state = printer->state();
        state.wifiIp = QByteArray::fromHex("01") + QByteArray::fromHex(WifiIpBlock);
        printer->setState(state);
        wifi* window = openAfterGets();
        QVERIFY(!edit(window, "lineEdit_9")->isEnabled());
        edit(window, qPrintable(field))->setText(text);
        button(window, "pushButton_4")->click();

        QCOMPARE(boxes->texts, QStringList{BadAddress});
        QCOMPARE(hexFrames(printer->received()), QStringList());
    }

    void ipSetWriteFailure()
    {
        wifi* window = openAfterGets();
        printer->setFault(sim::Fault::WriteError);
        button(window, "pushButton_4")->click();
        QCOMPARE(boxes->texts, QStringList{Lost});
    }

    void keepsItsPortAfterSelectorChange()
    {
        sim::SimPrinter* third = addPrinter(3);
        selectPort(main, 3);
        wifi* window = open();
        selectPort(main, 1);
        button(main, "pushButton_9")->click();
        QCOMPARE(openWindows<wifi>().size(), 1);
        QCOMPARE(openWindow<wifi>(), window);

        button(window, "pushButton_3")->click();
        QCOMPARE(hexFrames(third->received()), QStringList{frameHex("1BFFFE022800 1BFEFF")});
        QCOMPARE(hexFrames(printer->received()), QStringList());
    }

    void bothWindowsOpenAtOnce()
    {
        sim::SimPrinter* third = addPrinter(3);
        selectPort(main, 3);
        button(main, "pushButton_8")->click();
        selectPort(main, 1);
        wifi* window = open();
        net_set* ethernet = openWindow<net_set>();
        QVERIFY(window && ethernet);
        QVERIFY(window->isVisible() && ethernet->isVisible());

        button(ethernet, "pushButton")->click();
        button(window, "pushButton_3")->click();
        QCOMPARE(boxes->texts, (QStringList{Success, Success}));
        QCOMPARE(hexFrames(third->received()),
                 (QStringList{frameHex("1BFFFE020F00 1BFEFF"), frameHex("1BFFFE020D00 1BFEFF")}));
        QCOMPARE(hexFrames(printer->received()), QStringList{frameHex("1BFFFE022800 1BFEFF")});

        ethernet->close();
        QVERIFY(window->isVisible());
        QCOMPARE(openWindow<wifi>(), window);
    }

    void closePath()
    {
        wifi* window = open();
        button(window, "pushButton")->click();
        QSignalSpy closed(window, SIGNAL(closed()));
        QPointer<wifi> guard(window);
        QSignalSpy lastClosed(qApp, SIGNAL(lastWindowClosed()));
        main->close();
        QCOMPARE(lastClosed.count(), 0);

        window->close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(main->isVisible());
        QVERIFY(!window->isVisible());
        QVERIFY2(guard, "deleted inside its own close event");
        flushDeletions();
        QVERIFY(!guard);

        wifi* fresh = open();
        QVERIFY(fresh);
        QCOMPARE(modeGroup(fresh), (QStringList{"", "", "", "", "..."}));
        QVERIFY(!button(fresh, "pushButton_2")->isEnabled());
    }

    void unpluggedBeforeOpening()
    {
        sim::SimBus::instance().unplug(printer);
        button(main, "pushButton_9")->click();
        QCOMPARE(boxes->texts, QStringList{NotConnected});
        QVERIFY(openWindows<wifi>().isEmpty());
    }
};

QTEST_MAIN(TestWifi)
#include "tst_wifi.moc"
