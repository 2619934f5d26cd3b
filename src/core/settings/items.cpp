#include "settings/items.h"

#include "settings/validation.h"

namespace {

// Accessors made from member pointers, so each table row names its storage once.
template <auto Item> bool has(const PrinterSettings& s)
{
    return (s.*Item).has_value();
}

template <auto Item> void reset(PrinterSettings& s)
{
    (s.*Item).reset();
}

template <auto Item> void emplace(PrinterSettings& s)
{
    if (!(s.*Item))
        (s.*Item).emplace();
}

template <auto Item, auto Member> FieldValue get(const PrinterSettings& s)
{
    return FieldValue((*(s.*Item)).*Member);
}

template <auto Item, auto Member> void set(PrinterSettings& s, const FieldValue& value)
{
    auto& field = (*(s.*Item)).*Member;
    field = std::get<std::decay_t<decltype(field)>>(value);
}

// Items that are one value: the value is the field.
template <auto Item> FieldValue getWhole(const PrinterSettings& s)
{
    return FieldValue(*(s.*Item));
}

template <auto Item> void setWhole(PrinterSettings& s, const FieldValue& value)
{
    s.*Item = std::get<typename std::decay_t<decltype(s.*Item)>::value_type>(value);
}

template <auto Item, auto Decode> void decode(PrinterSettings& s, const QByteArray& data)
{
    s.*Item = Decode(data);
}

template <auto Item> std::optional<QByteArray> frame(const PrinterSettings& s)
{
    return itemFrame(*(s.*Item));
}

template <auto Item, SetInfoType Command>
std::optional<QByteArray> byteFrame(const PrinterSettings& s)
{
    return printSettingFrame(Command, *(s.*Item));
}

template <auto Item, auto Rule> SettingsProblem validate(const PrinterSettings& s)
{
    return Rule(*(s.*Item));
}

std::uint8_t firstByte(const QByteArray& data)
{
    return std::uint8_t(data.isEmpty() ? 0 : data[0]);
}

QString firmwareText(const QByteArray& data)
{
    return QString::fromUtf8(data.constData());
}

// The wire byte of the mode is the field's value, so the mode goes through its own codec.
FieldValue getMode(const PrinterSettings& s)
{
    return FieldValue(wifiModeValue(*s.wifiMode));
}

void setMode(PrinterSettings& s, const FieldValue& value)
{
    s.wifiMode = decodeWifiMode(QByteArray(1, char(std::get<std::uint8_t>(value))));
}

// An access point without an address is of no use to the printer, so it is not stored.
std::optional<QByteArray> accessPointFrame(const PrinterSettings& s)
{
    if (s.accessPoint->address.isEmpty())
        return std::nullopt;
    return itemFrame(*s.accessPoint);
}

// Switching to access-point mode needs the address the printer offers its network at.
SettingsProblem validateMode(const PrinterSettings& s)
{
    return validateWifiMode(*s.wifiMode, s.accessPoint ? s.accessPoint->address : QString());
}

using P = PrinterSettings;

std::vector<ChoiceName> onOff()
{
    return {{"on", 1}, {"off", 0}};
}

template <auto Item>
ItemSpec item(SettingsItem id, const char* name, std::uint8_t command, const char* section,
              const char* object, std::vector<FieldSpec> fields)
{
    return ItemSpec{id,         name,         command,        section,
                    object,     false,        false,          std::move(fields),
                    &has<Item>, &reset<Item>, &emplace<Item>, nullptr,
                    nullptr,    nullptr};
}

// A print setting: one byte named by a list, its wire value its place in the list.
template <auto Item, SetInfoType Command>
ItemSpec printSetting(SettingsItem id, const char* name, SettingsField field,
                      std::vector<ChoiceName> names)
{
    ItemSpec spec = item<Item>(id, name, Command, "print", nullptr,
                               {{field, name, name, FieldKind::Choice, std::move(names),
                                 &getWhole<Item>, &setWhole<Item>}});
    spec.shownWhenUnread = true;
    spec.decode = &decode<Item, firstByte>;
    spec.frame = &byteFrame<Item, Command>;
    return spec;
}

std::vector<ItemSpec> makeItems()
{
    using F = SettingsField;
    using K = FieldKind;
    std::vector<ItemSpec> items;
    items.push_back(printSetting<&P::speed, SPEED>(ItemSpeed, "speed", F::Speed,
                                                   {{"slower", 0}, {"normal", 1}, {"faster", 2}}));
    items.push_back(printSetting<&P::density, DENSITY_SETTING>(
        ItemDensity, "density", F::Density, {{"light", 0}, {"normal", 1}, {"dark", 2}}));
    items.push_back(printSetting<&P::alarm, SOUND>(
        ItemAlarm, "alarm", F::Alarm, {{"off", 0}, {"sound", 1}, {"light", 2}, {"both", 3}}));

    ItemSpec firmware = item<&P::firmware>(
        ItemFirmware, "firmware", FIRMWARE_DATE, "source", nullptr,
        {{F::None, "firmware", "firmware", K::Text, {}, &getWhole<&P::firmware>, nullptr}});
    firmware.readOnly = true;
    firmware.shownWhenUnread = true;
    firmware.decode = &decode<&P::firmware, firmwareText>;
    items.push_back(firmware);

    constexpr auto eip = &P::ethernetIp;
    ItemSpec ethernetIp =
        item<eip>(ItemEthernetIp, "ethernet ip", NET_IP_MESSAGE, "ethernet", nullptr,
                  {{F::EthernetDhcp, "eth.dhcp", "dhcp", K::OnOff, onOff(),
                    &get<eip, &EthernetIp::dhcp>, &set<eip, &EthernetIp::dhcp>},
                   {F::EthernetIp,
                    "eth.ip",
                    "ip",
                    K::Address,
                    {},
                    &get<eip, &EthernetIp::ip>,
                    &set<eip, &EthernetIp::ip>},
                   {F::EthernetMask,
                    "eth.mask",
                    "mask",
                    K::Address,
                    {},
                    &get<eip, &EthernetIp::mask>,
                    &set<eip, &EthernetIp::mask>},
                   {F::EthernetGateway,
                    "eth.gateway",
                    "gateway",
                    K::Address,
                    {},
                    &get<eip, &EthernetIp::gateway>,
                    &set<eip, &EthernetIp::gateway>}});
    ethernetIp.decode = &decode<eip, decodeEthernetIp>;
    ethernetIp.frame = &frame<eip>;
    ethernetIp.validate = &validate<eip, validateEthernetIp>;
    items.push_back(ethernetIp);

    constexpr auto ports = &P::ethernetPorts;
    ItemSpec ethernetPorts =
        item<ports>(ItemEthernetPorts, "ethernet ports", PORT_MESSAGE, "ethernet", nullptr,
                    {{F::TcpPort,
                      "eth.tcp-port",
                      "tcpPort",
                      K::Port,
                      {},
                      &get<ports, &EthernetPorts::tcp>,
                      &set<ports, &EthernetPorts::tcp>},
                     {F::UdpPort,
                      "eth.udp-port",
                      "udpPort",
                      K::Port,
                      {},
                      &get<ports, &EthernetPorts::udp>,
                      &set<ports, &EthernetPorts::udp>}});
    ethernetPorts.decode = &decode<ports, decodeEthernetPorts>;
    ethernetPorts.frame = &frame<ports>;
    ethernetPorts.validate = &validate<ports, validateEthernetPorts>;
    items.push_back(ethernetPorts);

    ItemSpec mode = item<&P::wifiMode>(ItemWifiMode, "wifi mode", WIFI_MODE, "wifi", nullptr,
                                       {{F::WifiMode,
                                         "wifi.mode",
                                         "mode",
                                         K::Choice,
                                         {{"sta", 0x01}, {"ap", 0x02}},
                                         &getMode,
                                         &setMode}});
    mode.decode = &decode<&P::wifiMode, decodeWifiMode>;
    mode.frame = &frame<&P::wifiMode>;
    mode.validate = &validateMode;
    items.push_back(mode);

    constexpr auto st = &P::station;
    ItemSpec station =
        item<st>(ItemStation, "wifi station", CONNECT_AP_INFORMATION, "wifi", "station",
                 {{F::StationName,
                   "wifi.ssid",
                   "ssid",
                   K::Name,
                   {},
                   &get<st, &StationSettings::name>,
                   &set<st, &StationSettings::name>},
                  {F::StationPassword,
                   "wifi.password",
                   "password",
                   K::Password,
                   {},
                   &get<st, &StationSettings::password>,
                   &set<st, &StationSettings::password>}});
    station.decode = &decode<st, decodeStation>;
    station.frame = &frame<st>;
    station.validate = &validate<st, validateStation>;
    items.push_back(station);

    constexpr auto ap = &P::accessPoint;
    ItemSpec accessPoint =
        item<ap>(ItemAccessPoint, "wifi access point", AP_MODE, "wifi", "accessPoint",
                 {{F::ApName,
                   "wifi.ap-ssid",
                   "ssid",
                   K::Name,
                   {},
                   &get<ap, &AccessPointSettings::name>,
                   &set<ap, &AccessPointSettings::name>},
                  {F::ApPassword,
                   "wifi.ap-password",
                   "password",
                   K::Password,
                   {},
                   &get<ap, &AccessPointSettings::password>,
                   &set<ap, &AccessPointSettings::password>},
                  {F::ApAddress,
                   "wifi.ap-ip",
                   "ip",
                   K::ApAddress,
                   {},
                   &get<ap, &AccessPointSettings::address>,
                   &set<ap, &AccessPointSettings::address>}});
    accessPoint.decode = &decode<ap, decodeAccessPoint>;
    accessPoint.frame = &accessPointFrame;
    accessPoint.validate = &validate<ap, validateAccessPoint>;
    items.push_back(accessPoint);

    constexpr auto wip = &P::wifiIp;
    ItemSpec wifiIp = item<wip>(ItemWifiIp, "wifi ip", IP_MESSAGE, "wifiIp", nullptr,
                                {{F::WifiIpDhcp, "wifi-ip.dhcp", "dhcp", K::OnOff, onOff(),
                                  &get<wip, &WifiIp::dhcp>, &set<wip, &WifiIp::dhcp>},
                                 {F::WifiIp,
                                  "wifi-ip.ip",
                                  "ip",
                                  K::Address,
                                  {},
                                  &get<wip, &WifiIp::ip>,
                                  &set<wip, &WifiIp::ip>},
                                 {F::WifiIpGateway,
                                  "wifi-ip.gateway",
                                  "gateway",
                                  K::Address,
                                  {},
                                  &get<wip, &WifiIp::gateway>,
                                  &set<wip, &WifiIp::gateway>},
                                 {F::WifiIpMask,
                                  "wifi-ip.mask",
                                  "mask",
                                  K::Address,
                                  {},
                                  &get<wip, &WifiIp::mask>,
                                  &set<wip, &WifiIp::mask>},
                                 {F::WifiIpDns,
                                  "wifi-ip.dns",
                                  "dns",
                                  K::Address,
                                  {},
                                  &get<wip, &WifiIp::dns>,
                                  &set<wip, &WifiIp::dns>}});
    wifiIp.decode = &decode<wip, decodeWifiIp>;
    wifiIp.frame = &frame<wip>;
    wifiIp.validate = &validate<wip, validateWifiIp>;
    items.push_back(wifiIp);
    return items;
}

} // namespace

