#include "guitest.h"
#include "net_set.h"
#include "wifi.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using namespace guitest;

namespace {
const QString Success = QString::fromUtf8("成功");
const QString Lost = QString::fromUtf8("打印机连接断开");
const QString NotConnected = QString::fromUtf8("请确保打印机已通过usb进行连接");
const QString BadAddress = QString::fromUtf8("地址无效，每段应为0到255");
const QString BadPort = QString::fromUtf8("端口无效，应为1到65535");
const QString NoApAddress = QString::fromUtf8("请填写AP_IP地址");
const QString NameTooLong = QString::fromUtf8("wifi名称最长32字节");
const QString BadPassword = QString::fromUtf8("wifi密码应为8到63位");
const QString NoName = QString::fromUtf8("请填写wifi名称");
const QString Control = QString::fromUtf8("wifi名称和密码不能包含控制字符");
const QString SharedPort = QString::fromUtf8("有多台打印机使用同一端口号，请只连接其中一台");
const QString StaticNeedsAddress = QString::fromUtf8("静态IP模式下请填写IP地址和子网掩码");

const char* const GetPorts = "1BFFFE020F00 1BFEFF";
const char* const GetIp = "1BFFFE020D00 1BFEFF";
const char* const GetMode = "1BFFFE023000 1BFEFF";
const char* const GetStation = "1BFFFE022600 1BFEFF";
const char* const GetAp = "1BFFFE022700 1BFEFF";
const char* const GetWifiIp = "1BFFFE022800 1BFEFF";
const char* const IpFrame = "1BFFFE010D0D01 C0A80164 FFFFFF00 C0A80101 1BFEFF";
const char* const StationMode = "1BFFFE01300101 1BFEFF";
const char* const ApMode = "1BFFFE01300102 1BFEFF";
const QByteArray WifiDhcpOn =
    testsupport::hex("1BFFFE022811 01 C0A80132 C0A80101 FFFFFF00 C0A80102 1BFEFF");

QStringList items(const QString& list)
{
    return list.split("; ", Qt::SkipEmptyParts);
}

const char* textProperty(QWidget* widget)
{
    return qobject_cast<QComboBox*>(widget) ? "currentText" : "text";
}

// What the user sees, "name=value; ...": a field's text (" (off)" when disabled), a selector's
// choice, whether a button is "on" or "off".
QStringList shown(QWidget* window, const QString& list)
{
    QStringList out;
    for (const QString& entry : items(list)) {
        auto* widget = child<QWidget>(window, qPrintable(entry.section('=', 0, 0)));
        QString value = widget->property(textProperty(widget)).toString();
        if (qobject_cast<QPushButton*>(widget))
            value = widget->isEnabled() ? "on" : "off";
        else if (!widget->isEnabled())
            value += " (off)";
        out << entry.section('=', 0, 0) + '=' + value;
    }
    return out;
}

// The debug log of one click, kept beside what the test framework does with it.
QStringList logged;
QtMessageHandler testLog = nullptr;
void keepLog(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    logged << message;
    testLog(type, context, message);
}

// The Wi-Fi passwords a row types or expects a Get to show; shorter texts than a password's
// shortest could stand in a log by chance.
QStringList passwords(const QString& window, const QString& list)
{
    QStringList found;
    for (const QString& entry : items(list)) {
        const QString field = entry.section('=', 0, 0);
        const QString text = entry.section('=', 1);
        if (window == "wifi" && (field == "lineEdit_2" || field == "lineEdit_4") &&
            text.size() >= 8)
            found << text;
    }
    return found;
}

// Types into fields and chooses in selectors; false when one did not take the text.
bool fill(QWidget* window, const QString& list)
{
    for (const QString& entry : items(list)) {
        auto* widget = child<QWidget>(window, qPrintable(entry.section('=', 0, 0)));
        const QString text = entry.section('=', 1);
        widget->setProperty(textProperty(widget), text);
        // A masked field drops the blanks typed into it, as it does for the user.
        const bool masked = widget->property("inputMask").toString().size() > 0;
        if (widget->property(textProperty(widget)) != (masked ? QString(text).remove(' ') : text))
            return false;
    }
    return true;
}
} // namespace

