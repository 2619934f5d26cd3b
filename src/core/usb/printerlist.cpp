#include "usb/printerlist.h"

#include "usb/printerhandle.h"

#include <QtGlobal>

#include <libusb.h>

#include <cstring>

QString selectorText(const QByteArray& product, int port)
{
    const int end = product.indexOf('\0');
    const QByteArray name = end < 0 ? product : product.left(end);
    return QString::fromLatin1(name) + QStringLiteral(" USB00") +
           QString::number(unsigned(std::uint8_t(port)));
}

int selectorPort(const QString& text)
{
    return text.right(3).toInt();
}

QString busPath(libusb_device* device)
{
    std::uint8_t ports[7];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    QString path = QString::number(libusb_get_bus_number(device)) + QLatin1Char('-');
    for (int i = 0; i < depth; ++i)
        path += (i ? QStringLiteral(".") : QString()) + QString::number(ports[i]);
    // libusb's port list stops at a port numbered 0 (one the platform does not number).
    return depth > 0 ? path : path + QString::number(libusb_get_port_number(device));
}

QStringList GetPrinterList()
{
    QStringList texts;
    for (const AttachedPrinter& printer : listPrinters())
        texts << printer.text;
    return texts;
}

namespace {

// Visits every device of the vendor on a context of its own; false when libusb cannot start.
template <typename Visit> bool forEachPrinter(Visit visit)
{
    libusb_context* ctx = nullptr;
    const int rc = libusb_init(&ctx);
    if (rc != 0) {
        qWarning("libusb_init failed: %s", libusb_error_name(rc));
        return false;
    }
    libusb_device** devs = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &devs);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(devs[i], &desc) != 0) {
            qDebug("Get Device Descriptor Failed");
            continue;
        }
        if (desc.idVendor == PRINTER_VENDOR_ID)
            visit(devs[i], desc);
    }
    if (devs)
        libusb_free_device_list(devs, 1);
    libusb_exit(ctx);
    return true;
}

} // namespace

QList<AttachedPrinter> listPrinters(Listing listing)
{
    QList<AttachedPrinter> result;
    forEachPrinter([&](libusb_device* device, const libusb_device_descriptor& desc) {
        AttachedPrinter printer;
        printer.port = std::uint8_t(libusb_get_port_number(device));
        printer.path = busPath(device);
        libusb_device_handle* dev = nullptr;
        const int rc = libusb_open(device, &dev);
        if (rc != 0 || !dev) {
            qDebug("Open Device Failed");
            if (rc != LIBUSB_ERROR_ACCESS || listing != Listing::WithRefused)
                return;
            printer.access = AttachedPrinter::Access::NoPermission;
        } else {
            // Cleared for every printer, so that one whose string cannot be read is listed with
            // an empty name rather than the previous printer's.
            unsigned char name[256];
            std::memset(name, 0, sizeof name);
            libusb_get_string_descriptor_ascii(dev, desc.iProduct, name, sizeof name);
            name[sizeof name - 1] = 0;
            printer.product = QByteArray(reinterpret_cast<const char*>(name));
            libusb_close(dev);
        }
        printer.text = selectorText(printer.product, printer.port);
        result << printer;
    });
    return result;
}

QStringList printerPathsOnPort(int port)
{
    QStringList paths;
    forEachPrinter([&](libusb_device* device, const libusb_device_descriptor&) {
        if (int(std::uint8_t(libusb_get_port_number(device))) == port)
            paths << busPath(device);
    });
    return paths;
}
