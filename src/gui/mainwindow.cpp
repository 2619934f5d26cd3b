#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "link/statusquery.h"
#include "messagebox.h"
#include "net_set.h"
#include "settings/printerio.h"
#include "settingscommand.h"
#include "textfit.h"
#include "usb/cdeviceioopera.h"
#include "usb/printerlist.h"
#include "usb/query.h"
#include "usb/usblink.h"
#include "wifi.h"

#include <QAbstractItemView>
#include <QGraphicsScene>
#include <QScrollBar>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    const QString popupStyle =
        QStringLiteral("QComboBOX QAbstractItemView {background-color:white;}");
    ui->comboBox->setStyleSheet(popupStyle);
    ui->comboBox_2->setStyleSheet(popupStyle);
    ui->comboBox_3->setStyleSheet(popupStyle);

    ui->lineEdit->setEnabled(false);
    ui->comboBox_4->clear();

    previewScene = new QGraphicsScene(this);
    ui->graphicsView->setScene(previewScene);

    elideCurrentText(ui->comboBox_4);
    // Stored logos are numbered up to 255.
    keepTextFitting(this, {{ui->lineEdit_2, QStringLiteral("255")}});
}

MainWindow::~MainWindow()
{
    // Settings windows have no parent, so that closing this window leaves them running; one
    // still open when the window itself goes would otherwise never be freed.
    delete netWindow;
    delete wifiWindow;
    delete ui;
}

void MainWindow::printer_list()
{
    bool refused = false;
    {
        WaitCursor busy;
        ui->comboBox_4->clear();
        // The form's selector is narrower than a long product string, and the port number that
        // tells two printers apart is at the end: give the whole name as a tooltip and in a wider
        // list.
        for (const AttachedPrinter& printer : listPrinters(Listing::WithRefused)) {
            if (printer.access != AttachedPrinter::Access::Ok) {
                refused = true;
                continue;
            }
            ui->comboBox_4->addItem(printer.text);
            ui->comboBox_4->setItemData(ui->comboBox_4->count() - 1, printer.text, Qt::ToolTipRole);
        }
        QAbstractItemView* list = ui->comboBox_4->view();
        list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() +
                              list->verticalScrollBar()->sizeHint().width());
    }
    // A printer the user may not open would otherwise just be missing, like a cable fault.
    if (refused)
        showMessage(this, QObject::tr("没有权限访问打印机，请安装udev规则后重新插拔打印机"));
}

void MainWindow::on_pushButton_7_clicked()
{
    printer_list();
}

std::unique_ptr<UsbLink> MainWindow::selectPrinter(int& port)
{
    const QString text = ui->comboBox_4->currentText();
    if (text.isEmpty()) {
        showMessage(this, QObject::tr("请先连接打印机"));
        return nullptr;
    }
    qDebug("temp_data = %s", text.right(3).toUtf8().constData());
    port = selectorPort(text);
    if (refuseSharedPort(this, port))
        return nullptr;
    // The port is looked up afresh: the printer may have been unplugged or replaced since Refresh.
    Outcome found;
    std::unique_ptr<UsbLink> link = UsbLink::open(PrinterAddress::usbPort(port), found);
    if (!link)
        showMessage(this, usbMessage(), failureText(found.failure));
    return link;
}

void MainWindow::runPrinterCommand(const QString& success,
                                   const std::function<int(PPrinterHandle)>& operation)
{
    WaitCursor busy;
    int port = 0;
    const std::unique_ptr<UsbLink> link = selectPrinter(port);
    if (!link)
        return;
    const int result = operation(link->record());
    if (result != 0 && result != InputRefused)
        showMessage(this, usbMessage(), failureText(link->record()->first));
    else if (result == 0 && !success.isEmpty())
        showMessage(this, success);
}

int MainWindow::printer_set(_PrinterHandle* handle)
{
    ItemFailures failed;
    UsbLink link(handle);
    const PrinterSettings s = readSettings(link, ItemSpeed | ItemDensity | ItemAlarm, failed);
    // A value beyond the last item is passed on as it is: the box then shows no item rather
    // than a wrong one.
    if (s.speed)
        ui->comboBox->setCurrentIndex(*s.speed);
    if (s.density)
        ui->comboBox_2->setCurrentIndex(*s.density);
    if (s.alarm)
        ui->comboBox_3->setCurrentIndex(*s.alarm);
    return firstCode(failed);
}

