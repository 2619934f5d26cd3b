#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct libusb_context;
struct libusb_device;
struct _PrinterHandle;

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

// One enumeration of the bus on a context of its own, for a command that reaches many printers:
// listing each again would cost every printer the whole bus (libusb_init lists every device).
// Empty, with a warning logged, when libusb cannot start.
class PrinterBus
{
public:
    PrinterBus();
    ~PrinterBus();
    PrinterBus(const PrinterBus&) = delete;
    PrinterBus& operator=(const PrinterBus&) = delete;

    // The attached printers of PRINTER_VENDOR_ID, in libusb's list order. Printers whose open
    // fails for another reason are left out.
    QList<AttachedPrinter> printers(Listing listing = Listing::Usable) const;
    // GetPrinterHandleByPath from this list: the record borrows the bus's context, so the bus
    // must outlive it.
    int find(const QString& path, _PrinterHandle* handle) const;

private:
    friend QStringList printerPathsOnPort(int port);
    // Calls visitor(device, descriptor) for every device of the vendor.
    template <typename Visit> void visit(Visit visitor) const;

    libusb_context* m_context = nullptr;
    libusb_device** m_devices = nullptr;
    int m_count = 0;
};

// PrinterBus().printers(listing): the bus enumerated for this list alone.
QList<AttachedPrinter> listPrinters(Listing listing = Listing::Usable);

// The bus paths of the attached printers of the vendor (usable or not) on a port number; more
// than one means the port number does not name a printer.
QStringList printerPathsOnPort(int port);

// One selector text per usable printer, in libusb's list order: product string, " USB00", port.
QStringList GetPrinterList();

// The path of a device as AttachedPrinter::path gives it.
QString busPath(libusb_device* device);

// The selector text of a printer; its last three characters carry the port number.
QString selectorText(const QByteArray& product, int port);
// The port number read back from the last three characters of a selector text (0 if not a number).
int selectorPort(const QString& text);
