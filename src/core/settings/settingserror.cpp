#include "settings/settingserror.h"

#include <QObject>

QString settingsErrorText(SettingsError error)
{
    switch (error) {
    case SettingsError::None:
        break;
    case SettingsError::InvalidAddress:
        return QObject::tr("地址无效，每段应为0到255");
    case SettingsError::LeadingZero:
        return QObject::tr("地址的各段不能以0开头：010有的程序读作10，有的读作8");
    case SettingsError::InvalidPort:
        return QObject::tr("端口无效，应为1到65535");
    case SettingsError::MissingApAddress:
        return QObject::tr("请填写AP_IP地址");
    case SettingsError::NameTooLong:
        return QObject::tr("wifi名称最长32字节");
    case SettingsError::PasswordLength:
        return QObject::tr("wifi密码应为8到63位");
    case SettingsError::ControlCharacter:
        return QObject::tr("wifi名称和密码不能包含控制字符");
    case SettingsError::MissingName:
        return QObject::tr("请填写wifi名称");
    case SettingsError::StaticAddressMissing:
        return QObject::tr("静态IP模式下请填写IP地址和子网掩码");
    case SettingsError::PayloadTooLarge:
        return QObject::tr("数据超过255字节，未发送");
    case SettingsError::InvalidLogoNumber:
        return QObject::tr("请输入1到255之间的logo编号");
    case SettingsError::NoImages:
        return QObject::tr("请先选择图片");
    case SettingsError::TooManyImages:
        return QObject::tr("图片数量不能超过255张");
    case SettingsError::ImagesTooLarge:
        return QObject::tr("文件数据过大请重新选择图片");
    }
    return QString();
}

QString applicationTitle()
{
    return QObject::tr("票据机设置工具");
}

QString usbMessage()
{
    return QObject::tr("请确保打印机已通过usb进行连接");
}
