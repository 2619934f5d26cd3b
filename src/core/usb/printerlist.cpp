#include "usb/printerlist.h"

#include "usb/printerhandle.h"

#include <libusb.h>

#include <cstdio>
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

QStringList GetPrinterList()
{
    QStringList texts;
    for (const AttachedPrinter& printer : listPrinters())
        texts << printer.text;
    return texts;
}

QList<AttachedPrinter> listPrinters()
{
    QList<AttachedPrinter> result;
    unsigned char name[256];
    std::memset(name, 0, sizeof name);

    libusb_init(nullptr);
    libusb_device** devs = nullptr;
    const ssize_t count = libusb_get_device_list(nullptr, &devs);
    if (count <= 0) {
        if (devs)
            libusb_free_device_list(devs, 1);
        libusb_exit(nullptr);
        return result;
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(devs[i], &desc) != 0)
            continue;
        if (desc.idVendor != PRINTER_VENDOR_ID)
            continue;
        libusb_device_handle* dev = nullptr;
        if (libusb_open(devs[i], &dev) != 0 || !dev) {
            std::fputs("Open Device Failed", stderr);
            continue;
        }
        // Cleared for every printer, so that one whose string cannot be read is listed with an
        // empty name rather than the previous printer's.
        std::memset(name, 0, sizeof name);
        libusb_get_string_descriptor_ascii(dev, desc.iProduct, name, sizeof name);
        name[sizeof name - 1] = 0;
        AttachedPrinter printer;
        printer.product = QByteArray(reinterpret_cast<const char*>(name));
        printer.port = std::uint8_t(libusb_get_port_number(devs[i]));
        printer.text = selectorText(printer.product, printer.port);
        result << printer;
        libusb_close(dev);
    }
    libusb_free_device_list(devs, 1);
    libusb_exit(nullptr);
    return result;
}
