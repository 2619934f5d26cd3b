#include "logwatcher.h"
#include "mainwindow.h"
#include "messageboxcatcher.h"
#include "protocol/frame.h"
#include "simprinter.h"
#include "usb/printerlist.h"

#include <QComboBox>
#include <QDir>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCodec>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(sim::Fault)

namespace {

const QString ConnectFirst = QStringLiteral("请先连接打印机");
const QString CheckUsb = QStringLiteral("请确保打印机已通过usb进行连接");
const QString Retrieved = QStringLiteral("获取成功");
const QString SetDone = QStringLiteral("设置成功");

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Frames as "1B FF FE ... | 1B FF FE ...", so that a failing comparison shows both sides in hex.
QString framesHex(const QList<QByteArray>& frames)
{
    QStringList parts;
    for (const QByteArray& frame : frames)
        parts << QString::fromLatin1(toHex(frame));
    return parts.join(QStringLiteral(" | "));
}

// The descriptors a libusb context or an open device holds (event and timer descriptors, device
// nodes); the simulated bus's own sockets are left out.
int usbDescriptors()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    int count = 0;
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (!fd.symLinkTarget().contains(QLatin1String("socket:")))
            ++count;
    return count;
}

sim::PrinterState stateWith(int speed, int density, int alarm)
{
    sim::PrinterState state = sim::defaultState();
    state.speed = std::uint8_t(speed);
    state.density = std::uint8_t(density);
    state.alarm = std::uint8_t(alarm);
    return state;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void freshWindow();
    void emptySelectorAsksForPrinter_data();
    void emptySelectorAsksForPrinter();
    void refreshListsAttachedPrinters_data();
    void refreshListsAttachedPrinters();
    void refreshAfterPlugging();
    void selectorTextAddressesPort_data();
    void selectorTextAddressesPort();
    void unpluggedAfterRefresh_data();
    void unpluggedAfterRefresh();

    void getShowsPrinterSettings();
    void getValueBeyondItems_data();
    void getValueBeyondItems();
    void setWritesThreeFrames();
    void failedCommandReportsFailure_data();
    void failedCommandReportsFailure();
    void oneFailedExchangeFailsTheCommand_data();
    void oneFailedExchangeFailsTheCommand();

    void firmwareDate_data();
    void firmwareDate();
    void firmwareKeptOnFailure();
    void selfTest();

    void waitCursorWhileTalking_data();
    void waitCursorWhileTalking();
    void recordReleasedOnEveryPath();

private:
    sim::SimPrinter* plug(const QByteArray& product, const QString& sysfsName,
                          const sim::PrinterState& state = sim::defaultState());
    void click(const char* name);
    void refresh() { click("pushButton_7"); }
    void select(const QString& textEnd);
    template <typename T> T* widget(const char* name)
    {
        T* found = m_window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QComboBox* combo(const char* name) { return widget<QComboBox>(name); }

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MessageBoxCatcher> m_boxes;
    std::unique_ptr<LogWatcher> m_log;
};

void TestMainWindow::initTestCase()
{
    // The bus must exist before libusb first starts, or libusb never sees its printers.
    sim::SimBus::instance();
    // As at start-up: the firmware date is decoded with the locale's codec.
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

void TestMainWindow::init()
{
    m_boxes = std::make_unique<MessageBoxCatcher>();
    m_log = std::make_unique<LogWatcher>();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_log.reset();
    m_boxes.reset();
    sim::SimBus::instance().clear();
}

sim::SimPrinter* TestMainWindow::plug(const QByteArray& product, const QString& sysfsName,
                                      const sim::PrinterState& state)
{
    sim::PrinterConfig config;
    config.product = product;
    config.sysfsName = sysfsName;
    config.state = state;
    return sim::SimBus::instance().add(config);
}

// Clicks and checks what every click must leave behind: no wait cursor, none over a message box.
void TestMainWindow::click(const char* name)
{
    widget<QPushButton>(name)->click();
    QVERIFY2(!QApplication::overrideCursor(), name);
    QVERIFY2(!m_boxes->cursorOverBox, name);
}

void TestMainWindow::select(const QString& textEnd)
{
    QComboBox* selector = combo("comboBox_4");
    for (int i = 0; i < selector->count(); ++i) {
        if (selector->itemText(i).endsWith(textEnd)) {
            selector->setCurrentIndex(i);
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no selector text ends in ") + textEnd));
}

void TestMainWindow::freshWindow()
{
    QCOMPARE(combo("comboBox_4")->count(), 0);
    QVERIFY(!widget<QLineEdit>("lineEdit")->isEnabled());
    QVERIFY(widget<QLineEdit>("lineEdit")->text().isEmpty());
    QVERIFY(widget<QLineEdit>("lineEdit_2")->text().isEmpty());
    for (const char* name : {"comboBox", "comboBox_2", "comboBox_3"}) {
        QCOMPARE(combo(name)->currentIndex(), 0);
        QCOMPARE(combo(name)->styleSheet(),
                 QStringLiteral("QComboBOX QAbstractItemView {background-color:white;}"));
    }
    for (QRadioButton* radio : m_window->findChildren<QRadioButton*>())
        QVERIFY2(!radio->isChecked(), qPrintable(radio->objectName()));
    QGraphicsScene* scene = widget<QGraphicsView>("graphicsView")->scene();
    QVERIFY(scene);
    QCOMPARE(scene->parent(), m_window.get());
}

void TestMainWindow::emptySelectorAsksForPrinter_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("get settings") << "pushButton";
    QTest::newRow("set settings") << "pushButton_2";
    QTest::newRow("firmware date") << "pushButton_3";
    QTest::newRow("self-test") << "pushButton_10";
}

// The selector stays empty until Refresh, even with a printer attached: nothing is sent.
void TestMainWindow::emptySelectorAsksForPrinter()
{
    QFETCH(QString, button);
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1");

    click(qPrintable(button));

    QCOMPARE(m_boxes->texts, QStringList{ConnectFirst});
    QCOMPARE(m_boxes->titles, QStringList{QStringLiteral("设置工具")});
    QCOMPARE(printer->received().size(), 0);
}

void TestMainWindow::refreshListsAttachedPrinters_data()
{
    QTest::addColumn<QList<QByteArray>>("products");
    QTest::addColumn<QStringList>("sysfsNames");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("none") << QList<QByteArray>{} << QStringList{} << QStringList{};
    QTest::newRow("one") << QList<QByteArray>{"RP80 Printer"} << QStringList{"1-3"}
                         << QStringList{"RP80 Printer USB003"};
    QTest::newRow("two") << QList<QByteArray>{"RP80 Printer", "RP58 Kitchen"}
                         << QStringList{"1-1", "1-2"}
                         << QStringList{"RP80 Printer USB001", "RP58 Kitchen USB002"};
}

void TestMainWindow::refreshListsAttachedPrinters()
{
    QFETCH(QList<QByteArray>, products);
    QFETCH(QStringList, sysfsNames);
    QFETCH(QStringList, expected);
    for (int i = 0; i < products.size(); ++i)
        plug(products[i], sysfsNames[i]);

    refresh();

    QComboBox* selector = combo("comboBox_4");
    QStringList shown;
    for (int i = 0; i < selector->count(); ++i)
        shown << selector->itemText(i);
    QStringList sortedShown = shown;
    sortedShown.sort();
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(sortedShown, sortedExpected);
    // The selector keeps the discovery order and shows its first entry.
    QCOMPARE(shown, GetPrinterList());
    QCOMPARE(selector->currentIndex(), expected.isEmpty() ? -1 : 0);
    QVERIFY(m_boxes->texts.isEmpty());
}

void TestMainWindow::refreshAfterPlugging()
{
    refresh();
    QCOMPARE(combo("comboBox_4")->count(), 0);

    plug("RP80 Printer", "1-4");
    refresh();
    QCOMPARE(combo("comboBox_4")->count(), 1);
    QCOMPARE(combo("comboBox_4")->currentText(), QStringLiteral("RP80 Printer USB004"));

    // A second Refresh replaces the list rather than adding to it.
    refresh();
    QCOMPARE(combo("comboBox_4")->count(), 1);
}

void TestMainWindow::selectorTextAddressesPort_data()
{
    QTest::addColumn<QString>("textEnd");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("logged");
    QTest::newRow("port 1") << "USB001" << 0 << "temp_data = 001";
    QTest::newRow("port 12") << "USB0012" << 1 << "temp_data = 012";
    QTest::newRow("port 123") << "USB00123" << 2 << "temp_data = 123";
}

// Three printers whose selector texts differ in length: only the chosen port is addressed.
void TestMainWindow::selectorTextAddressesPort()
{
    QFETCH(QString, textEnd);
    QFETCH(int, index);
    QFETCH(QString, logged);
    const QList<sim::SimPrinter*> printers = {plug("Front Desk", "1-1"), plug("Kitchen", "1-12"),
                                              plug("Bar", "1-123")};
    refresh();
    select(textEnd);

    click("pushButton");

    QCOMPARE(m_boxes->texts, QStringList{Retrieved});
    QVERIFY(m_log->contains(QtDebugMsg, logged));
    for (int i = 0; i < printers.size(); ++i)
        QCOMPARE(printers[i]->received().size(), i == index ? 3 : 0);
}

void TestMainWindow::unpluggedAfterRefresh_data()
{
    emptySelectorAsksForPrinter_data();
}

void TestMainWindow::unpluggedAfterRefresh()
{
    QFETCH(QString, button);
    sim::SimPrinter* gone = plug("RP80 Printer", "1-1");
    sim::SimPrinter* other = plug("RP58 Kitchen", "1-2");
    refresh();
    select("USB001");
    sim::SimBus::instance().unplug(gone);

    click(qPrintable(button));

    QCOMPARE(m_boxes->texts, QStringList{CheckUsb});
    QCOMPARE(other->received().size(), 0);
}

void TestMainWindow::getShowsPrinterSettings()
{
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1", stateWith(1, 2, 3));
    refresh();

    click("pushButton");

    QCOMPARE(combo("comboBox")->currentText(), QStringLiteral("正常"));
    QCOMPARE(combo("comboBox_2")->currentText(), QStringLiteral("较浓"));
    QCOMPARE(combo("comboBox_3")->currentText(), QStringLiteral("声光报警"));
    QCOMPARE(m_boxes->texts, QStringList{Retrieved});
    QCOMPARE(framesHex(printer->received()),
             framesHex({hex("1BFFFE0200001BFEFF"), hex("1BFFFE0213001BFEFF"),
                        hex("1BFFFE0240001BFEFF")}));
}

void TestMainWindow::getValueBeyondItems_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("density");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QList<int>>("indexes");
    QTest::newRow("speed 3") << 3 << 1 << 1 << QList<int>{-1, 1, 1};
    QTest::newRow("density 255") << 2 << 255 << 0 << QList<int>{2, -1, 0};
    QTest::newRow("alarm 5") << 1 << 2 << 5 << QList<int>{1, 2, -1};
}

// A value the form has no item for is passed to the box, which then shows nothing; the read
// itself succeeded.
void TestMainWindow::getValueBeyondItems()
{
    QFETCH(int, speed);
    QFETCH(int, density);
    QFETCH(int, alarm);
    QFETCH(QList<int>, indexes);
    plug("RP80 Printer", "1-1", stateWith(speed, density, alarm));
    refresh();

    click("pushButton");

    const char* boxes[] = {"comboBox", "comboBox_2", "comboBox_3"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(combo(boxes[i])->currentIndex(), indexes[i]);
        if (indexes[i] < 0)
            QVERIFY(combo(boxes[i])->currentText().isEmpty());
    }
    QCOMPARE(m_boxes->texts, QStringList{Retrieved});

    // Set refuses rather than sending FF for the box that shows nothing.
    sim::SimPrinter* printer = sim::SimBus::instance().printers().first();
    printer->clearReceived();
    m_boxes->clear();
    click("pushButton_2");
    QCOMPARE(m_boxes->texts, QStringList{QStringLiteral("请为速度、浓度和声光报警各选一项")});
    QVERIFY(printer->received().isEmpty());
}

void TestMainWindow::setWritesThreeFrames()
{
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1", stateWith(1, 1, 0));
    refresh();
    combo("comboBox")->setCurrentText(QStringLiteral("较快"));
    combo("comboBox_2")->setCurrentText(QStringLiteral("较淡"));
    combo("comboBox_3")->setCurrentText(QStringLiteral("仅光报警"));

    click("pushButton_2");

    QCOMPARE(framesHex(printer->received()),
             framesHex({hex("1BFFFE010001021BFEFF"), hex("1BFFFE011301001BFEFF"),
                        hex("1BFFFE014001021BFEFF")}));
    QCOMPARE(m_boxes->texts, QStringList{SetDone});
    const sim::PrinterState state = printer->state();
    QCOMPARE(int(state.speed), 2);
    QCOMPARE(int(state.density), 0);
    QCOMPARE(int(state.alarm), 2);
}

void TestMainWindow::failedCommandReportsFailure_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<sim::Fault>("fault");
    QTest::addColumn<int>("faultArg");

    // Refused opens and partial writes used to be reported as success.
    const struct
    {
        const char* name;
        const char* button;
    } commands[] = {{"get", "pushButton"}, {"set", "pushButton_2"}, {"self-test", "pushButton_10"}};
    for (const auto& command : commands) {
        QTest::addRow("%s, open refused", command.name)
            << command.button << sim::Fault::OpenRefused << 0;
        QTest::addRow("%s, write stalls", command.name)
            << command.button << sim::Fault::WriteError << 0;
        QTest::addRow("%s, partial write", command.name)
            << command.button << sim::Fault::PartialWrite << 4;
        QTest::addRow("%s, gone after discovery", command.name)
            << command.button << sim::Fault::Gone << 0;
    }
}

void TestMainWindow::failedCommandReportsFailure()
{
    QFETCH(QString, button);
    QFETCH(sim::Fault, fault);
    QFETCH(int, faultArg);
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1", stateWith(1, 2, 3));
    refresh();
    printer->setFault(fault, faultArg);

    click(qPrintable(button));

    QCOMPARE(m_boxes->texts, QStringList{CheckUsb});
    QCOMPARE(printer->selfTests(), 0);
}

void TestMainWindow::oneFailedExchangeFailsTheCommand_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("failAt");
    QTest::addColumn<QString>("recoverAt");
    QTest::addColumn<QList<int>>("expected");

    // Each exchange logs a line before it starts; the printer's writes stall from failAt until
    // recoverAt. Get: the window starts at 0, 0, 0 and the printer holds 1, 2, 3.
    QTest::newRow("get, speed fails") << "pushButton"
                                      << "rrrrr 00"
                                      << "rrrrr 13" << QList<int>{0, 2, 3};
    QTest::newRow("get, density fails") << "pushButton"
                                        << "rrrrr 13"
                                        << "rrrrr 40" << QList<int>{1, 0, 3};
    QTest::newRow("get, alarm fails") << "pushButton"
                                      << "rrrrr 40"
                                      << "" << QList<int>{1, 2, 0};
    // Set: the printer holds 1, 2, 3 and the window asks for 2, 0, 2.
    QTest::newRow("set, speed fails") << "pushButton_2"
                                      << "SPEED"
                                      << "Densty" << QList<int>{1, 0, 2};
    QTest::newRow("set, density fails") << "pushButton_2"
                                        << "Densty"
                                        << "SOUND" << QList<int>{2, 2, 2};
    QTest::newRow("set, alarm fails") << "pushButton_2"
                                      << "SOUND"
                                      << "" << QList<int>{2, 0, 3};
}

