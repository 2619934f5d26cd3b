#include "guitest.h"
#include "link/outcome.h"
#include "printerfields.h"
#include "startup.h"
#include "usb/printerlist.h"

#include <QAction>
#include <QStatusBar>
#include <QtTest>

#include <memory>

using namespace guitest;

namespace {

const char* const ConnectFirst = "请先连接打印机";
const char* const CheckUsb = "请确保打印机已通过usb进行连接";
const char* const Got = "获取成功";
const char* const Done = "设置成功";

// The message boxes a step should show: one with this text, or none.
QStringList boxesFor(const char* text)
{
    return *text ? QStringList{QString::fromUtf8(text)} : QStringList{};
}

// Settings as "speed density alarm".
sim::SimPrinter* plug(int port, const QString& settings = "1 2 3",
                      const QByteArray& product = "RP80 Printer", const QString& fields = {})
{
    sim::PrinterConfig config;
    sim::parsePrinterFields(fields, port, config, nullptr);
    config.product = product;
    config.sysfsName = QStringLiteral("1-%1").arg(port);
    const QStringList values = settings.split(' ');
    config.state.speed = std::uint8_t(values[0].toInt());
    config.state.density = std::uint8_t(values[1].toInt());
    config.state.alarm = std::uint8_t(values[2].toInt());
    return sim::SimBus::instance().add(config);
}

QString settingsOf(const sim::SimPrinter* printer)
{
    const sim::PrinterState s = printer->state();
    return QStringLiteral("%1 %2 %3").arg(s.speed).arg(s.density).arg(s.alarm);
}

// Each command as the window sends it after Refresh, with 较快|较淡|仅光报警 (2 0 2) chosen and a
// printer holding 1 2 3 (and the fields given): the frames it sends, the box on success and on a
// failed exchange, the choices shown, the settings stored and the status bar afterwards.
const struct
{
    const char *name, *button, *fields, *frames, *done, *failed, *shown, *stored, *status;
} Commands[] = {
    {"get", "pushButton", "", "1BFFFE0200001BFEFF 1BFFFE0213001BFEFF 1BFFFE0240001BFEFF", Got,
     CheckUsb, "正常|较浓|声光报警", "1 2 3", ""},
    {"set", "pushButton_2", "", "1BFFFE010001021BFEFF 1BFFFE011301001BFEFF 1BFFFE014001021BFEFF",
     Done, CheckUsb, "较快|较淡|仅光报警", "2 0 2", ""},
    {"firmware date", "pushButton_3", "", "1BFFFE0004001BFEFF", "", CheckUsb, "较快|较淡|仅光报警",
     "1 2 3", ""},
    {"self-test", "pushButton_10", "", "1BFFFE0000001BFEFF", Done, CheckUsb, "较快|较淡|仅光报警",
     "1 2 3", ""},
    {"printer status", "actionPrinterStatus", "cover=open,paper=near-end",
     "100401 100402 100403 100404", "打印机报告：离线，上盖打开，纸将用尽", CheckUsb,
     "较快|较淡|仅光报警", "1 2 3", "RP80 Printer USB001：离线，上盖打开，纸将用尽"},
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<MessageBoxCatcher> boxes;
    std::unique_ptr<MainWindow> main;

    // Every click must leave no wait cursor behind, and must not have shown one over a box.
    void click(const char* name)
    {
        boxes->clear();
        if (auto* action = main->findChild<QAction*>(QLatin1String(name)))
            action->trigger();
        else
            button(main.get(), name)->click();
        QVERIFY2(!QApplication::overrideCursor(), name);
        QVERIFY2(!boxes->cursorOverBox, name);
    }
    QComboBox* setting(int i)
    {
        return combo(main.get(), i == 0 ? "comboBox" : i == 1 ? "comboBox_2" : "comboBox_3");
    }
    QString shown(bool indexes = false)
    {
        QStringList out;
        for (int i = 0; i < 3; ++i)
            out << (indexes ? QString::number(setting(i)->currentIndex())
                            : setting(i)->currentText());
        return out.join(indexes ? ' ' : '|');
    }

private slots:
    void initTestCase()
    {
        // The bus must exist before libusb first starts, or libusb never sees its printers.
        sim::SimBus::instance();
        // As at start-up: the firmware date is decoded with the locale's codec.
        useUtf8ForLocale();
    }
    void init()
    {
        boxes = std::make_unique<MessageBoxCatcher>();
        main = std::make_unique<MainWindow>();
        main->show();
    }
    void cleanup()
    {
        main.reset();
        boxes.reset();
        sim::SimBus::instance().clear();
    }

    void command_data()
    {
        QTest::addColumn<int>("row");
        for (int row = 0; row < int(std::size(Commands)); ++row)
            QTest::newRow(Commands[row].name) << row;
    }

    // One command from start to unplugging: no selection, success, every failure, then gone.
    void command()
    {
        QFETCH(int, row);
        const auto& c = Commands[row];
        sim::SimPrinter* printer = plug(1, "1 2 3", "RP80 Printer", c.fields);
        sim::SimPrinter* other = plug(2);

        // The selector stays empty until Refresh, even with printers attached.
        QCOMPARE(combo(main.get(), "comboBox_4")->count(), 0);
        click(c.button);
        QCOMPARE(boxes->texts, boxesFor(ConnectFirst));
        QCOMPARE(boxes->titles, QStringList{"设置工具"});
        QVERIFY(printer->received().isEmpty());

        selectPort(main.get(), 1);
        for (int i = 0; i < 3; ++i)
            setting(i)->setCurrentIndex(i == 1 ? 0 : 2);
        // Each exchange must go out under the wait cursor. The window is blocked in the exchange
        // while the printer takes it, so the cursor can be looked at from the printer's side.
        int withoutWaitCursor = 0;
        printer->setReceivedHook([&](const QByteArray&) {
            const QCursor* cursor = QApplication::overrideCursor();
            withoutWaitCursor += !cursor || cursor->shape() != Qt::WaitCursor;
        });
        click(c.button);
        printer->setReceivedHook({});
        QCOMPARE(withoutWaitCursor, 0);
        QStringList frames;
        for (const QString& frame : QString::fromLatin1(c.frames).split(' '))
            frames << frameHex(frame.toLatin1());
        QCOMPARE(hexFrames(printer->received()), frames);
        QCOMPARE(boxes->texts, boxesFor(c.done));
        QCOMPARE(shown(), QString::fromUtf8(c.shown));
        QCOMPARE(settingsOf(printer), c.stored);
        QCOMPARE(main->statusBar()->currentMessage(), QString::fromUtf8(c.status));
        const int selfTests = printer->selfTests();
        QCOMPARE(selfTests, c.button == QLatin1String("pushButton_10") ? 1 : 0);

        // Failures used to be reported as success; a failed read leaves no earlier date shown.
        for (sim::Fault fault : {sim::Fault::OpenRefused, sim::Fault::Gone, sim::Fault::WriteError,
                                 sim::Fault::PartialWrite}) {
            printer->setFault(fault, 2);
            click(c.button);
            QCOMPARE(boxes->texts, boxesFor(c.failed));
            QCOMPARE(edit(main.get(), "lineEdit")->text(), QString());
            QCOMPARE(printer->selfTests(), selfTests);
        }

        // A second printer on port 1 behind a hub: the port no longer names one printer.
        printer->setFault(sim::Fault::None);
        printer->clearReceived();
        sim::PrinterConfig hub;
        hub.sysfsName = "1-4.1";
        sim::SimPrinter* twin = sim::SimBus::instance().add(hub);
        click(c.button);
        QCOMPARE(boxes->texts, boxesFor("有多台打印机使用同一端口号，请只连接其中一台"));
        QVERIFY(printer->received().isEmpty() && twin->received().isEmpty());
        sim::SimBus::instance().unplug(twin);

        sim::SimBus::instance().unplug(printer);
        click(c.button);
        QCOMPARE(boxes->texts, boxesFor(CheckUsb));
        QVERIFY(other->received().isEmpty());
    }

    void refresh_data()
    {
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("one") << QStringList{"RP80 Printer USB003"};
        QTest::newRow("two") << QStringList{"RP80 Printer USB001", "RP58 Kitchen USB002"};
    }

    void refresh()
    {
        QFETCH(QStringList, expected);
        for (const QString& text : expected)
            plug(text.right(3).toInt(), "1 1 0", text.chopped(7).toLatin1());
        QComboBox* selector = combo(main.get(), "comboBox_4");

        click("pushButton_7");

        QStringList listed;
        for (int i = 0; i < selector->count(); ++i)
            listed << selector->itemText(i);
        // The selector keeps the discovery order and shows its first entry.
        QCOMPARE(listed, GetPrinterList());
        listed.sort();
        expected.sort();
        QCOMPARE(listed, expected);
        QCOMPARE(selector->currentIndex(), expected.isEmpty() ? -1 : 0);
        QVERIFY(boxes->texts.isEmpty());

        // A later Refresh replaces the list rather than adding to it, and names a printer the user
        // may not open instead of hiding it.
        plug(4);
        plug(5)->setFault(sim::Fault::OpenRefused);
        click("pushButton_7");
        QCOMPARE(selector->count(), expected.size() + 1);
        QCOMPARE(boxes->texts, boxesFor("没有权限访问打印机，请安装udev规则后重新插拔打印机"));
    }

    // Selector texts of different lengths: the port is the last three characters, so "USB0012"
    // addresses port 12, and only that printer is asked.
    void selectorTextAddressesPort()
    {
        const QList<sim::SimPrinter*> printers = {plug(1), plug(12), plug(123)};
        for (int row = 0; row < 3; ++row) {
            selectPort(main.get(), printers[row]->port());
            const QString text = combo(main.get(), "comboBox_4")->currentText();
            QVERIFY2(text.endsWith(QStringList{"USB001", "USB0012", "USB00123"}[row]),
                     qPrintable(text));
            click("pushButton");
            QCOMPARE(boxes->texts, boxesFor(Got));
            for (int i = 0; i < printers.size(); ++i)
                QCOMPARE(printers[i]->received().size(), i == row ? 3 : 0);
            printers[row]->clearReceived();
        }
    }

    // Rows: the settings the printer holds, and the indexes the boxes show after Get.
    void getValueBeyondItems_data()
    {
        QTest::addColumn<QString>("indexes");
        QTest::newRow("3 1 1") << QStringLiteral("-1 1 1");
        QTest::newRow("2 255 0") << QStringLiteral("2 -1 0");
        QTest::newRow("1 2 5") << QStringLiteral("1 2 -1");
    }

    // A value the box has no item for leaves it showing nothing; the read itself succeeded. Set
    // then refuses rather than sending FF for that box.
    void getValueBeyondItems()
    {
        QFETCH(QString, indexes);
        sim::SimPrinter* printer = plug(1, QTest::currentDataTag());
        click("pushButton_7");

        click("pushButton");
        QCOMPARE(shown(true), indexes);
        QCOMPARE(boxes->texts, boxesFor(Got));

        printer->clearReceived();
        click("pushButton_2");
        QCOMPARE(boxes->texts, boxesFor("请为速度、浓度和声光报警各选一项"));
        QVERIFY(printer->received().isEmpty());
    }

    void oneFailedExchangeFailsTheCommand_data()
    {
        // The printer's writes of one class and command stall. Get: the window shows
        // 较慢|较淡|关, the printer holds 1 2 3. Set: the printer holds 1 2 3, the window asks
        // for 2 0 2. Sent: the frames the printer took, those before the failed one.
        const struct
        {
            const char* name;
            const char* button;
            int frameClass, command;
            const char* result;
            int sent;
        } rows[] = {{"get, speed", "pushButton", 0x02, 0x00, "较慢|较淡|关", 0},
                    {"get, density", "pushButton", 0x02, 0x13, "正常|较淡|关", 1},
                    {"get, alarm", "pushButton", 0x02, 0x40, "正常|较浓|关", 2},
                    {"set, speed", "pushButton_2", 0x01, 0x00, "1 2 3", 0},
                    {"set, density", "pushButton_2", 0x01, 0x13, "2 2 3", 1},
                    {"set, alarm", "pushButton_2", 0x01, 0x40, "2 0 3", 2}};
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("frameClass");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("sent");
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.button << row.frameClass << row.command
                                    << QString::fromUtf8(row.result) << row.sent;
    }

    // Any one failed exchange makes the whole command a failure. After a failed write nothing
    // more goes to the printer, which could take the next frame for the rest of the failed one.
    void oneFailedExchangeFailsTheCommand()
    {
        QFETCH(QString, button);
        QFETCH(int, frameClass);
        QFETCH(int, command);
        QFETCH(QString, result);
        QFETCH(int, sent);
        sim::SimPrinter* printer = plug(1);
        click("pushButton_7");
        const bool isSet = button == QLatin1String("pushButton_2");
        for (int i = 0; isSet && i < 3; ++i)
            setting(i)->setCurrentIndex(i == 1 ? 0 : 2);
        printer->setFault(
            sim::Fault::WriteError, 0,
            sim::Trigger::onlyCommand(std::uint8_t(frameClass), std::uint8_t(command)));

        click(qPrintable(button));

        QCOMPARE(boxes->texts, boxesFor(CheckUsb));
        QCOMPARE(isSet ? settingsOf(printer) : shown(), result);
        QCOMPARE(printer->received().size(), sent);
        // The cause goes beneath the message: the endpoint stayed halted.
        QCOMPARE(boxes->causes, QStringList{failureText(Failure::Stalled)});
    }

    void firmwareDate_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("shown");
        QTest::newRow("zero in the middle") << QByteArray("2023\0-05-18", 11) << "2023";
        QTest::newRow("zero first") << QByteArray(1, '\0') + "2023"
                                    << "";
        QTest::newRow("empty payload") << QByteArray() << "";
        QTest::newRow("UTF-8 text") << QByteArray("固件 2024-01") << "固件 2024-01";
        QTest::newRow("255 bytes") << QByteArray(255, 'x') << QString(255, 'x');
        QTest::newRow("a reply that fills its packet") << QByteArray(55, 'd') << QString(55, 'd');
    }

