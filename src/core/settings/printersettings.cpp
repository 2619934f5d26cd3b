#include "settings/printersettings.h"

#include "settings/items.h"

QByteArray printSettingFrame(SetInfoType item, std::uint8_t value)
{
    return buildSetFrame(item, QByteArray(1, char(value)));
}

QByteArray itemFrame(const EthernetIp& settings)
{
    return buildSetFrame(NET_IP_MESSAGE, encodeEthernetIp(settings));
}

QByteArray itemFrame(const EthernetPorts& ports)
{
    return buildSetFrame(PORT_MESSAGE, encodeEthernetPorts(ports));
}

QByteArray itemFrame(WifiMode mode)
{
    return buildSetFrame(WIFI_MODE, QByteArray(1, char(wifiModeValue(mode))));
}

QByteArray itemFrame(const StationSettings& settings)
{
    return buildSetFrame(CONNECT_AP_INFORMATION, encodeStation(settings));
}

QByteArray itemFrame(const AccessPointSettings& settings)
{
    // The printer reads the address as text: "010.0.0.1" or " 10.0.0.1" would be stored as typed.
    AccessPointSettings canonical = settings;
    if (const auto address = parseAddress(settings.address))
        canonical.address = formatAddress(*address);
    return buildSetFrame(AP_MODE, encodeAccessPoint(canonical));
}

QByteArray itemFrame(const WifiIp& settings)
{
    return buildSetFrame(IP_MESSAGE, encodeWifiIp(settings));
}

QList<NamedFrame> framesFor(const PrinterSettings& s)
{
    QList<NamedFrame> frames;
    for (const ItemSpec& item : settingsItems())
        if (item.frame && item.has(s))
            if (const auto frame = item.frame(s))
                frames << NamedFrame{QString::fromLatin1(item.name), *frame, item.id};
    return frames;
}