class TestSettingsWindows : public QObject
{
    Q_OBJECT

    MainWindow* main = nullptr;
    MessageBoxCatcher* boxes = nullptr;
    sim::SimPrinter* printer = nullptr;

    QWidget* open(const QString& window)
    {
        button(main, window == "net" ? "pushButton_8" : "pushButton_9")->click();
        return window == "net" ? static_cast<QWidget*>(openWindow<net_set>()) : openWindow<wifi>();
    }

    // The Get buttons, which enable the Set buttons.
    static void readAll(QWidget* w)
    {
        button(w, "pushButton")->click();
        if (auto* wifiIp = w->findChild<QPushButton*>("pushButton_3"))
            wifiIp->click();
    }

    // One click as a user makes it: open the window, run its Gets first when the button needs
    // them, fill in, click; then the message, the frames the printer got, and the window.
    // Fields are "name=value; ...". Fault: "unplugged"; "twin", a second printer on the port
    // behind a hub; "fail", every write fails; "fail from|until CC DD", writes fail from, or
    // until, the first one carrying that class and command.
    static void row(const char* name, const char* window, const char* click, const QString& fill,
                    const QString& fault, const QString& message, const QStringList& frames,
                    const QString& expect, const QByteArray& reply = {})
    {
        QTest::newRow(name) << window << click << fill << fault << message << expect << frames
                            << reply;
    }
    static void addColumns()
    {
        for (const char* column : {"window", "click", "fill", "fault", "message", "expect"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<QStringList>("frames"); // what the printer received from the click
        QTest::addColumn<QByteArray>("reply");   // the printer's raw answer to one get frame
    }
    void clickRow()
    {
        QFETCH(QString, window);
        QFETCH(QString, click);
        QFETCH(QString, fault);
        QFETCH(QByteArray, reply);
        if (!reply.isEmpty())
            printer->setRawReply(GetClass, std::uint8_t(reply[4]), reply);
        QWidget* w = open(window);
        if (!button(w, qPrintable(click))->isEnabled())
            readAll(w);
        QFETCH(QString, fill);
        QFETCH(QString, message);
        // The printer's network side, on loopback only, at the port the fields name as $port.
        if (fill.contains("$port")) {
            const QString port = QString::number(printer->serve("127.0.0.1", 0));
            fill.replace("$port", port);
            message.replace("$port", port);
        }
        QVERIFY(::fill(w, fill));
        printer->clearReceived();
        boxes->clear();

        if (fault == "unplugged") {
            sim::SimBus::instance().unplug(printer);
            printer = nullptr;
        } else if (fault == "twin") {
            sim::PrinterConfig hub;
            hub.sysfsName = "1-4.1";
            QVERIFY(sim::SimBus::instance().add(hub));
        } else if (!fault.isEmpty()) {
            const QStringList words = fault.split(' ');
            sim::Trigger trigger = sim::Trigger::always();
            if (words.size() == 4) {
                const auto frameClass = std::uint8_t(words[2].toUInt(nullptr, 16));
                const auto command = std::uint8_t(words[3].toUInt(nullptr, 16));
                trigger = words[1] == "from" ? sim::Trigger::onCommand(frameClass, command)
                                             : sim::Trigger::untilCommand(frameClass, command);
            }
            printer->setFault(sim::Fault::WriteError, 0, trigger);
        }
        logged.clear();
        testLog = qInstallMessageHandler(keepLog);
        button(w, qPrintable(click))->click();
        qInstallMessageHandler(testLog);

        QFETCH(QStringList, frames);
        QFETCH(QString, expect);
        for (const QString& secret : passwords(window, fill + "; " + expect))
            QVERIFY2(!holdsSecret(logged.join('\n'), secret), qPrintable(logged.join('\n')));
        QCOMPARE(boxes->texts, QStringList{message});
        QStringList sent;
        for (const QString& frame : frames)
            sent << frameHex(qPrintable(frame));
        if (printer)
            QCOMPARE(hexFrames(printer->received()), sent);
        QCOMPARE(shown(w, expect), items(expect));
    }

private slots:
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
        QVERIFY(openWindows<net_set>().isEmpty() && openWindows<wifi>().isEmpty());
    }

    void lifecycle_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QList<QSize>>("sizes"); // size, minimum, maximum
        QTest::newRow("net") << "net"
                             << "comboBox=DHCP ON; lineEdit=...; lineEdit_2=...; lineEdit_3=...; "
                                "lineEdit_4=; lineEdit_5=; pushButton_2=off"
                             << QList<QSize>{{600, 300}, {600, 300}, {600, 300}};
        QTest::newRow("wifi") << "wifi"
                              << "comboBox=STA; lineEdit=; lineEdit_2=; lineEdit_3=; lineEdit_4=; "
                                 "lineEdit_5=...; pushButton_2=off; comboBox_2=DHCP OFF; "
                                 "lineEdit_6=...; lineEdit_7=...; lineEdit_8=...; lineEdit_9=...; "
                                 "pushButton_4=off"
                              << QList<QSize>{{600, 550}, {550, 550}, {600, 600}};
    }