    void firmwareDate()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, shown);
        // At full speed, with no zero-length packet after a full one, and a first read that
        // stalls.
        sim::SimPrinter* printer =
            plug(1, "1 2 3", "RP80 Printer", "max-packet=64,zlp=no,fault=stall-in:1");
        sim::PrinterState state = printer->state();
        state.firmwareDate = payload;
        printer->setState(state);
        click("pushButton_7");
        edit(main.get(), "lineEdit")->setText("old");

        click("pushButton_3");

        QCOMPARE(edit(main.get(), "lineEdit")->text(), shown);
        QVERIFY(boxes->texts.isEmpty());
    }

    // A record not given back keeps libusb's context, and with it its descriptors, open. Faults
    // that take the device node away are left out: the simulated bus keeps a connection for each
    // refused open, and too many of those end the process.
    void recordReleasedOnEveryPath()
    {
        sim::SimPrinter* printer = plug(1);
        const char* buttons[] = {"pushButton", "pushButton_2", "pushButton_3", "pushButton_10",
                                 "actionPrinterStatus"};
        auto everyPath = [&] {
            click("pushButton_7");
            for (sim::Fault fault :
                 {sim::Fault::None, sim::Fault::WriteError, sim::Fault::PartialWrite,
                  sim::Fault::StallIn, sim::Fault::KernelDriver}) {
                printer->setFault(fault, 2);
                for (const char* name : buttons)
                    click(name);
            }
            printer->setFault(sim::Fault::None);
            // The selection check's own failure: a port on which nothing sits any more.
            combo(main.get(), "comboBox_4")->setItemText(0, "RP80 Printer USB009");
            for (const char* name : buttons)
                click(name);
        };
        everyPath();
        const int before = openDescriptors();
        for (int round = 0; round < 5; ++round)
            everyPath();
        QVERIFY_NO_DESCRIPTOR_LEAK(before);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
