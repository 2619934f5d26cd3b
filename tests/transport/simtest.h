#pragma once

#include "protocol/frame.h"
#include "protocol/query.h"
#include "simprinter.h"
#include "usb/cdeviceioopera.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <libusb.h>
#include <umockdev.h>

// Helpers shared by the transport tests: printers on the simulated bus and hex diffs.
namespace simtest {

// The bus must exist before the first libusb_init, and the binary must run preloaded.
inline bool startBus()
{
    sim::SimBus::instance();
    return umockdev_in_mock_environment();
}

inline sim::PrinterConfig printer(const QString& sysfsName,
                                  const QByteArray& product = "RP80 Printer")
{
    sim::PrinterConfig config;
    config.sysfsName = sysfsName;
    config.product = product;
    return config;
}

inline sim::SimPrinter* attach(const QString& sysfsName, const QByteArray& product = "RP80 Printer")
{
    return sim::SimBus::instance().add(printer(sysfsName, product));
}

// The sysfs names of the devices of PRINTER_VENDOR_ID in libusb's own list order ("1-3.1"):
// the order the transport must keep, asked of libusb directly rather than assumed.
inline QStringList libusbOrder()
{
    QStringList names;
    libusb_context* ctx = nullptr;
    if (libusb_init(&ctx) != 0)
        return names;
    libusb_device** devs = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &devs);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(devs[i], &desc) != 0 || desc.idVendor != PRINTER_VENDOR_ID)
            continue;
        std::uint8_t ports[8];
        const int depth = libusb_get_port_numbers(devs[i], ports, sizeof ports);
        QStringList path;
        for (int p = 0; p < depth; ++p)
            path << QString::number(ports[p]);
        names << QString::number(libusb_get_bus_number(devs[i])) + QLatin1Char('-') +
                     path.join(QLatin1Char('.'));
    }
    if (devs)
        libusb_free_device_list(devs, 1);
    libusb_exit(ctx);
    return names;
}

inline QString hexList(const QList<QByteArray>& frames)
{
    QStringList parts;
    for (const QByteArray& f : frames)
        parts << QString::fromLatin1(toHex(f));
    return QLatin1Char('[') + parts.join(QStringLiteral("] [")) + QLatin1Char(']');
}

inline QString diff(const QByteArray& actual, const QByteArray& expected)
{
    return QStringLiteral("\n  actual:   %1\n  expected: %2")
        .arg(QString::fromLatin1(toHex(actual)), QString::fromLatin1(toHex(expected)));
}

} // namespace simtest

// Compares two byte strings and prints both as hex when they differ.
#define COMPARE_HEX(actual, expected)                                                              \
    do {                                                                                           \
        const QByteArray a_ = (actual);                                                            \
        const QByteArray e_ = (expected);                                                          \
        QVERIFY2(a_ == e_, qPrintable(simtest::diff(a_, e_)));                                     \
    } while (false)
