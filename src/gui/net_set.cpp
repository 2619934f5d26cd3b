#include "net_set.h"
#include "ui_net_set.h"

#include "protocol/frame.h"
#include "settings/settingserror.h"
#include "protocol/network.h"
#include "protocol/query.h"
#include "settingscommand.h"
#include "usb/cdeviceioopera.h"

#include <QList>

net_set::net_set(QWidget* parent) : QMainWindow(parent), ui(new Ui::net_set)
{
    ui->setupUi(this);
    setWindowTitle(QObject::tr("票据机设置工具"));
    ui->pushButton_2->setEnabled(false);
}

net_set::~net_set()
{
    delete ui;
}

void net_set::settinghandle(int port)
{
    printer_port = port;
}

void net_set::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

void net_set::on_pushButton_clicked()
{
    // The printer answered to its handle, so the user may write even after a failed read.
    if (runSettingsCommand(this, printer_port, printer_handle, SettingsError::None,
                           [this](PPrinterHandle handle) { return net_lnit(handle); }))
        ui->pushButton_2->setEnabled(true);
}

void net_set::on_pushButton_2_clicked()
{
    runSettingsCommand(this, printer_port, printer_handle, checkInput(),
                       [this](PPrinterHandle handle) {
                           // Both frames always go out, the IP settings first: one failing must not
                           // keep the other from the printer.
                           const int ipResult = Net_Set(handle);
                           const int portResult = Set_Send_PORT_MESSAGE_Instruction(handle);
                           return ipResult != 0 ? ipResult : portResult;
                       });
}

SettingsError net_set::checkInput() const
{
    for (const QLineEdit* field : {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3}) {
        if (!parseAddress(field->text()))
            return SettingsError::InvalidAddress;
    }
    for (const QLineEdit* field : {ui->lineEdit_4, ui->lineEdit_5}) {
        if (!parsePort(field->text()))
            return SettingsError::InvalidPort;
    }
    return SettingsError::None;
}

int net_set::Net_Set(PPrinterHandle handle)
{
    const QList<QLineEdit*> fields = {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3};
    for (const QLineEdit* field : fields)
        qDebug("byte = %s", field->text().toLocal8Bit().constData());

    const auto ip = readAddress(ui->lineEdit->text());
    const auto mask = readAddress(ui->lineEdit_2->text());
    const auto gateway = readAddress(ui->lineEdit_3->text());
    if (!ip || !mask || !gateway)
        return -1;

    EthernetIp settings;
    settings.dhcp = ui->comboBox->currentIndex() == 0;
    settings.ip = *ip;
    settings.mask = *mask;
    settings.gateway = *gateway;
    const QByteArray frame = buildSetFrame(NET_IP_MESSAGE, encodeEthernetIp(settings));
    const int result = sendFrame(handle, frame);
    logFrameBytes(frame);
    return result;
}

int net_set::Set_Send_PORT_MESSAGE_Instruction(PPrinterHandle handle)
{
    const auto tcp = parsePort(ui->lineEdit_4->text());
    const auto udp = parsePort(ui->lineEdit_5->text());
    qDebug("PORT_MESSAGE t mm: %d", tcp ? int(*tcp) : -1);
    qDebug("PORT_MESSAGE u mm: %d", udp ? int(*udp) : -1);
    if (!tcp || !udp)
        return -1;

    const QByteArray frame = buildSetFrame(PORT_MESSAGE, encodeEthernetPorts({*tcp, *udp}));
    qDebug("%s", toHex(frame).constData());
    return sendFrame(handle, frame);
}

int net_set::net_lnit(PPrinterHandle handle)
{
    unsigned char buffer[QueryBufferSize] = {};
    if (GetPrinterInfo(handle, PORT_MESSAGE, buffer) == 0) {
        const EthernetPorts ports =
            decodeEthernetPorts(QByteArray(reinterpret_cast<char*>(buffer), EthernetPortsSize));
        ui->lineEdit_4->setText(QString::number(ports.tcp));
        ui->lineEdit_5->setText(QString::number(ports.udp));
    }

    const int result = GetPrinterInfo(handle, NET_IP_MESSAGE, buffer);
    if (result != 0)
        return result;

    const EthernetIp settings =
        decodeEthernetIp(QByteArray(reinterpret_cast<char*>(buffer), EthernetIpSize));
    ui->comboBox->setCurrentIndex(settings.dhcp ? 0 : 1);
    const QString ip = formatAddress(settings.ip);
    const QString mask = formatAddress(settings.mask);
    const QString gateway = formatAddress(settings.gateway);
    qDebug("ip %s", ip.toLocal8Bit().constData());
    qDebug("numString: %s", mask.toLocal8Bit().constData());
    qDebug("sumString: %s", gateway.toLocal8Bit().constData());
    ui->lineEdit->setText(ip);
    ui->lineEdit_2->setText(mask);
    ui->lineEdit_3->setText(gateway);
    return 0;
}
