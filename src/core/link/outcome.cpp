#include "link/outcome.h"

#include <QObject>

QString failureText(Failure failure)
{
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::Refused:
        return QObject::tr("输入无效，未发送任何内容");
    case Failure::UsbUnavailable:
        return QObject::tr("无法使用USB");
    case Failure::NoPrinter:
        return QObject::tr("未找到打印机");
    case Failure::AccessDenied:
        return QObject::tr("没有权限访问打印机。请安装udev规则，然后重新插拔打印机（见 README "
                           "的“Using a printer without root”一节）");
    case Failure::InUse:
        return QObject::tr("打印机被其他程序占用");
    case Failure::DriverNotDetached:
        return QObject::tr("打印机被系统驱动占用，无法释放");
    case Failure::OpenFailed:
        return QObject::tr("无法打开打印机");
    case Failure::NoEndpoint:
        return QObject::tr("打印机没有可用的打印接口");
    case Failure::ClaimFailed:
        return QObject::tr("无法占用打印机接口");
    case Failure::WriteFailed:
        return QObject::tr("发送失败，打印机未收到全部数据");
    case Failure::Timeout:
        return QObject::tr("打印机没有应答");
    case Failure::Stalled:
        return QObject::tr("打印机端点停止响应");
    case Failure::Gone:
        return QObject::tr("打印机已断开");
    case Failure::ReadFailed:
        return QObject::tr("读取应答失败");
    case Failure::MalformedReply:
        return QObject::tr("打印机的应答无效");
    case Failure::NotAStatus:
        return QObject::tr("有应答，但不是打印机状态");
    case Failure::ConnectionRefused:
        return QObject::tr("连接被拒绝");
    case Failure::NoRoute:
        return QObject::tr("没有到该地址的路由");
    case Failure::HostNotFound:
        return QObject::tr("找不到该主机");
    case Failure::ConnectionLost:
        return QObject::tr("连接已断开");
    case Failure::NetworkFailed:
        return QObject::tr("网络错误");
    }
    return QString();
}

QString outcomeText(const Outcome& outcome)
{
    const QString text = failureText(outcome.failure);
    return outcome.detail.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, outcome.detail);
}

QString failureAfterLabel(Failure failure)
{
    QString text = failureText(failure);
    // Only a capital followed by a small letter is a sentence's start; "USB" stays as it is.
    if (text.size() > 1 && text[0].isUpper() && text[1].isLower())
        text[0] = text[0].toLower();
    return text;
}
