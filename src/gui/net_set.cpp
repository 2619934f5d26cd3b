#include "net_set.h"
#include "ui_net_set.h"

#include "messagebox.h"
#include "protocol/frame.h"
#include "settings/networkcheck.h"
#include "settings/settingserror.h"
#include "settings/validation.h"
#include "settingscommand.h"
#include "textfit.h"

#include <QDateTime>
#include <QList>

net_set::net_set(QWidget* parent) : QMainWindow(parent), ui(new Ui::net_set)
{
    ui->setupUi(this);
    setWindowTitle(applicationTitle());
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

SettingsError net_set::checkInput()
{
    if (const auto p = ethernetIpFromFields(ui->comboBox->currentIndex() == 0, ui->lineEdit->text(),
                                            ui->lineEdit_2->text(), ui->lineEdit_3->text(),
                                            pending.ethernetIp.emplace()))
        return p.error;
    return ethernetPortsFromFields(ui->lineEdit_4->text(), ui->lineEdit_5->text(),
                                   pending.ethernetPorts.emplace())
        .error;
}

int net_set::Net_Set(PPrinterHandle handle)
{
    const QList<QLineEdit*> fields = {ui->lineEdit, ui->lineEdit_2, ui->lineEdit_3};
    for (const QLineEdit* field : fields)
        qDebug("byte = %s", field->text().toLocal8Bit().constData());
    for (const QLineEdit* field : fields)
        logAddressParts(field->text());
    return writeItem(handle, pending, ItemEthernetIp, logFrameBytes);
}

int net_set::Set_Send_PORT_MESSAGE_Instruction(PPrinterHandle handle)
{
    qDebug("PORT_MESSAGE t mm: %d", int(pending.ethernetPorts->tcp));
    qDebug("PORT_MESSAGE u mm: %d", int(pending.ethernetPorts->udp));
    return writeItem(handle, pending, ItemEthernetPorts,
                     [](const QByteArray& frame) { qDebug("%s", toHex(frame).constData()); });
}

int net_set::net_lnit(PPrinterHandle handle)
{
    // A failed port read does not stop the IP read, but the Get is reported as failed.
    PrinterSettings s;
    const int portResult = readInto(handle, ItemEthernetPorts, s);
    if (s.ethernetPorts) {
        ui->lineEdit_4->setText(QString::number(s.ethernetPorts->tcp));
        ui->lineEdit_5->setText(QString::number(s.ethernetPorts->udp));
    }
    const int result = readInto(handle, ItemEthernetIp, s);
    if (result != 0)
        return result;

    ui->comboBox->setCurrentIndex(s.ethernetIp->dhcp ? 0 : 1);
    const QString ip = formatAddress(s.ethernetIp->ip);
    const QString mask = formatAddress(s.ethernetIp->mask);
    const QString gateway = formatAddress(s.ethernetIp->gateway);
    qDebug("ip %s", ip.toLocal8Bit().constData());
    qDebug("numString: %s", mask.toLocal8Bit().constData());
    qDebug("sumString: %s", gateway.toLocal8Bit().constData());
    ui->lineEdit->setText(ip);
    ui->lineEdit_2->setText(mask);
    ui->lineEdit_3->setText(gateway);
    return portResult;
}

namespace {

// What a till would find at the address: the printer's status, or why it found none; then
// whether this computer reaches that subnet without a router.
QString describeCheck(const AddressCheck& check)
{
    const QString address = check.target.address.toString();
    const QString found =
        check.answered()
            ? QObject::tr("打印机在 %1 应答：%2").arg(address, check.status.summary())
            : QObject::tr("%1：%2").arg(address, failureAfterLabel(check.outcome.failure));
    const QString subnet = check.localInterface.isEmpty()
                               ? QObject::tr("本机没有接口在此子网上，连接必须经过路由器")
                               : QObject::tr("本机的接口 %1 在此子网上").arg(check.localInterface);
    return found + QLatin1Char('\n') + subnet;
}

} // namespace

void net_set::on_checkAddressButton_clicked()
{
    if (ui->comboBox->currentIndex() == 0) {
        showMessage(this, QObject::tr("IP模式为DHCP，没有可检查的地址"));
        return;
    }
    // The address and port as a Set would send them: a field Set refuses is not tried either.
    if (const SettingsError input = checkInput(); input != SettingsError::None) {
        showMessage(this, settingsErrorText(input));
        return;
    }
    const NetworkTarget target =
        NetworkTarget::held(QStringLiteral("ethernet"), pending.ethernetIp->ip,
                            pending.ethernetIp->mask, pending.ethernetPorts->tcp);
    AddressCheck check;
    {
        WaitCursor wait;
        check = checkAddress(target, CheckBudget(), false, QDateTime::currentDateTime());
    }
    showMessage(this, describeCheck(check));
}
