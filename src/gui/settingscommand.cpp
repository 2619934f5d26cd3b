#include "settingscommand.h"

#include "messagebox.h"
#include "protocol/network.h"
#include "usb/cdeviceioopera.h"

#include <QObject>

bool runSettingsCommand(QWidget* window, int port, _PrinterHandle*& current, SettingsError input,
                        const std::function<int(_PrinterHandle*)>& operation)
{
    if (input != SettingsError::None) {
        showMessage(window, settingsErrorText(input));
        return false;
    }
    ScopedPrinterHandle handle;
    if (handle.open(port) != 0) {
        showMessage(window, QObject::tr("请确保打印机已通过usb进行连接"));
        return false;
    }
    current = handle.get();
    int result = 0;
    {
        WaitCursor wait;
        result = operation(current);
    }
    showMessage(window, result == 0 ? QObject::tr("成功") : QObject::tr("打印机连接断开"));
    current = nullptr;
    return true;
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
