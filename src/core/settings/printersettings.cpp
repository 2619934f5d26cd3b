#include "settings/printersettings.h"

namespace choices {
const QStringList& speed()
{
    static const QStringList names{"slower", "normal", "faster"};
    return names;
}
const QStringList& density()
{
    static const QStringList names{"light", "normal", "dark"};
    return names;
}
const QStringList& alarm()
{
    static const QStringList names{"off", "sound", "light", "both"};
    return names;
}
} // namespace choices

namespace {

struct FieldKey
{
    SettingsField field;
    const char* key;
};

const FieldKey Keys[] = {
    {SettingsField::Speed, "speed"},
    {SettingsField::Density, "density"},
    {SettingsField::Alarm, "alarm"},
    {SettingsField::EthernetDhcp, "eth.dhcp"},
    {SettingsField::EthernetIp, "eth.ip"},
    {SettingsField::EthernetMask, "eth.mask"},
    {SettingsField::EthernetGateway, "eth.gateway"},
    {SettingsField::TcpPort, "eth.tcp-port"},
    {SettingsField::UdpPort, "eth.udp-port"},
    {SettingsField::WifiMode, "wifi.mode"},
    {SettingsField::StationName, "wifi.ssid"},
    {SettingsField::StationPassword, "wifi.password"},
    {SettingsField::ApName, "wifi.ap-ssid"},
    {SettingsField::ApPassword, "wifi.ap-password"},
    {SettingsField::ApAddress, "wifi.ap-ip"},
    {SettingsField::WifiIpDhcp, "wifi-ip.dhcp"},
    {SettingsField::WifiIp, "wifi-ip.ip"},
    {SettingsField::WifiIpGateway, "wifi-ip.gateway"},
    {SettingsField::WifiIpMask, "wifi-ip.mask"},
    {SettingsField::WifiIpDns, "wifi-ip.dns"},
};

} // namespace

QString settingKey(SettingsField field)
{
    for (const FieldKey& k : Keys)
        if (k.field == field)
            return QString::fromLatin1(k.key);
    return QString();
}

const QStringList& settingKeys()
{
    static const QStringList keys = [] {
        QStringList list;
        for (const FieldKey& k : Keys)
            list << QString::fromLatin1(k.key);
        return list;
    }();
    return keys;
}

SettingsField settingField(const QString& key)
{
    for (const FieldKey& k : Keys)
        if (key == QLatin1String(k.key))
            return k.field;
    return SettingsField::None;
}

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
    if (s.speed)
        frames << NamedFrame{"speed", printSettingFrame(SPEED, *s.speed), ItemSpeed};
    if (s.density)
        frames << NamedFrame{"density", printSettingFrame(DENSITY_SETTING, *s.density),
                             ItemDensity};
    if (s.alarm)
        frames << NamedFrame{"alarm", printSettingFrame(SOUND, *s.alarm), ItemAlarm};
    if (s.ethernetIp)
        frames << NamedFrame{"ethernet ip", itemFrame(*s.ethernetIp), ItemEthernetIp};
    if (s.ethernetPorts)
        frames << NamedFrame{"ethernet ports", itemFrame(*s.ethernetPorts), ItemEthernetPorts};
    if (s.wifiMode)
        frames << NamedFrame{"wifi mode", itemFrame(*s.wifiMode), ItemWifiMode};
    if (s.station)
        frames << NamedFrame{"wifi station", itemFrame(*s.station), ItemStation};
    if (s.accessPoint && !s.accessPoint->address.isEmpty())
        frames << NamedFrame{"wifi access point", itemFrame(*s.accessPoint), ItemAccessPoint};
    if (s.wifiIp)
        frames << NamedFrame{"wifi ip", itemFrame(*s.wifiIp), ItemWifiIp};
    return frames;
}