    // Opened, read, closed while the main window is closed too, then opened afresh.
    void lifecycle()
    {
        QFETCH(QString, window);
        QFETCH(QString, fresh);
        QFETCH(QList<QSize>, sizes);
        QSignalSpy lastClosed(qApp, SIGNAL(lastWindowClosed()));
        QWidget* w = open(window);
        QVERIFY(w && !w->parentWidget());
        QCOMPARE(shown(w, fresh), items(fresh));
        // The form's size holds where its texts fit it; the sanitizer tree's minimal platform
        // measures them wider, and the window grows to fit them there.
        if (QGuiApplication::platformName() == "offscreen")
            QCOMPARE((QList<QSize>{w->size(), w->minimumSize(), w->maximumSize()}), sizes);
        readAll(w);
        QVERIFY(shown(w, fresh) != items(fresh));

        QSignalSpy closed(w, SIGNAL(closed()));
        QPointer<QWidget> guard(w);
        main->close();
        QVERIFY(!main->isVisible() && w->isVisible());
        w->close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(lastClosed.count(), 0);
        QVERIFY(main->isVisible() && !w->isVisible());
        QVERIFY2(guard, "deleted inside its own close event");
        flushDeletions();
        QVERIFY(!guard);
        QWidget* again = open(window);
        QVERIFY(again);
        QCOMPARE(shown(again, fresh), items(fresh));
    }

    void unpluggedBeforeOpening()
    {
        sim::SimBus::instance().unplug(printer);
        button(main, "pushButton_8")->click();
        button(main, "pushButton_9")->click();
        QCOMPARE(boxes->texts, (QStringList{NotConnected, NotConnected}));
        QVERIFY(openWindows<net_set>().isEmpty() && openWindows<wifi>().isEmpty());
    }

    // One window of each kind, each talking to the port it was opened for.
    void oneWindowEachKeepsItsPort()
    {
        sim::SimPrinter* third = addPrinter(3);
        selectPort(main, 3);
        QWidget* net = open("net");
        net->showMinimized();
        selectPort(main, 1);
        QWidget* w = open("wifi");
        QCOMPARE(open("net"), net);
        QVERIFY(!net->isMinimized() && net->isVisible() && w->isVisible());
        selectPort(main, 3);
        QCOMPARE(open("wifi"), w);

        button(net, "pushButton")->click();
        button(w, "pushButton_3")->click();
        QCOMPARE(boxes->texts, (QStringList{Success, Success}));
        QCOMPARE(hexFrames(third->received()), (QStringList{frameHex(GetPorts), frameHex(GetIp)}));
        QCOMPARE(hexFrames(printer->received()), QStringList{frameHex(GetWifiIp)});
        net->close();
        QVERIFY(w->isVisible());
    }

