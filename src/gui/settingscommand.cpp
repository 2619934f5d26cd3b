#include "settingscommand.h"

#include "messagebox.h"
#include "settings/printerio.h"
#include "settings/settingserror.h"
#include "usb/cdeviceioopera.h"
#include "usb/printerlist.h"

#include <QObject>

bool runSettingsCommand(QWidget* window, int port, _PrinterHandle*& current, SettingsError input,
                        const std::function<int(_PrinterHandle*)>& operation)
{
    if (input != SettingsError::None) {
        showMessage(window, settingsErrorText(input));
        return false;
    }
    if (refuseSharedPort(window, port))
        return false;
    ScopedPrinterHandle handle;
    if (handle.open(port) != 0) {
        showMessage(window, usbMessage());
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

bool refuseSharedPort(QWidget* window, int port)
{
    if (printerPathsOnPort(port).size() <= 1)
        return false;
    showMessage(window, QObject::tr("有多台打印机使用同一端口号，请只连接其中一台"));
    return true;
}

int readInto(_PrinterHandle* handle, SettingsItem item, PrinterSettings& settings)
{
    ItemFailures failed;
    readItems(handle, item, settings, failed);
    return firstCode(failed);
}

int writeItem(_PrinterHandle* handle, const PrinterSettings& settings, SettingsItem item,
              const std::function<void(const QByteArray&)>& log)
{
    const QList<NamedFrame> frames = framesFor(onlyItems(settings, item));
    for (const NamedFrame& f : frames)
        log(f.frame);
    return firstCode(writeFrames(handle, frames));
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
