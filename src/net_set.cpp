#include "net_set.h"
#include "ui_net_set.h"

#include "messagebox.h"
#include "protocol/frame.h"
#include "protocol/network.h"
#include "protocol/query.h"
#include "usb/cdeviceioopera.h"

#include <QList>

std::optional<Address> readAddress(const QString& text)
{
    for (const AddressPart& part : addressParts(text)) {
        qDebug("Item: %s", part.text.toLocal8Bit().constData());
        qDebug("Int Value: %d", part.value);
    }
    return parseAddress(text);
}

void logFrameBytes(const QByteArray& frame)
{
    for (const char byte : frame)
        qDebug("%02X", unsigned(std::uint8_t(byte)));
}

QString settingsErrorText(SettingsError error)
{
    switch (error) {
    case SettingsError::None:
        break;
    case SettingsError::InvalidAddress:
        return QObject::tr("地址无效，每段应为0到255");
    case SettingsError::InvalidPort:
        return QObject::tr("端口无效，应为1到65535");
    case SettingsError::MissingApAddress:
        return QObject::tr("请填写AP_IP地址");
    case SettingsError::NameTooLong:
        return QObject::tr("wifi名称最长32字节");
    case SettingsError::PasswordLength:
        return QObject::tr("wifi密码应为8到63位");
    }
    return QString();
}

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
    ScopedPrinterHandle handle;
    printer_handle = handle.get();
    if (handle.open(printer_port) != 0) {
        printer_handle = nullptr;
        showMessage(this, QObject::tr("请确保打印机已通过usb进行连接"));
        return;
    }
    int result = 0;
    {
        WaitCursor wait;
        result = net_lnit(printer_handle);
    }
    showMessage(this, result == 0 ? QObject::tr("成功") : QObject::tr("打印机连接断开"));
    // The printer answered to its handle, so the user may write even after a failed read.
    ui->pushButton_2->setEnabled(true);
    printer_handle = nullptr;
}

void net_set::on_pushButton_2_clicked()
{
    const SettingsError error = checkInput();
    if (error != SettingsError::None) {
        showMessage(this, settingsErrorText(error));
        return;
    }
    ScopedPrinterHandle handle;
    printer_handle = handle.get();
    if (handle.open(printer_port) != 0) {
        printer_handle = nullptr;
        showMessage(this, QObject::tr("请确保打印机已通过usb进行连接"));
        return;
    }
    int ipResult = 0;
    int portResult = 0;
    {
        // Both frames always go out, the IP settings first: one failing must not keep the other
        // from the printer.
        WaitCursor wait;
        ipResult = Net_Set(printer_handle);
        portResult = Set_Send_PORT_MESSAGE_Instruction(printer_handle);
    }
    const bool written = ipResult == 0 && portResult == 0;
    showMessage(this, written ? QObject::tr("成功") : QObject::tr("打印机连接断开"));
    printer_handle = nullptr;
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