    void reads_data()
    {
        addColumns();
        const QByteArray netIp = hex("1BFFFE020D0D 00 C0A80164 FFFFFF00 C0A80101 1BFEFF");
        const auto netMode = [&](const char* mode) {
            return netIp.left(6) + hex(mode) + netIp.mid(7);
        };
        row("net 00 is DHCP ON", "net", "pushButton", "comboBox=DHCP OFF", "", Success,
            {GetPorts, GetIp},
            "comboBox=DHCP ON; lineEdit=192.168.1.100; lineEdit_2=255.255.255.0; "
            "lineEdit_3=192.168.1.1; lineEdit_4=9100; lineEdit_5=80; pushButton_2=on",
            netIp);
        row("net 01 is DHCP OFF", "net", "pushButton", "comboBox=DHCP ON", "", Success,
            {GetPorts, GetIp}, "comboBox=DHCP OFF", netMode("01"));
        row("net 02 is DHCP OFF", "net", "pushButton", "comboBox=DHCP ON", "", Success,
            {GetPorts, GetIp}, "comboBox=DHCP OFF", netMode("02"));

        // Only 01 is a station; a Get empties the fields of the other mode.
        const QString old = "lineEdit=old; lineEdit_2=old; lineEdit_3=old; lineEdit_4=old; "
                            "lineEdit_5=9.9.9.9; ";
        row("wifi mode 01 reads the station", "wifi", "pushButton", old + "comboBox=AP", "",
            Success, {GetMode, GetStation},
            "comboBox=STA; lineEdit=Office; lineEdit_2=office-pass; lineEdit_3=; lineEdit_4=; "
            "lineEdit_5=...; pushButton_2=on",
            hex("1BFFFE02300101 1BFEFF"));
        row("wifi mode 02 reads the access point", "wifi", "pushButton", old, "", Success,
            {GetMode, GetAp},
            "comboBox=AP; lineEdit=; lineEdit_2=; lineEdit_3=Printer-AP; lineEdit_4=12345678; "
            "lineEdit_5=192.168.4.1",
            hex("1BFFFE02300102 1BFEFF"));
        for (const char* reply :
             {"1BFFFE02300100 1BFEFF", "1BFFFE023001FF 1BFEFF", "1BFFFE023000 1BFEFF"})
            row(qPrintable(QString("wifi mode reply %1 is the access point").arg(reply)), "wifi",
                "pushButton", "", "", Success, {GetMode, GetAp}, "comboBox=AP", hex(reply));
        row("wifi station reply with its name only", "wifi", "pushButton", "lineEdit_2=old", "",
            Success, {GetMode, GetStation},
            "lineEdit=net; lineEdit_2=", hex("1BFFFE022604 6E657400 1BFEFF"));

        // Under DHCP the DNS field is disabled and keeps its text.
        row("wifi ip 00 is DHCP OFF with the DNS", "wifi", "pushButton_3",
            "comboBox_2=DHCP ON; lineEdit_9=8.8.8.8", "", Success, {GetWifiIp},
            "comboBox_2=DHCP OFF; lineEdit_6=192.168.1.50; lineEdit_7=192.168.1.1; "
            "lineEdit_8=255.255.255.0; lineEdit_9=192.168.1.2; pushButton_4=on");
        row("wifi ip 01 is DHCP ON", "wifi", "pushButton_3", "lineEdit_9=8.8.8.8", "", Success,
            {GetWifiIp}, "comboBox_2=DHCP ON; lineEdit_6=192.168.1.50; lineEdit_9=8.8.8.8 (off)",
            WifiDhcpOn);
        row("wifi ip 02 is DHCP ON", "wifi", "pushButton_3", "", "", Success, {GetWifiIp},
            "comboBox_2=DHCP ON; lineEdit_9=... (off)",
            WifiDhcpOn.left(6) + hex("02") + WifiDhcpOn.mid(7));
    }
    void reads() { clickRow(); }

