#include "settingscommand.h"

#include "messagebox.h"
#include "settings/printerio.h"
#include "settings/settingserror.h"
#include "usb/cdeviceioopera.h"
#include "usb/printerlist.h"
#include "usb/usblink.h"

#include <QObject>

bool runSettingsCommand(QWidget* window, int port, PPrinterHandle& current, SettingsError input,
                        const std::function<int(PPrinterHandle)>& operation)
{
    if (input != SettingsError::None) {
        showMessage(window, settingsErrorText(input));
        return false;
    }
    if (refuseSharedPort(window, port))
        return false;
    Outcome found;
    const std::unique_ptr<UsbLink> link = UsbLink::open(PrinterAddress::usbPort(port), found);
    if (!link) {
        showMessage(window, usbMessage(), failureText(found.failure));
        return false;
    }
    current = link->record();
    int result = 0;
    {
        WaitCursor wait;
        result = operation(current);
    }
    if (result == 0)
        showMessage(window, QObject::tr("成功"));
    else
        showMessage(window, QObject::tr("打印机连接断开"), failureText(link->record()->first));
    current = nullptr;
    return true;
}

bool refuseSharedPort(QWidget* window, int port)
{
    if (printerPathsOnPort(port).size() <= 1)
        return false;
    showMessage(window, QObject::tr("有多台打印机使用同一端口号，请只连接其中一台"));
    return true;
}

int readInto(PPrinterHandle handle, SettingsItem item, PrinterSettings& settings)
{
    ItemFailures failed;
    UsbLink link(handle);
    readItems(link, item, settings, failed);
    return firstCode(failed);
}

int writeItem(PPrinterHandle handle, const PrinterSettings& settings, SettingsItem item,
              const std::function<void(const QByteArray&)>& log)
{
    const QList<NamedFrame> frames = framesFor(onlyItems(settings, item));
    for (const NamedFrame& f : frames)
        log(f.frame);
    UsbLink link(handle);
    return firstCode(writeFrames(link, frames));
}

void logAddressParts(const QString& text)
{
    for (const AddressPart& part : addressParts(text)) {
        qDebug("Item: %s", part.text.toLocal8Bit().constData());
        qDebug("Int Value: %d", part.value);
    }
}

void logFrameBytes(const QByteArray& frame)
{
    const std::uint8_t command = frame.size() > 4 ? std::uint8_t(frame[4]) : 0;
    for (const QByteArray& byte : loggedBytes(frame, command, frame::HeaderSize))
        qDebug("%s", byte.constData());
}