// Any one failed exchange makes the whole command a failure, and never stops the others.
void TestMainWindow::oneFailedExchangeFailsTheCommand()
{
    QFETCH(QString, button);
    QFETCH(QString, failAt);
    QFETCH(QString, recoverAt);
    QFETCH(QList<int>, expected);
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1", stateWith(1, 2, 3));
    refresh();
    const bool isSet = button == QLatin1String("pushButton_2");
    if (isSet) {
        combo("comboBox")->setCurrentIndex(2);
        combo("comboBox_2")->setCurrentIndex(0);
        combo("comboBox_3")->setCurrentIndex(2);
    }
    m_log->onFirst(failAt, [printer] { printer->setFault(sim::Fault::WriteError); });
    if (!recoverAt.isEmpty())
        m_log->onFirst(recoverAt, [printer] { printer->setFault(sim::Fault::None); });

    click(qPrintable(button));

    QCOMPARE(m_boxes->texts, QStringList{CheckUsb});
    QList<int> actual;
    if (isSet) {
        const sim::PrinterState state = printer->state();
        actual = {state.speed, state.density, state.alarm};
        QCOMPARE(printer->received().size(), 2);
    } else {
        actual = {combo("comboBox")->currentIndex(), combo("comboBox_2")->currentIndex(),
                  combo("comboBox_3")->currentIndex()};
    }
    QCOMPARE(actual, expected);
}

