#include "settings/printerio.h"

#include "protocol/frame.h"
#include "protocol/query.h"

#include <algorithm>

namespace {

bool read(_PrinterHandle* handle, SetInfoType item, QByteArray& data)
{
    unsigned char buffer[QueryBufferSize];
    if (GetPrinterInfo(handle, item, buffer) != 0)
        return false;
    // The reply holds at most 255 data bytes; the zeros after them end every text field.
    data = QByteArray(reinterpret_cast<const char*>(buffer), frame::MaxPayload + 1);
    return true;
}

QByteArray oneByte(std::uint8_t value)
{
    return QByteArray(1, char(value));
}

} // namespace

PrinterSettings readSettings(_PrinterHandle* handle, unsigned items, QStringList& failed)
{
    PrinterSettings s;
    QByteArray data;
    const auto want = [&](SettingsItem item, SetInfoType command, const char* name) {
        if (!(items & item))
            return false;
        if (read(handle, command, data))
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

QList<NamedFrame> framesFor(const PrinterSettings& s)
{
    QList<NamedFrame> frames;
    if (s.speed)
        frames << NamedFrame{"speed", buildSetFrame(SPEED, oneByte(*s.speed)), ItemSpeed};
    if (s.density)
        frames << NamedFrame{"density", buildSetFrame(DENSITY_SETTING, oneByte(*s.density)),
                             ItemDensity};
    if (s.alarm)
        frames << NamedFrame{"alarm", buildSetFrame(SOUND, oneByte(*s.alarm)), ItemAlarm};
    if (s.ethernetIp)
        frames << NamedFrame{"ethernet ip",
                             buildSetFrame(NET_IP_MESSAGE, encodeEthernetIp(*s.ethernetIp)),
                             ItemEthernetIp};
    if (s.ethernetPorts)
        frames << NamedFrame{"ethernet ports",
                             buildSetFrame(PORT_MESSAGE, encodeEthernetPorts(*s.ethernetPorts)),
                             ItemEthernetPorts};
    if (s.wifiMode)
        frames << NamedFrame{"wifi mode",
                             buildSetFrame(WIFI_MODE, oneByte(wifiModeValue(*s.wifiMode))),
                             ItemWifiMode};
    if (s.station)
        frames << NamedFrame{"wifi station",
                             buildSetFrame(CONNECT_AP_INFORMATION, encodeStation(*s.station)),
                             ItemStation};
    if (s.accessPoint && !s.accessPoint->address.isEmpty())
        frames << NamedFrame{"wifi access point",
                             buildSetFrame(AP_MODE, encodeAccessPoint(*s.accessPoint)),
                             ItemAccessPoint};
    if (s.wifiIp)
        frames << NamedFrame{"wifi ip", buildSetFrame(IP_MESSAGE, encodeWifiIp(*s.wifiIp)),
                             ItemWifiIp};
    return frames;
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
