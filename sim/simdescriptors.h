#pragma once

#include <QByteArray>

#include <cstdint>

namespace sim::usb {

constexpr int BusNumber = 1;
constexpr int RootHubDevnum = 1;
constexpr std::uint8_t ProductStringIndex = 2;
constexpr unsigned char BulkOut = 0x01;
constexpr unsigned char BulkIn = 0x81;

QByteArray deviceDescriptor(int vendor, int product, int deviceClass, int iProduct);
// One configuration, one printer-class interface, bulk OUT 0x01 and bulk IN 0x81.
QByteArray printerConfiguration(int iInterface);
QByteArray hubConfiguration();
QByteArray languagesDescriptor();
QByteArray stringDescriptor(const QByteArray& text);
// The testbed's record of a device on bus 1; only a device with a node can be opened.
QByteArray sysfsRecord(const QByteArray& syspath, int devnum, const QByteArray& descriptors,
                       bool node);

} // namespace sim::usb
