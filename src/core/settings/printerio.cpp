#include "settings/printerio.h"

#include "protocol/frame.h"
#include "usb/query.h"

#include <algorithm>

int readItem(_PrinterHandle* handle, SetInfoType item, QByteArray& data)
{
    unsigned char buffer[QueryBufferSize];
    const int result = GetPrinterInfo(handle, item, buffer);
    if (result == 0)
        data = QByteArray(reinterpret_cast<const char*>(buffer), frame::MaxPayload + 1);
    return result;
}

PrinterSettings readSettings(_PrinterHandle* handle, unsigned items, QStringList& failed)
{
    PrinterSettings s;
    QByteArray data;
    const auto want = [&](SettingsItem item, SetInfoType command, const char* name) {
        if (!(items & item))
            return false;
        if (readItem(handle, command, data) == 0)
            return true;
        failed << QString::fromLatin1(name);
        return false;
    };
    if (want(ItemSpeed, SPEED, "speed"))
        s.speed = std::uint8_t(data[0]);
    if (want(ItemDensity, DENSITY_SETTING, "density"))
        s.density = std::uint8_t(data[0]);
    if (want(ItemAlarm, SOUND, "alarm"))
        s.alarm = std::uint8_t(data[0]);
    if (items & ItemFirmware) {
        unsigned char buffer[QueryBufferSize];
        if (GetPrinterStatusInfo(handle, FIRMWARE_DATE, buffer) == 0)
            s.firmware = QString::fromUtf8(reinterpret_cast<const char*>(buffer));
        else
            failed << QStringLiteral("firmware");
    }
    if (want(ItemEthernetIp, NET_IP_MESSAGE, "ethernet ip"))
        s.ethernetIp = decodeEthernetIp(data);
    if (want(ItemEthernetPorts, PORT_MESSAGE, "ethernet ports"))
        s.ethernetPorts = decodeEthernetPorts(data);
    if (want(ItemWifiMode, WIFI_MODE, "wifi mode"))
        s.wifiMode = decodeWifiMode(data);
    if (want(ItemStation, CONNECT_AP_INFORMATION, "wifi station"))
        s.station = decodeStation(data);
    if (want(ItemAccessPoint, AP_MODE, "wifi access point"))
        s.accessPoint = decodeAccessPoint(data);
    if (want(ItemWifiIp, IP_MESSAGE, "wifi ip"))
        s.wifiIp = decodeWifiIp(data);
    return s;
}

PrinterSettings onlyItems(PrinterSettings s, unsigned items)
{
    const auto keep = [items](SettingsItem item, auto& value) {
        if (!(items & item))
            value.reset();
    };
    keep(ItemSpeed, s.speed);
    keep(ItemDensity, s.density);
    keep(ItemAlarm, s.alarm);
    keep(ItemFirmware, s.firmware);
    keep(ItemEthernetIp, s.ethernetIp);
    keep(ItemEthernetPorts, s.ethernetPorts);
    keep(ItemWifiMode, s.wifiMode);
    keep(ItemStation, s.station);
    keep(ItemAccessPoint, s.accessPoint);
    keep(ItemWifiIp, s.wifiIp);
    return s;
}

unsigned differingItems(const PrinterSettings& wanted, const PrinterSettings& current)
{
    const QList<NamedFrame> held = framesFor(current);
    unsigned differing = 0;
    for (const NamedFrame& f : framesFor(wanted)) {
        const auto same = std::find_if(held.begin(), held.end(), [&](const NamedFrame& h) {
            return h.id == f.id && h.frame == f.frame;
        });
        if (same == held.end())
            differing |= f.id;
    }
    return differing;
}

void writeFrames(_PrinterHandle* handle, const QList<NamedFrame>& frames, QStringList& failed)
{
    for (const NamedFrame& f : frames)
        if (sendFrame(handle, f.frame) != 0)
            failed << f.item;
}