    void writes_data()
    {
        addColumns();
        row("net example", "net", "pushButton_2",
            "comboBox=DHCP OFF; lineEdit=192.168.1.100; lineEdit_2=255.255.255.0; "
            "lineEdit_3=192.168.1.1; lineEdit_4=9100; lineEdit_5=9100",
            "", Success, {IpFrame, "1BFFFE010F04 8C238C23 1BFEFF"}, "");
        // The check asks over the network alone, at the address and port as they were set.
        row("net check answers, on this computer's subnet", "net", "checkAddressButton",
            "comboBox=DHCP OFF; lineEdit=127.0.0.1; lineEdit_2=255.0.0.0; lineEdit_3=127.0.0.1; "
            "lineEdit_4=$port; lineEdit_5=9100",
            "", QString::fromUtf8("打印机在 127.0.0.1:$port 应答：就绪\n本机的接口 lo 在此子网上"),
            {}, "");
        row("net DHCP ON is 00, empty addresses 0.0.0.0", "net", "pushButton_2",
            "comboBox=DHCP ON; lineEdit=...; lineEdit_2=...; lineEdit_3=...; lineEdit_4=80; "
            "lineEdit_5=65535",
            "", Success,
            {"1BFFFE010D0D00 00000000 00000000 00000000 1BFEFF", "1BFFFE010F04 5000FFFF 1BFEFF"},
            "");
        row("net DHCP ON sends empty places as 0", "net", "pushButton_2",
            "comboBox=DHCP ON; lineEdit=10..1.; lineEdit_2=255.255..; lineEdit_4=1", "", Success,
            {"1BFFFE010D0D00 0A000100 FFFF0000 C0A80101 1BFEFF", "1BFFFE010F04 01005000 1BFEFF"},
            "");
        // Station mode sends no access-point field, and the other way round.
        row("wifi station abc, eight-byte password", "wifi", "pushButton_2",
            "comboBox=STA; lineEdit=abc; lineEdit_2=12345678; lineEdit_3=x", "", Success,
            {StationMode, "1BFFFE01260D 61626300 313233343536373800 1BFEFF"}, "");
        row("wifi station in UTF-8", "wifi", "pushButton_2",
            QString::fromUtf8("lineEdit=咖啡店; lineEdit_2="), "", Success,
            {StationMode, "1BFFFE01260B E59296E595A1E5BA9700 00 1BFEFF"}, "");
        row("wifi station with a 64-hex-digit key", "wifi", "pushButton_2",
            "lineEdit=ab; lineEdit_2=" + QString("0123456789abcdef").repeated(4), "", Success,
            {StationMode, "1BFFFE012644 616200" +
                              QByteArray("0123456789abcdef").repeated(4).toHex() + "00 1BFEFF"},
            "");
        row("wifi access point address typed with blanks", "wifi", "pushButton_2",
            "comboBox=AP; lineEdit_3=ab; lineEdit_4=; lineEdit_5= 10.  0.  0.  1", "", Success,
            {ApMode, "1BFFFE01270D 616200 00 31302E302E302E3100 1BFEFF"}, "");
        row("wifi access point abc, open, 192.168.4.1", "wifi", "pushButton_2",
            "comboBox=AP; lineEdit=old; lineEdit_3=abc; lineEdit_4=; lineEdit_5=192.168.4.1", "",
            Success, {ApMode, "1BFFFE012711 61626300 00 3139322E3136382E342E3100 1BFEFF"}, "");
        row("wifi access point address without the mask's zeros", "wifi", "pushButton_2",
            "comboBox=AP; lineEdit_3=abc; lineEdit_4=; lineEdit_5=010.000.000.001", "", Success,
            {ApMode, "1BFFFE01270E 61626300 00 31302E302E302E3100 1BFEFF"}, "");
        row("wifi ip example", "wifi", "pushButton_4",
            "comboBox_2=DHCP OFF; lineEdit_6=192.168.1.50; lineEdit_7=192.168.1.1; "
            "lineEdit_8=255.255.255.0; lineEdit_9=192.168.1.2",
            "", Success, {"1BFFFE012811 00 C0A80132 C0A80101 FFFFFF00 C0A80102 1BFEFF"}, "");
        row("wifi ip DHCP ON is 01, the disabled DNS is sent", "wifi", "pushButton_4",
            "lineEdit_9=8.8.4.4", "", Success,
            {"1BFFFE012811 01 C0A80132 C0A80101 FFFFFF00 08080404 1BFEFF"},
            "lineEdit_9=8.8.4.4 (off)", WifiDhcpOn);
        row("wifi ip DHCP ON, a bad disabled DNS is sent as 0.0.0.0", "wifi", "pushButton_4",
            "lineEdit_9=8.8.8.888", "", Success,
            {"1BFFFE012811 01 C0A80132 C0A80101 FFFFFF00 00000000 1BFEFF"},
            "lineEdit_9=8.8.8.888 (off)", WifiDhcpOn);
    }
    void writes() { clickRow(); }

