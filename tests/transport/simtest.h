#pragma once

// Before any Qt header: glib names a struct member "signals".
#include <umockdev.h>

#include "printerfields.h"
#include "simprinter.h"
#include "testsupport.h"
#include "usb/cdeviceioopera.h"
#include "usb/query.h"

#include <libusb.h>

#include "link/networklink.h"
#include "link/statusquery.h"
#include "usb/usblink.h"

#include <memory>

using namespace sim;
using namespace testsupport;

namespace simtest {

// The bus must exist before the first libusb_init, and the binary must run preloaded.
inline bool startBus()
{
    SimBus::instance();
    return umockdev_in_mock_environment();
}

// A printer described as the launcher's --printer takes it ("port=1,hub=2,fault=gone").
inline SimPrinter* attach(const QString& fields)
{
    PrinterConfig config;
    return parsePrinterFields(fields, 1, config, nullptr) ? SimBus::instance().add(config)
                                                          : nullptr;
}

// The sysfs names ("1-3.1") of the printers in libusb's own list order, which the transport
// keeps: asked of libusb rather than assumed.
inline QStringList libusbOrder()
{
    QStringList names;
    libusb_context* ctx = nullptr;
    libusb_device** devs = nullptr;
    if (libusb_init(&ctx) != 0)
        return names;
    for (ssize_t i = 0, n = libusb_get_device_list(ctx, &devs); i < n; ++i) {
        libusb_device_descriptor desc;
        std::uint8_t ports[8];
        const int depth = libusb_get_port_numbers(devs[i], ports, sizeof ports);
        if (libusb_get_device_descriptor(devs[i], &desc) != 0 || desc.idVendor != PRINTER_VENDOR_ID)
            continue;
        // libusb's path stops at a port numbered 0.
        QString name = QLatin1String(depth > 0 ? "1-" : "1-0");
        for (int p = 0; p < depth; ++p)
            name += (p ? "." : "") + QString::number(ports[p]);
        names << name;
    }
    libusb_free_device_list(devs, 1);
    libusb_exit(ctx);
    return names;
}

// One frame written to the printer on port as the windows send their commands; the result.
inline int send(int port, const QByteArray& frame)
{
    ScopedPrinterHandle handle;
    const int rc = handle.open(port);
    return rc != 0 ? rc : sendFrame(handle.get(), frame);
}

// A link to the printer: USB port 1, or its network side served on loopback (and nowhere else)
// at tcpPort.
inline std::unique_ptr<PrinterLink> openLink(bool network, quint16 tcpPort, Outcome& outcome)
{
    if (!network)
        return UsbLink::open(PrinterAddress::usbPort(1), outcome);
    return NetworkLink::open(PrinterAddress::network(QStringLiteral("127.0.0.1"), tcpPort), outcome,
                             1000);
}

} // namespace simtest
