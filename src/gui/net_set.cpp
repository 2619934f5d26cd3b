#include "net_set.h"
#include "ui_net_set.h"

#include "protocol/query.h"
#include "settings/printerio.h"
#include "settings/validation.h"
#include "settingscommand.h"
#include "textfit.h"
#include "usb/cdeviceioopera.h"

#include <QList>

net_set::net_set(QWidget* parent) : QMainWindow(parent), ui(new Ui::net_set)
{
    ui->setupUi(this);
    setWindowTitle(QObject::tr("票据机设置工具"));
    ui->pushButton_2->setEnabled(false);
    // The port fields have no mask to tell their longest value.
    keepTextFitting(this, {{ui->lineEdit_4, QStringLiteral("65535")},
                           {ui->lineEdit_5, QStringLiteral("65535")}});
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
    EthernetIp ip;
    EthernetPorts ports;
    if (const auto p = ethernetIpFromFields(ui->comboBox->currentIndex() == 0, ui->lineEdit->text(),
                                            ui->lineEdit_2->text(), ui->lineEdit_3->text(), ip))
        return p.error;
    return ethernetPortsFromFields(ui->lineEdit_4->text(), ui->lineEdit_5->text(), ports).error;
}

int net_set::Net_Set(PPrinterHandle handle)
{
    const QList<QLineEdit*> fields = {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3};
    for (const QLineEdit* field : fields)
        qDebug("byte = %s", field->text().toLocal8Bit().constData());
    for (const QLineEdit* field : fields)
        logAddressParts(field->text());

    EthernetIp settings;
    if (ethernetIpFromFields(ui->comboBox->currentIndex() == 0, ui->lineEdit->text(),
                             ui->lineEdit_2->text(), ui->lineEdit_3->text(), settings))
        return -1;
    const QByteArray frame = itemFrame(settings);
    const int result = sendFrame(handle, frame);
    logFrameBytes(frame);
    return result;
}

int net_set::Set_Send_PORT_MESSAGE_Instruction(PPrinterHandle handle)
{
    EthernetPorts ports;
    const bool valid =
        !ethernetPortsFromFields(ui->lineEdit_4->text(), ui->lineEdit_5->text(), ports);
    qDebug("PORT_MESSAGE t mm: %d", valid ? int(ports.tcp) : -1);
    qDebug("PORT_MESSAGE u mm: %d", valid ? int(ports.udp) : -1);
    if (!valid)
        return -1;

    const QByteArray frame = itemFrame(ports);
    qDebug("%s", toHex(frame).constData());
    return sendFrame(handle, frame);
}

int net_set::net_lnit(PPrinterHandle handle)
{
    // A failed port read does not stop the IP read, but the Get is reported as failed.
    QByteArray data;
    const int portResult = readItem(handle, PORT_MESSAGE, data);
    if (portResult == 0) {
        const EthernetPorts ports = decodeEthernetPorts(data);
        ui->lineEdit_4->setText(QString::number(ports.tcp));
        ui->lineEdit_5->setText(QString::number(ports.udp));
    }

    const int result = readItem(handle, NET_IP_MESSAGE, data);
    if (result != 0)
        return result;

    const EthernetIp settings = decodeEthernetIp(data);
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
    return portResult;
}