void TestMainWindow::firmwareDate_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ten characters") << QByteArray("2023-05-18") << "2023-05-18";
    QTest::newRow("zero in the middle") << QByteArray("2023\0-05-18", 11) << "2023";
    QTest::newRow("zero first") << QByteArray("\0"
                                              "2023",
                                              5)
                                << "";
    QTest::newRow("empty payload") << QByteArray() << "";
    QTest::newRow("UTF-8 text") << QByteArray("固件 2024-01") << QStringLiteral("固件 2024-01");
    QTest::newRow("255 bytes") << QByteArray(255, 'x') << QString(255, QLatin1Char('x'));
}

void TestMainWindow::firmwareDate()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, shown);
    sim::PrinterState state = sim::defaultState();
    state.firmwareDate = payload;
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1", state);
    refresh();
    widget<QLineEdit>("lineEdit")->setText(QStringLiteral("old"));

    click("pushButton_3");

    QCOMPARE(widget<QLineEdit>("lineEdit")->text(), shown);
    QCOMPARE(framesHex(printer->received()), framesHex({hex("1BFFFE0004001BFEFF")}));
    QVERIFY(m_boxes->texts.isEmpty());
}

void TestMainWindow::firmwareKeptOnFailure()
{
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1");
    refresh();
    click("pushButton_3");
    QCOMPARE(widget<QLineEdit>("lineEdit")->text(), QStringLiteral("2023-05-18"));

    printer->setFault(sim::Fault::WriteError);
    click("pushButton_3");

    QCOMPARE(widget<QLineEdit>("lineEdit")->text(), QStringLiteral("2023-05-18"));
    QVERIFY(m_boxes->texts.isEmpty());
}

