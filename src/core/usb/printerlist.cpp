#include "usb/printerlist.h"

#include "usb/cdeviceioopera.h"
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

PrinterBus::PrinterBus()
{
    const int rc = libusb_init(&m_context);
    if (rc != 0) {
        qWarning("libusb_init failed: %s", libusb_error_name(rc));
        m_context = nullptr;
        return;
    }
    const ssize_t count = libusb_get_device_list(m_context, &m_devices);
    m_count = count > 0 ? int(count) : 0;
}

PrinterBus::~PrinterBus()
{
    if (m_devices)
        libusb_free_device_list(m_devices, 1);
    if (m_context)
        libusb_exit(m_context);
}

template <typename Visit> void PrinterBus::visit(Visit visitor) const
{
    for (int i = 0; i < m_count; ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(m_devices[i], &desc) != 0) {
            qDebug("Get Device Descriptor Failed");
            continue;
        }
        if (desc.idVendor == PRINTER_VENDOR_ID)
            visitor(m_devices[i], desc);
    }
}

int PrinterBus::find(const QString& path, _PrinterHandle* handle) const
{
    handle->failure = TransportFailure::None;
    if (!m_context) {
        handle->failure = handle->first = TransportFailure::UsbUnavailable;
        return TransportNoPrinter;
    }
    libusb_device* found = nullptr;
    visit([&](libusb_device* device, const libusb_device_descriptor& desc) {
        if (found || busPath(device) != path)
            return;
        found = device;
        handle->vendorId = desc.idVendor;
        handle->productId = desc.idProduct;
    });
    if (!found) {
        handle->failure = handle->first = TransportFailure::NoPrinter;
        return TransportNoPrinter;
    }
    // The record borrows the bus's context: ClosePrinterHandle gives back only the device.
    handle->pHandle = libusb_ref_device(found);
    handle->context = nullptr;
    return TransportOk;
}

QList<AttachedPrinter> listPrinters(Listing listing)
{
    return PrinterBus().printers(listing);
}

QList<AttachedPrinter> PrinterBus::printers(Listing listing) const
{
    QList<AttachedPrinter> result;
    visit([&](libusb_device* device, const libusb_device_descriptor& desc) {
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
    PrinterBus().visit([&](libusb_device* device, const libusb_device_descriptor&) {
        if (int(std::uint8_t(libusb_get_port_number(device))) == port)
            paths << busPath(device);
    });
    return paths;
}
