#include "logwatcher.h"
#include "net_set.h"
#include "settingswindows.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using namespace settingstest;

namespace {
const QString Success = QString::fromUtf8("成功");
const QString Lost = QString::fromUtf8("打印机连接断开");
const QString NotConnected = QString::fromUtf8("请确保打印机已通过usb进行连接");
const QString BadAddress = QString::fromUtf8("地址无效，每段应为0到255");
const QString BadPort = QString::fromUtf8("端口无效，应为1到65535");

const char* const GetPorts = "1BFFFE020F00 1BFEFF";
const char* const GetIp = "1BFFFE020D00 1BFEFF";
} // namespace

class TestNetSet : public QObject
{
    Q_OBJECT

    MainWindow* main = nullptr;
    MessageBoxCatcher* boxes = nullptr;
    sim::SimPrinter* printer = nullptr;

    net_set* open()
    {
        button(main, "pushButton_8")->click();
        return openWindow<net_set>();
    }

    // A window whose Set button a Get has enabled, its printer's record cleared.
    net_set* openAfterGet()
    {
        net_set* window = open();
        button(window, "pushButton")->click();
        printer->clearReceived();
        boxes->clear();
        return window;
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
        QVERIFY(openWindows<net_set>().isEmpty());
    }

    // Other code finds these by index and by connect-by-name; the order is part of the class.
    void metaMethods()
    {
        const QMetaObject& meta = net_set::staticMetaObject;
        QStringList methods;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod m = meta.method(i);
            methods << QStringLiteral("%1 %2 %3 %4")
                           .arg(m.methodType() == QMetaMethod::Signal ? "signal" : "slot")
                           .arg(m.access() == QMetaMethod::Public ? "public" : "private")
                           .arg(QString::fromLatin1(m.typeName()))
                           .arg(QString::fromLatin1(m.methodSignature()));
        }
        QCOMPARE(methods, (QStringList{
                              "signal public void closed()",
                              "slot private void closeEvent(QCloseEvent*)",
                              "slot private void on_pushButton_clicked()",
                              "slot private void on_pushButton_2_clicked()",
                              "slot private int Net_Set(PPrinterHandle)",
                              "slot private int Set_Send_PORT_MESSAGE_Instruction(PPrinterHandle)",
                              "slot private int net_lnit(PPrinterHandle)",
                          }));
    }

    void newWindowState()
    {
        net_set* window = open();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->parentWidget() == nullptr);
        QCOMPARE(window->windowTitle(), QString::fromUtf8("票据机设置工具"));
        QCOMPARE(combo(window, "comboBox")->currentText(), QString("DHCP ON"));
        for (const char* name : {"lineEdit", "lineEdit_2", "lineEdit_3"})
            QCOMPARE(edit(window, name)->text(), QString("..."));
        QCOMPARE(edit(window, "lineEdit_4")->text(), QString());
        QCOMPARE(edit(window, "lineEdit_5")->text(), QString());
        QVERIFY(!button(window, "pushButton_2")->isEnabled());
        QCOMPARE(window->size(), QSize(600, 300));
        QCOMPARE(window->minimumSize(), QSize(600, 300));
        QCOMPARE(window->maximumSize(), QSize(600, 300));
        QVERIFY(boxes->texts.isEmpty());
        QVERIFY(printer->received().isEmpty());
    }

    void getFillsFields_data()
    {
        QTest::addColumn<QByteArray>("modeByte");
        QTest::addColumn<QString>("mode");
        QTest::newRow("00 DHCP on") << QByteArray::fromHex("00") << "DHCP ON";
        QTest::newRow("01 DHCP off") << QByteArray::fromHex("01") << "DHCP OFF";
        QTest::newRow("02 DHCP off") << QByteArray::fromHex("02") << "DHCP OFF";
    }

    void getFillsFields()
    {
        QFETCH(QByteArray, modeByte);
        QFETCH(QString, mode);
        sim::PrinterState state = printer->state();
        state.netIp = modeByte + QByteArray::fromHex("C0A80164 FFFFFF00 C0A80101");
        state.netPort = QByteArray::fromHex("8C235000");
        printer->setState(state);

        net_set* window = open();
        if (mode == "DHCP ON")
            combo(window, "comboBox")->setCurrentIndex(1);
        button(window, "pushButton")->click();

        QCOMPARE(boxes->texts, QStringList{Success});
        QCOMPARE(hexFrames(printer->received()),
                 (QStringList{frameHex(GetPorts), frameHex(GetIp)}));
        QCOMPARE(combo(window, "comboBox")->currentText(), mode);
        QCOMPARE(edit(window, "lineEdit")->text(), QString("192.168.1.100"));
        QCOMPARE(edit(window, "lineEdit_2")->text(), QString("255.255.255.0"));
        QCOMPARE(edit(window, "lineEdit_3")->text(), QString("192.168.1.1"));
        QCOMPARE(edit(window, "lineEdit_4")->text(), QString("9100"));
        QCOMPARE(edit(window, "lineEdit_5")->text(), QString("80"));
        QVERIFY(button(window, "pushButton_2")->isEnabled());
    }

    void failedPortQueryIsNotReported()
    {
        net_set* window = open();
        edit(window, "lineEdit_4")->setText("1234");
        LogWatcher log;
        printer->setFault(sim::Fault::WriteError);
        log.onFirst("rrrrr 0D", [this] { printer->setFault(sim::Fault::None); });
        button(window, "pushButton")->click();

        QCOMPARE(boxes->texts, QStringList{Success});
        QCOMPARE(edit(window, "lineEdit_4")->text(), QString("1234"));
        QCOMPARE(edit(window, "lineEdit_5")->text(), QString());
        QCOMPARE(edit(window, "lineEdit")->text(), QString("192.168.1.100"));
    }

    void failedIpQueryStillEnablesSet()
    {
        net_set* window = open();
        LogWatcher log;
        log.onFirst("rrrrr 0D", [this] { printer->setFault(sim::Fault::WriteError); });
        button(window, "pushButton")->click();

        QCOMPARE(boxes->texts, QStringList{Lost});
        QCOMPARE(edit(window, "lineEdit_4")->text(), QString("9100"));
        QCOMPARE(edit(window, "lineEdit")->text(), QString("..."));
        QCOMPARE(combo(window, "comboBox")->currentIndex(), 0);
        QVERIFY(button(window, "pushButton_2")->isEnabled());
    }

    void unpluggedGetLeavesSetDisabled()
    {
        net_set* window = open();
        sim::SimBus::instance().unplug(printer);
        button(window, "pushButton")->click();
        QCOMPARE(boxes->texts, QStringList{NotConnected});
        QVERIFY(!button(window, "pushButton_2")->isEnabled());
        QCOMPARE(edit(window, "lineEdit_4")->text(), QString());
    }

    void setSendsBothFrames_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("fields"); // ip, mask, gateway, tcp, udp
        QTest::addColumn<QString>("ipFrame");
        QTest::addColumn<QString>("portFrame");
        QTest::newRow("printer's example, DHCP off")
            << 1 << QStringList{"192.168.1.100", "255.255.255.0", "192.168.1.1", "9100", "9100"}
            << frameHex("1BFFFE010D0D01 C0A80164 FFFFFF00 C0A80101 1BFEFF")
            << frameHex("1BFFFE010F04 8C238C23 1BFEFF");
        QTest::newRow("DHCP on sends 00, empty fields 0.0.0.0")
            << 0 << QStringList{"...", "...", "...", "80", "65535"}
            << frameHex("1BFFFE010D0D00 00000000 00000000 00000000 1BFEFF")
            << frameHex("1BFFFE010F04 5000FFFF 1BFEFF");
        QTest::newRow("empty places read 0")
            << 1 << QStringList{"10..1.", "255.255..", "10.0.0.1", "1", "9100"}
            << frameHex("1BFFFE010D0D01 0A000100 FFFF0000 0A000001 1BFEFF")
            << frameHex("1BFFFE010F04 01008C23 1BFEFF");
    }

    void setSendsBothFrames()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, fields);
        QFETCH(QString, ipFrame);
        QFETCH(QString, portFrame);
        net_set* window = openAfterGet();
        combo(window, "comboBox")->setCurrentIndex(mode);
        const char* names[] = {"lineEdit", "lineEdit_2", "lineEdit_3", "lineEdit_4", "lineEdit_5"};
        for (int i = 0; i < 5; ++i)
            edit(window, names[i])->setText(fields[i]);
        button(window, "pushButton_2")->click();

        QCOMPARE(hexFrames(printer->received()), (QStringList{ipFrame, portFrame}));
        QCOMPARE(boxes->texts, QStringList{Success});
        const sim::PrinterState state = printer->state();
        QCOMPARE(toHex(state.netIp), toHex(QByteArray::fromHex(ipFrame.toLatin1()).mid(6, 13)));
        QCOMPARE(toHex(state.netPort), toHex(QByteArray::fromHex(portFrame.toLatin1()).mid(6, 4)));
    }

    void setIsReadBack()
    {
        net_set* window = openAfterGet();
        edit(window, "lineEdit")->setText("10.1.2.3");
        edit(window, "lineEdit_4")->setText("4000");
        combo(window, "comboBox")->setCurrentIndex(0);
        button(window, "pushButton_2")->click();
        window->close();
        flushDeletions();

        net_set* fresh = open();
        button(fresh, "pushButton")->click();
        QCOMPARE(edit(fresh, "lineEdit")->text(), QString("10.1.2.3"));
        QCOMPARE(edit(fresh, "lineEdit_4")->text(), QString("4000"));
        QCOMPARE(combo(fresh, "comboBox")->currentText(), QString("DHCP ON"));
    }

    void refusalsSendNothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("ip part above 255") << "lineEdit"
                                           << "300.1.1.1" << BadAddress;
        QTest::newRow("mask part 256") << "lineEdit_2"
                                       << "255.255.255.256" << BadAddress;
        QTest::newRow("gateway part 999") << "lineEdit_3"
                                          << "192.168.1.999" << BadAddress;
        QTest::newRow("tcp above 16 bits") << "lineEdit_4"
                                           << "70000" << BadPort;
        QTest::newRow("tcp negative") << "lineEdit_4"
                                      << "-1" << BadPort;
        QTest::newRow("tcp letters") << "lineEdit_4"
                                     << "http" << BadPort;
        QTest::newRow("udp zero") << "lineEdit_5"
                                  << "0" << BadPort;
        QTest::newRow("udp empty") << "lineEdit_5"
                                   << "" << BadPort;
    }

    void refusalsSendNothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        net_set* window = openAfterGet();
        const sim::PrinterState before = printer->state();
        edit(window, field.toLatin1().constData())->setText(text);
        QCOMPARE(edit(window, field.toLatin1().constData())->text(), text);
        button(window, "pushButton_2")->click();

        QCOMPARE(boxes->texts, QStringList{message});
        QCOMPARE(hexFrames(printer->received()), QStringList());
        QCOMPARE(toHex(printer->state().netIp), toHex(before.netIp));
    }

    // Each frame is sent whatever became of the other; one message tells whether both arrived.
    void setReportsEitherFailedFrame_data()
    {
        QTest::addColumn<bool>("ipFails");
        QTest::newRow("ip frame fails") << true;
        QTest::newRow("port frame fails") << false;
    }

    void setReportsEitherFailedFrame()
    {
        QFETCH(bool, ipFails);
        net_set* window = openAfterGet();
        LogWatcher log;
        if (ipFails) {
            printer->setFault(sim::Fault::WriteError);
            log.onFirst("PORT_MESSAGE t mm", [this] { printer->setFault(sim::Fault::None); });
        } else {
            log.onFirst("PORT_MESSAGE t mm", [this] { printer->setFault(sim::Fault::WriteError); });
        }
        button(window, "pushButton_2")->click();

        QCOMPARE(boxes->texts, QStringList{Lost});
        const QString ipFrame = frameHex("1BFFFE010D0D01 C0A80164 FFFFFF00 C0A80101 1BFEFF");
        const QString portFrame = frameHex("1BFFFE010F04 8C235000 1BFEFF");
        QCOMPARE(hexFrames(printer->received()), QStringList{ipFails ? portFrame : ipFrame});
    }

    void unpluggedSetSendsNothing()
    {
        net_set* window = openAfterGet();
        sim::SimBus::instance().unplug(printer);
        button(window, "pushButton_2")->click();
        QCOMPARE(boxes->texts, QStringList{NotConnected});
    }

    void oneWindowKeepsItsPort()
    {
        sim::SimPrinter* third = addPrinter(3);
        selectPort(main, 3);
        net_set* window = open();
        QVERIFY(window);
        window->showMinimized();
        QVERIFY(window->isMinimized());

        selectPort(main, 1);
        button(main, "pushButton_8")->click();
        QCOMPARE(openWindows<net_set>().size(), 1);
        QCOMPARE(openWindow<net_set>(), window);
        QVERIFY(!window->isMinimized());
        QVERIFY(window->isVisible());

        button(window, "pushButton")->click();
        QCOMPARE(boxes->texts, QStringList{Success});
        QCOMPARE(hexFrames(third->received()), (QStringList{frameHex(GetPorts), frameHex(GetIp)}));
        QCOMPARE(hexFrames(printer->received()), QStringList());
    }

    void closePath()
    {
        net_set* window = open();
        button(window, "pushButton")->click();
        QVERIFY(button(window, "pushButton_2")->isEnabled());
        QSignalSpy closed(window, SIGNAL(closed()));
        QPointer<net_set> guard(window);
        main->hide();

        window->close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(main->isVisible());
        QVERIFY(!window->isVisible());
        QVERIFY2(guard, "deleted inside its own close event");
        flushDeletions();
        QVERIFY(!guard);

        net_set* fresh = open();
        QVERIFY(fresh);
        QCOMPARE(edit(fresh, "lineEdit")->text(), QString("..."));
        QVERIFY(!button(fresh, "pushButton_2")->isEnabled());
    }

    void closingMainWindowKeepsRunning()
    {
        net_set* window = open();
        QSignalSpy lastClosed(qApp, SIGNAL(lastWindowClosed()));
        main->close();
        QVERIFY(!main->isVisible());
        QVERIFY(window->isVisible());
        QCOMPARE(lastClosed.count(), 0);

        window->close();
        QVERIFY(main->isVisible());
        QCOMPARE(lastClosed.count(), 0);
    }

    void unpluggedBeforeOpening()
    {
        sim::SimBus::instance().unplug(printer);
        button(main, "pushButton_8")->click();
        QCOMPARE(boxes->texts, QStringList{NotConnected});
        QVERIFY(openWindows<net_set>().isEmpty());
    }
};

QTEST_MAIN(TestNetSet)
#include "tst_net_set.moc"