int MainWindow::sendPrintSetting(PPrinterHandle handle, SettingsItem item, const char* logName)
{
    // The wire value of each print setting is its box's item index.
    PrinterSettings s;
    s.speed = std::uint8_t(ui->comboBox->currentIndex() & 0xFF);
    s.density = std::uint8_t(ui->comboBox_2->currentIndex() & 0xFF);
    s.alarm = std::uint8_t(ui->comboBox_3->currentIndex() & 0xFF);
    const QList<NamedFrame> frames = framesFor(onlyItems(s, item));
    for (const char byte : frames.first().frame)
        qDebug("%s  %02X", logName, unsigned(static_cast<unsigned char>(byte)));
    UsbLink link(handle);
    return firstCode(writeFrames(link, frames));
}

int MainWindow::Set_Send_SPEED_Instruction(_PrinterHandle* handle)
{
    return sendPrintSetting(handle, ItemSpeed, "SPEED");
}

int MainWindow::Set_Send_Densty_SETTING_Instruction(_PrinterHandle* handle)
{
    return sendPrintSetting(handle, ItemDensity, "Densty");
}

int MainWindow::Set_Send_SOUND_Instruction(_PrinterHandle* handle)
{
    return sendPrintSetting(handle, ItemAlarm, "SOUND");
}

void MainWindow::on_pushButton_clicked()
{
    runPrinterCommand(QObject::tr("获取成功"),
                      [this](PPrinterHandle handle) { return printer_set(handle); });
}

void MainWindow::on_pushButton_2_clicked()
{
    runPrinterCommand(QObject::tr("设置成功"), [this](PPrinterHandle handle) {
        // A box left showing no item by a read of an unknown value would go out as FF.
        if (ui->comboBox->currentIndex() < 0 || ui->comboBox_2->currentIndex() < 0 ||
            ui->comboBox_3->currentIndex() < 0) {
            showMessage(this, QObject::tr("请为速度、浓度和声光报警各选一项"));
            return InputRefused;
        }
        // All three are written whatever the earlier ones returned, so one failed setting does
        // not keep the others from the printer.
        const int speed = Set_Send_SPEED_Instruction(handle);
        const int density = Set_Send_Densty_SETTING_Instruction(handle);
        const int alarm = Set_Send_SOUND_Instruction(handle);
        return speed != 0 ? speed : density != 0 ? density : alarm;
    });
}

void MainWindow::on_pushButton_3_clicked()
{
    runPrinterCommand(QString(), [this](PPrinterHandle handle) {
        QByteArray reply;
        UsbLink link(handle);
        const ItemFailure read = readItem(link, itemSpec(ItemFirmware), reply);
        // The date shown may be another printer's: a failed read must not leave it there.
        if (!read.ok()) {
            ui->lineEdit->clear();
            return read.outcome.code;
        }
        // The data holds at most 255 bytes, so the zeros after it always end the text.
        const char* text = reply.constData();
        ui->lineEdit->setText(QString::fromLocal8Bit(text, int(qstrnlen(text, reply.size()))));
        return 0;
    });
}

void MainWindow::on_pushButton_10_clicked()
{
    runPrinterCommand(QObject::tr("设置成功"), [](PPrinterHandle handle) {
        return SetPrinterStatusButton(handle, SELF_TEST_PAGE);
    });
}

void MainWindow::on_actionPrinterStatus_triggered()
{
    WaitCursor busy;
    // A status left from another printer or an earlier read must not stand for this one.
    ui->statusBar->clearMessage();
    int port = 0;
    const std::unique_ptr<UsbLink> link = selectPrinter(port);
    if (!link)
        return;
    const QString printer = ui->comboBox_4->currentText();
    PrinterStatus status;
    const Outcome read = readPrinterStatus(*link, status);
    if (!read.ok()) {
        ui->statusBar->showMessage(QObject::tr("%1：%2").arg(printer, failureText(read.failure)));
        // The printer answered, so the cable is not what to look at.
        if (read.failure == Failure::NotAStatus)
            showMessage(this, failureText(read.failure));
        else
            showMessage(this, usbMessage(), failureText(read.failure));
        return;
    }
    ui->statusBar->showMessage(QObject::tr("%1：%2").arg(printer, status.summary()));
    const QStringList problems = status.problems();
    if (!problems.isEmpty())
        showMessage(this, QObject::tr("打印机报告：%1").arg(problems.join(QObject::tr("，"))));
}
