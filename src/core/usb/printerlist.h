#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct libusb_device;

struct AttachedPrinter
{
    enum class Access
    {
        Ok,
        NoPermission, // its open was refused (LIBUSB_ERROR_ACCESS): the udev rule is missing
    };
    QByteArray product; // empty when its string could not be read (always, without permission)
    int port = 0;       // 0 to 255
    QString text;       // the selector text
    QString path;       // bus number and the port numbers from the root hub, e.g. "1-2.1"
    Access access = Access::Ok;
};

enum class Listing
{
    Usable,      // the printers that could be opened
    WithRefused, // also those whose open was refused for lack of permission
};

// The attached printers of PRINTER_VENDOR_ID, in libusb's list order. Printers whose open fails
// for another reason are left out. Empty, with a warning logged, when libusb cannot start.
QList<AttachedPrinter> listPrinters(Listing listing = Listing::Usable);

// One selector text per usable printer, in libusb's list order: product string, " USB00", port.
QStringList GetPrinterList();

// The bus paths of the attached printers of the vendor (usable or not) on a port number; more
// than one means the port number does not name a printer.
QStringList printerPathsOnPort(int port);

// The path of a device as AttachedPrinter::path gives it.
QString busPath(libusb_device* device);

// The selector text of a printer; its last three characters carry the port number.
QString selectorText(const QByteArray& product, int port);
// The port number read back from the last three characters of a selector text (0 if not a number).
int selectorPort(const QString& text);