QString ItemSpec::path() const
{
    return object ? QStringLiteral("%1.%2").arg(QLatin1String(section), QLatin1String(object))
                  : QString::fromLatin1(section);
}

const std::vector<ItemSpec>& settingsItems()
{
    static const std::vector<ItemSpec> items = makeItems();
    return items;
}

const ItemSpec& itemSpec(SettingsItem id)
{
    for (const ItemSpec& item : settingsItems())
        if (item.id == id)
            return item;
    Q_UNREACHABLE();
}

const ItemSpec& itemOf(SettingsField field)
{
    for (const ItemSpec& item : settingsItems())
        for (const FieldSpec& f : item.fields)
            if (f.id == field)
                return item;
    Q_UNREACHABLE();
}

const FieldSpec& fieldSpec(SettingsField field)
{
    for (const FieldSpec& f : itemOf(field).fields)
        if (f.id == field)
            return f;
    Q_UNREACHABLE();
}

const FieldSpec* fieldForKey(const QString& key)
{
    for (const ItemSpec& item : settingsItems())
        for (const FieldSpec& f : item.fields)
            if (!item.readOnly && key == QLatin1String(f.key))
                return &f;
    return nullptr;
}

QStringList choiceNames(const FieldSpec& field)
{
    QStringList names;
    for (const ChoiceName& c : field.choices)
        names << QString::fromLatin1(c.name);
    return names;
}

std::optional<std::uint8_t> choiceByName(const FieldSpec& field, const QString& name)
{
    for (const ChoiceName& c : field.choices)
        if (name == QLatin1String(c.name))
            return c.value;
    return std::nullopt;
}

QString fieldText(const FieldSpec& field, const FieldValue& value)
{
    switch (field.kind) {
    case FieldKind::Choice: {
        const std::uint8_t byte = std::get<std::uint8_t>(value);
        for (const ChoiceName& c : field.choices)
            if (c.value == byte)
                return QString::fromLatin1(c.name);
        return QString::number(byte);
    }
    case FieldKind::OnOff:
        return std::get<bool>(value) ? QStringLiteral("on") : QStringLiteral("off");
    case FieldKind::Address:
        return formatAddress(std::get<Address>(value));
    case FieldKind::Port:
        return QString::number(std::get<std::uint16_t>(value));
    case FieldKind::Name:
    case FieldKind::Password:
    case FieldKind::ApAddress:
    case FieldKind::Text:
        break;
    }
    return std::get<QString>(value);
}
