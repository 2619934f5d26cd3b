#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "messagebox.h"
#include "net_set.h"
#include "protocol/query.h"
#include "settings/printerio.h"
#include "settingscommand.h"
#include "usb/cdeviceioopera.h"
#include "usb/printerlist.h"
#include "wifi.h"

#include <QAbstractItemView>
#include <QGraphicsScene>
#include <QScrollBar>

#include <initializer_list>

namespace {

// Speed, density and alarm share one shape: a set frame whose one payload byte is the
// box's item index, logged byte by byte under the setting's name.
int sendIndexSetting(_PrinterHandle* handle, SetInfoType item, int index, const char* logName)
{
    const QByteArray frame = printSettingFrame(item, std::uint8_t(index & 0xFF));
    for (char byte : frame)
        qDebug("%s  %02X", logName, unsigned(static_cast<unsigned char>(byte)));
    return sendFrame(handle, frame);
}

// The first failure of a sequence of exchanges, or 0 when all succeeded.
int firstFailure(std::initializer_list<int> results)
{
    for (int result : results)
        if (result != 0)
            return result;
    return 0;
}

} // namespace

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

bool MainWindow::selectPrinter(ScopedPrinterHandle& handle, int& port)
{
    const QString text = ui->comboBox_4->currentText();
    if (text.isEmpty()) {
        showMessage(this, QObject::tr("请先连接打印机"));
        return false;
    }
    qDebug("temp_data = %s", text.right(3).toUtf8().constData());
    port = selectorPort(text);
    if (refuseSharedPort(this, port))
        return false;
    // The port is looked up afresh: the printer may have been unplugged or replaced since Refresh.
    if (handle.open(port) != 0) {
        showMessage(this, QObject::tr("请确保打印机已通过usb进行连接"));
        return false;
    }
    return true;
}

int MainWindow::printer_set(_PrinterHandle* handle)
{
    QByteArray data;
    // A value beyond the last item is passed on as it is: the box then shows no item rather
    // than a wrong one.
    const int speed = readItem(handle, SPEED, data);
    if (speed == 0)
        ui->comboBox->setCurrentIndex(std::uint8_t(data[0]));
    const int density = readItem(handle, DENSITY_SETTING, data);
    if (density == 0)
        ui->comboBox_2->setCurrentIndex(std::uint8_t(data[0]));
    const int alarm = readItem(handle, SOUND, data);
    if (alarm == 0)
        ui->comboBox_3->setCurrentIndex(std::uint8_t(data[0]));
    return firstFailure({speed, density, alarm});
}

int MainWindow::Set_Send_SPEED_Instruction(_PrinterHandle* handle)
{
    return sendIndexSetting(handle, SPEED, ui->comboBox->currentIndex(), "SPEED");
}

int MainWindow::Set_Send_Densty_SETTING_Instruction(_PrinterHandle* handle)
{
    return sendIndexSetting(handle, DENSITY_SETTING, ui->comboBox_2->currentIndex(), "Densty");
}

int MainWindow::Set_Send_SOUND_Instruction(_PrinterHandle* handle)
{
    return sendIndexSetting(handle, SOUND, ui->comboBox_3->currentIndex(), "SOUND");
}

void MainWindow::on_pushButton_clicked()
{
    WaitCursor busy;
    ScopedPrinterHandle handle;
    int port = 0;
    if (!selectPrinter(handle, port))
        return;
    if (printer_set(handle.get()) == 0)
        showMessage(this, QObject::tr("获取成功"));
    else
        showMessage(this, QObject::tr("请确保打印机已通过usb进行连接"));
}

void MainWindow::on_pushButton_2_clicked()
{
    WaitCursor busy;
    ScopedPrinterHandle handle;
    int port = 0;
    if (!selectPrinter(handle, port))
        return;
    // A box left showing no item by a read of an unknown value would go out as FF.
    if (ui->comboBox->currentIndex() < 0 || ui->comboBox_2->currentIndex() < 0 ||
        ui->comboBox_3->currentIndex() < 0) {
        showMessage(this, QObject::tr("请为速度、浓度和声光报警各选一项"));
        return;
    }
    // All three are written whatever the earlier ones returned, so one failed setting does not
    // keep the others from the printer.
    const int speed = Set_Send_SPEED_Instruction(handle.get());
    const int density = Set_Send_Densty_SETTING_Instruction(handle.get());
    const int alarm = Set_Send_SOUND_Instruction(handle.get());
    if (firstFailure({speed, density, alarm}) == 0)
        showMessage(this, QObject::tr("设置成功"));
    else
        showMessage(this, QObject::tr("请确保打印机已通过usb进行连接"));
}

void MainWindow::on_pushButton_3_clicked()
{
    WaitCursor busy;
    ScopedPrinterHandle handle;
    int port = 0;
    if (!selectPrinter(handle, port))
        return;
    unsigned char buffer[QueryBufferSize] = {};
    // The date shown may be another printer's: a failed read must not leave it there.
    if (GetPrinterStatusInfo(handle.get(), FIRMWARE_DATE, buffer) != 0) {
        ui->lineEdit->clear();
        showMessage(this, QObject::tr("请确保打印机已通过usb进行连接"));
        return;
    }
    // The reply holds at most 255 bytes, so the zeros after it always end the text in the buffer.
    const char* text = reinterpret_cast<const char*>(buffer);
    ui->lineEdit->setText(QString::fromLocal8Bit(text, int(qstrnlen(text, QueryBufferSize))));
}

void MainWindow::on_pushButton_10_clicked()
{
    WaitCursor busy;
    ScopedPrinterHandle handle;
    int port = 0;
    if (!selectPrinter(handle, port))
        return;
    if (SetPrinterStatusButton(handle.get(), SELF_TEST_PAGE) == 0)
        showMessage(this, QObject::tr("设置成功"));
    else
        showMessage(this, QObject::tr("请确保打印机已通过usb进行连接"));
}
