#pragma once

// Before any Qt header: glib names a struct member "signals".
#include <umockdev.h>

#include "printerfields.h"
#include "simprinter.h"
#include "testsupport.h"
#include "usb/cdeviceioopera.h"
#include "usb/query.h"

#include <libusb.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

// What a TCP client of a printer served on loopback (SimPrinter::serve()) saw.
struct TcpExchange
{
    bool connected = false; // false: refused
    bool closed = false;    // the printer closed the connection
    QByteArray in;
};

// Connects to 127.0.0.1:port, nothing else, and sends out a byte at a time, as a stream may cut
// it anywhere; reads until want bytes came, the printer closed, or nothing came for quietMs.
inline TcpExchange tcpExchange(quint16 port, const QByteArray& out, int want, int quietMs = 300)
{
    TcpExchange r;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    r.connected = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    for (int i = 0; r.connected && i < out.size(); ++i)
        ::send(fd, out.constData() + i, 1, MSG_NOSIGNAL);
    pollfd p{fd, POLLIN, 0};
    char buffer[512];
    while (r.connected && r.in.size() < want && ::poll(&p, 1, quietMs) > 0) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        r.closed = n <= 0;
        if (r.closed)
            break;
        r.in.append(buffer, int(n));
    }
    ::close(fd);
    return r;
}

// Sends out to the printer on port 1 in one bulk transfer through libusb itself, so that bytes
// that are no command frame go as they are; reads until want bytes came or none for 300 ms.
inline QByteArray usbExchange(QByteArray out, int want)
{
    ScopedPrinterHandle printer;
    libusb_device_handle* h = nullptr;
    if (printer.open(1) != 0 || libusb_open(printer.get()->pHandle, &h) != 0)
        return "no printer";
    libusb_set_auto_detach_kernel_driver(h, 1);
    QByteArray in;
    unsigned char buffer[512];
    int n = 0;
    if (libusb_claim_interface(h, 0) == 0 &&
        libusb_bulk_transfer(h, usb::BulkOut, reinterpret_cast<unsigned char*>(out.data()),
                             out.size(), &n, 1000) == 0) {
        while (in.size() < want &&
               libusb_bulk_transfer(h, usb::BulkIn, buffer, sizeof buffer, &n, 300) == 0)
            in.append(reinterpret_cast<const char*>(buffer), n);
        libusb_release_interface(h, 0);
    }
    libusb_close(h);
    return in;
}

} // namespace simtest