void TestMainWindow::selfTest()
{
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1");
    refresh();

    click("pushButton_10");

    QCOMPARE(framesHex(printer->received()), framesHex({hex("1BFFFE0000001BFEFF")}));
    QCOMPARE(printer->selfTests(), 1);
    QCOMPARE(m_boxes->texts, QStringList{SetDone});
}

void TestMainWindow::waitCursorWhileTalking_data()
{
    emptySelectorAsksForPrinter_data();
}

// Every exchange logs; each of those lines must have been written under the wait cursor.
void TestMainWindow::waitCursorWhileTalking()
{
    QFETCH(QString, button);
    plug("RP80 Printer", "1-1");
    refresh();
    m_log->lines.clear();

    click(qPrintable(button));

    int logged = 0;
    for (const LogWatcher::Line& line : m_log->lines) {
        if (line.type != QtDebugMsg)
            continue;
        QVERIFY2(line.waitCursor, qPrintable(line.text));
        ++logged;
    }
    QVERIFY(logged > 0);
}

// A record not given back keeps libusb's context, and with it its descriptors, open. Faults that
// take the device node away are left out: the simulated bus keeps a connection for each refused
// open, and too many of those end the process.
void TestMainWindow::recordReleasedOnEveryPath()
{
    sim::SimPrinter* printer = plug("RP80 Printer", "1-1", stateWith(1, 2, 3));
    const char* buttons[] = {"pushButton", "pushButton_2", "pushButton_3", "pushButton_10"};
    auto everyPath = [&] {
        refresh();
        for (sim::Fault fault : {sim::Fault::None, sim::Fault::WriteError, sim::Fault::PartialWrite,
                                 sim::Fault::ShortReply, sim::Fault::KernelDriver}) {
            printer->setFault(fault, 2);
            for (const char* button : buttons)
                click(button);
        }
        printer->setFault(sim::Fault::None);
        // The selection check's own failure: a port on which nothing sits any more.
        combo("comboBox_4")->setItemText(0, QStringLiteral("RP80 Printer USB009"));
        for (const char* button : buttons)
            click(button);
    };
    everyPath();
    const int before = usbDescriptors();

    for (int round = 0; round < 5; ++round)
        everyPath();

    QCOMPARE(usbDescriptors(), before);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
