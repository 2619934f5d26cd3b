#pragma once

#include "protocol/frame.h"
#include "protocol/network.h"
#include "settings/settingserror.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// Everything a printer lets us read, each item present only when its read succeeded.
struct PrinterSettings
{
    std::optional<std::uint8_t> speed;
    std::optional<std::uint8_t> density;
    std::optional<std::uint8_t> alarm;
    std::optional<QString> firmware; // read only
    std::optional<EthernetIp> ethernetIp;
    std::optional<EthernetPorts> ethernetPorts;
    std::optional<WifiMode> wifiMode;
    std::optional<StationSettings> station;
    std::optional<AccessPointSettings> accessPoint;
    std::optional<WifiIp> wifiIp;
};

// The settings items, each one get frame and one set frame on the wire.
enum SettingsItem : unsigned
{
    ItemSpeed = 1u << 0,
    ItemDensity = 1u << 1,
    ItemAlarm = 1u << 2,
    ItemFirmware = 1u << 3,
    ItemEthernetIp = 1u << 4,
    ItemEthernetPorts = 1u << 5,
    ItemWifiMode = 1u << 6,
    ItemStation = 1u << 7,
    ItemAccessPoint = 1u << 8,
    ItemWifiIp = 1u << 9,
};

// The set frame that stores one item. An access point's address goes out in its one canonical
// form; an empty frame means the payload would not fit the length byte and nothing may be sent.
QByteArray printSettingFrame(SetInfoType item, std::uint8_t value);
QByteArray itemFrame(const EthernetIp& settings);
QByteArray itemFrame(const EthernetPorts& ports);
QByteArray itemFrame(WifiMode mode);
QByteArray itemFrame(const StationSettings& settings);
QByteArray itemFrame(const AccessPointSettings& settings);
QByteArray itemFrame(const WifiIp& settings);

struct NamedFrame
{
    QString item;
    QByteArray frame;
    unsigned id = 0; // the SettingsItem it stores; 0 for frames that store no item
};

// The set frames that store every item present in settings, in the order they are written.
QList<NamedFrame> framesFor(const PrinterSettings& settings);
