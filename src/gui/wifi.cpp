#include "wifi.h"
#include "ui_wifi.h"

#include "protocol/frame.h"
#include "settings/validation.h"
#include "settingscommand.h"
#include "textfit.h"

namespace {

// Station and access-point frames are logged the same way, data before and after framing, each
// with the password masked.
void logNetworkFrame(const QByteArray& frame)
{
    const QByteArray data = frame.mid(frame::HeaderSize, frame.size() - frame::EnvelopeSize);
    const auto command = std::uint8_t(frame.size() > 4 ? frame[4] : 0);
    const QByteArray logged = loggedBytes(data, command, 0).join(' ');
    qDebug("byte = %s", logged.constData());
    qDebug("byte = %s", logged.constData());
    logFrameBytes(frame);
}

} // namespace

wifi::wifi(QWidget* parent) : QMainWindow(parent), ui(new Ui::wifi)
{
    ui->setupUi(this);
    setWindowTitle(applicationTitle());
    ui->pushButton_2->setEnabled(false);
    ui->pushButton_4->setEnabled(false);
    keepTextFitting(this);
}

wifi::~wifi()
{
    delete ui;
}

void wifi::settinghandle(int port)
{
    printer_port = port;
}

void wifi::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

void wifi::on_pushButton_clicked()
{
    runSettingsCommand(this, printer_port, printer_handle, SettingsError::None,
                       [this](PPrinterHandle) { return wifi_message(); });
}

void wifi::on_pushButton_2_clicked()
{
    runSettingsCommand(this, printer_port, printer_handle, checkModeInput(),
                       [this](PPrinterHandle) { return wifi_set(); });
}

void wifi::on_pushButton_3_clicked()
{
    if (runSettingsCommand(this, printer_port, printer_handle, SettingsError::None,
                           [this](PPrinterHandle handle) { return IP_Init(handle); }))
        ui->pushButton_4->setEnabled(true);
}

void wifi::on_pushButton_4_clicked()
{
    runSettingsCommand(
        this, printer_port, printer_handle, checkIpInput(),
        [this](PPrinterHandle handle) { return Set_Send_IP_MESSAGE_Instruction(handle); });
}

SettingsError wifi::checkModeInput()
{
    if (ui->comboBox->currentIndex() == 1) {
        pending.wifiMode = WifiMode::AccessPoint;
        return accessPointFromFields(ui->lineEdit_3->text(), ui->lineEdit_4->text(),
                                     ui->lineEdit_5->text(), pending.accessPoint.emplace())
            .error;
    }
    pending.wifiMode = WifiMode::Station;
    pending.station = StationSettings{ui->lineEdit->text(), ui->lineEdit_2->text()};
    return validateStation(*pending.station).error;
}

SettingsError wifi::checkIpInput()
{
    // The DNS field is disabled while the printer takes its DNS server from DHCP.
    return wifiIpFromFields(ui->comboBox_2->currentIndex() == 1, ui->lineEdit_6->text(),
                            ui->lineEdit_7->text(), ui->lineEdit_8->text(), ui->lineEdit_9->text(),
                            ui->lineEdit_9->isEnabled(), pending.wifiIp.emplace())
        .error;
}

int wifi::wifi_message()
{
    PrinterSettings s;
    int result = readInto(printer_handle, ItemWifiMode, s);
    if (result == 0) {
        if (*s.wifiMode == WifiMode::Station) {
            ui->comboBox->setCurrentIndex(0);
            result = readInto(printer_handle, ItemStation, s);
            if (result == 0) {
                qDebug("passwordString: %s", SecretMask);
                qDebug("nameString: %s", s.station->name.toUtf8().constData());
                ui->lineEdit->setText(s.station->name);
                ui->lineEdit_2->setText(s.station->password);
                ui->lineEdit_3->clear();
                ui->lineEdit_4->clear();
                ui->lineEdit_5->clear();
            }
        } else {
            ui->comboBox->setCurrentIndex(1);
            result = readInto(printer_handle, ItemAccessPoint, s);
            if (result == 0) {
                const AccessPointSettings& ap = *s.accessPoint;
                qDebug("nameString: %s", ap.name.toUtf8().constData());
                qDebug("passwordString: %s", SecretMask);
                qDebug("ipString: %s", ap.address.toUtf8().constData());
                ui->lineEdit_3->setText(ap.name);
                ui->lineEdit_4->setText(ap.password);
                ui->lineEdit_5->setText(ap.address);
                ui->lineEdit->clear();
                ui->lineEdit_2->clear();
            }
        }
    }
    ui->pushButton_2->setEnabled(true);
    return result;
}

int wifi::wifi_set()
{
    // Both frames always go out, the mode first; either one failing fails the whole setting.
    const int modeResult = Set_Send_WIFI_MODE_Instruction(printer_handle);
    const int settingsResult = *pending.wifiMode == WifiMode::AccessPoint
                                   ? Set_Send_AP_MODE_Instruction(printer_handle)
                                   : Set_Send_CONNECT_AP_INFORMATION_Instruction(printer_handle);
    return modeResult != 0 ? modeResult : settingsResult;
}

int wifi::IP_Init(PPrinterHandle handle)
{
    PrinterSettings s;
    const int result = readInto(handle, ItemWifiIp, s);
    if (result != 0)
        return result;

    const WifiIp& settings = *s.wifiIp;
    const QString ip = formatAddress(settings.ip);
    const QString gateway = formatAddress(settings.gateway);
    const QString mask = formatAddress(settings.mask);
    ui->comboBox_2->setCurrentIndex(settings.dhcp ? 1 : 0);
    // Under DHCP the printer's DNS server comes from the network, so the field is not offered.
    ui->lineEdit_9->setEnabled(!settings.dhcp);
    const QString dns = formatAddress(settings.dns);
    qDebug("ip %s", ip.toLocal8Bit().constData());
    qDebug("numString: %s", gateway.toLocal8Bit().constData());
    qDebug("sumString: %s", mask.toLocal8Bit().constData());
    if (!settings.dhcp)
        qDebug("DNSString: %s", dns.toLocal8Bit().constData());
    ui->lineEdit_6->setText(ip);
    ui->lineEdit_7->setText(gateway);
    ui->lineEdit_8->setText(mask);
    if (!settings.dhcp)
        ui->lineEdit_9->setText(dns);
    return 0;
}

int wifi::Set_Send_WIFI_MODE_Instruction(PPrinterHandle handle)
{
    return writeItem(handle, pending, ItemWifiMode, logFrameBytes);
}

int wifi::Set_Send_AP_MODE_Instruction(PPrinterHandle handle)
{
    qDebug("ipString: %s", pending.accessPoint->address.toLocal8Bit().constData());
    return writeItem(handle, pending, ItemAccessPoint, logNetworkFrame);
}

int wifi::Set_Send_CONNECT_AP_INFORMATION_Instruction(PPrinterHandle handle)
{
    return writeItem(handle, pending, ItemStation, logNetworkFrame);
}

int wifi::Set_Send_IP_MESSAGE_Instruction(PPrinterHandle handle)
{
    const QList<QLineEdit*> fields = {ui->lineEdit_6, ui->lineEdit_7, ui->lineEdit_8,
                                      ui->lineEdit_9};
    for (const QLineEdit* field : fields)
        qDebug("byte = %s", field->text().toLocal8Bit().constData());
    for (const QLineEdit* field : fields)
        logAddressParts(field->text());
    return writeItem(handle, pending, ItemWifiIp, logFrameBytes);
}
