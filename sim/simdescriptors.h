#pragma once

#include <QByteArray>

#include <cstdint>

namespace sim::usb {

constexpr int BusNumber = 1;
constexpr int RootHubDevnum = 1;
constexpr std::uint8_t ProductStringIndex = 2;
constexpr unsigned char BulkOut = 0x01;
constexpr unsigned char BulkIn = 0x81;
// The other interface of a composite printer: an HID interrupt IN, or a lone vendor bulk IN.
constexpr unsigned char OtherIn = 0x82;

// A second interface before the printer one, as composite printers have.
enum class Composite
{
    None,
    HidFirst,    // an HID interface with one interrupt endpoint
    VendorFirst, // a vendor interface with one bulk endpoint only
};
// The printer interface's number: 1 behind another interface, else 0.
inline int printerInterface(Composite composite)
{
    return composite == Composite::None ? 0 : 1;
}

QByteArray deviceDescriptor(int vendor, int product, int deviceClass, int iProduct);
// One configuration: the printer-class interface with bulk OUT 0x01 and bulk IN 0x81 of
// maxPacket bytes, after the other interface of a composite printer.
QByteArray printerConfiguration(int iInterface, int maxPacket, Composite composite);
QByteArray hubConfiguration();
QByteArray languagesDescriptor();
QByteArray stringDescriptor(const QByteArray& text);
// The testbed's record of a device on bus 1; only a device with a node can be opened.
// speed is sysfs's: 12 (full) or 480 (high) Mbit/s.
QByteArray sysfsRecord(const QByteArray& syspath, int devnum, const QByteArray& descriptors,
                       bool node, int speed = 480);

} // namespace sim::usb