    void refusals_data()
    {
        addColumns();
        const auto refuse = [](const char* window, const char* click, const QString& fill,
                               const QString& message) {
            row(qPrintable(fill), window, click, fill, "", message, {}, "");
        };
        refuse("net", "pushButton_2", "lineEdit=300.1.1.1", BadAddress);
        refuse("net", "pushButton_2", "lineEdit_2=255.255.255.256", BadAddress);
        refuse("net", "pushButton_2", "lineEdit_3=192.168.1.999", BadAddress);
        refuse("net", "pushButton_2", "lineEdit_4=70000", BadPort);
        refuse("net", "pushButton_2", "lineEdit_5=", BadPort);
        refuse("wifi", "pushButton_2", "comboBox=AP; lineEdit_3=abc; lineEdit_5=...", NoApAddress);
        refuse("wifi", "pushButton_2", "comboBox=AP; lineEdit_3=abc; lineEdit_5=300.168.4.1",
               BadAddress);
        refuse("wifi", "pushButton_2",
               "comboBox=AP; lineEdit_3=" + QString(33, 'n') + "; lineEdit_5=192.168.4.1",
               NameTooLong);
        refuse("wifi", "pushButton_2",
               "comboBox=AP; lineEdit_3=abc; lineEdit_4=1234567; lineEdit_5=192.168.4.1",
               BadPassword);
        refuse("wifi", "pushButton_2", "lineEdit=" + QString(11, QChar(0x7F51)), NameTooLong);
        refuse("wifi", "pushButton_2", "lineEdit=abc; lineEdit_2=" + QString(64, 'p'), BadPassword);
        refuse("wifi", "pushButton_4", "lineEdit_6=256.0.0.1", BadAddress);
        refuse("wifi", "pushButton_4", "lineEdit_7=10.0.0.300", BadAddress);
        refuse("wifi", "pushButton_4", "lineEdit_8=255.255.999.0", BadAddress);
        // Static mode: an empty place, or no address or mask, would cut the printer off.
        refuse("net", "pushButton_2", "lineEdit=10..1.", StaticNeedsAddress);
        refuse("net", "pushButton_2", "lineEdit=0.0.0.0", StaticNeedsAddress);
        refuse("net", "pushButton_2", "lineEdit_2=...", StaticNeedsAddress);
        refuse("wifi", "pushButton_4", "lineEdit_6=0.0.0.0", StaticNeedsAddress);
        refuse("wifi", "pushButton_4", "lineEdit_9=...", StaticNeedsAddress);
        refuse("wifi", "pushButton_2", "comboBox=AP; lineEdit_3=abc; lineEdit_5=10..1.",
               BadAddress);
        refuse("wifi", "pushButton_2", "lineEdit=; lineEdit_2=", NoName);
        refuse("wifi", "pushButton_2", "lineEdit=Shop" + QString(QChar(0)) + "evil", Control);
        refuse("wifi", "pushButton_2", "lineEdit=abc; lineEdit_2=pass\nword", Control);
    }
    void refusals() { clickRow(); }

    // The steps every button shares: no printer, no frame sent; a failed exchange reported, and
    // a Get enabling its Set button whenever the printer answered to its handle.
    void sharedSteps_data()
    {
        addColumns();
        row("net get, unplugged", "net", "pushButton", "", "unplugged", NotConnected, {},
            "pushButton_2=off; lineEdit_4=");
        row("net get, ip query fails", "net", "pushButton", "", "fail from 02 0D", Lost, {GetPorts},
            "pushButton_2=on; lineEdit=...; lineEdit_4=9100; lineEdit_5=80");
        // After a failed write nothing more goes to the printer in that command.
        row("net get, port query fails, ip not asked", "net", "pushButton", "lineEdit_4=1234",
            "fail until 02 0D", Lost, {}, "lineEdit=...; lineEdit_4=1234; lineEdit_5=");
        row("net set, unplugged", "net", "pushButton_2", "", "unplugged", NotConnected, {}, "");
        row("net set, ip frame fails, ports not sent", "net", "pushButton_2", "",
            "fail until 01 0F", Lost, {}, "");
        row("net set, port frame fails", "net", "pushButton_2", "", "fail from 01 0F", Lost,
            {IpFrame}, "");
        row("wifi get, unplugged", "wifi", "pushButton", "", "unplugged", NotConnected, {},
            "pushButton_2=off");
        row("wifi get, mode query fails", "wifi", "pushButton", "lineEdit=keep; lineEdit_5=1.2.3.4",
            "fail", Lost, {}, "pushButton_2=on; comboBox=STA; lineEdit=keep; lineEdit_5=1.2.3.4");
        row("wifi get, settings query fails", "wifi", "pushButton",
            "comboBox=AP; lineEdit=a; lineEdit_3=c", "fail from 02 26", Lost, {GetMode},
            "comboBox=STA; lineEdit=a; lineEdit_3=c");
        row("wifi set, unplugged", "wifi", "pushButton_2", "", "unplugged", NotConnected, {}, "");
        row("wifi set, mode frame fails, station not sent", "wifi", "pushButton_2",
            "lineEdit=abc; lineEdit_2=", "fail until 01 26", Lost, {}, "");
        row("wifi set, station frame fails", "wifi", "pushButton_2",
            "lineEdit=abc; lineEdit_2=", "fail from 01 26", Lost, {StationMode}, "");
        row("wifi ip get, unplugged", "wifi", "pushButton_3", "", "unplugged", NotConnected, {},
            "pushButton_4=off");
        row("wifi ip get fails", "wifi", "pushButton_3", "", "fail", Lost, {}, "pushButton_4=on");
        row("wifi ip set, unplugged", "wifi", "pushButton_4", "", "unplugged", NotConnected, {},
            "");
        row("wifi ip set fails", "wifi", "pushButton_4", "", "fail", Lost, {}, "");
        row("net set, two printers on the port", "net", "pushButton_2", "", "twin", SharedPort, {},
            "");
        row("wifi ip get, two printers on the port", "wifi", "pushButton_3", "lineEdit_6=1.2.3.4",
            "twin", SharedPort, {}, "lineEdit_6=1.2.3.4");
    }
    void sharedSteps() { clickRow(); }
};

QTEST_MAIN(TestSettingsWindows)
#include "tst_settingswindows.moc"
