#include "settings/items.h"

#include "settings/fieldcodecs.h"
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
    s.wifiMode = WifiMode(std::get<std::uint8_t>(value));
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
    ItemSpec row;
    row.id = id;
    row.name = name;
    row.command = command;
    row.section = section;
    row.object = object;
    row.fields = std::move(fields);
    row.has = &has<Item>;
    row.reset = &reset<Item>;
    row.emplace = &emplace<Item>;
    return row;
}

template <auto Item, auto Member>
FieldSpec field(SettingsField id, const char* key, const char* jsonKey, FieldKind kind,
                std::vector<ChoiceName> choices = {})
{
    return FieldSpec{
        id, key, jsonKey, kind, std::move(choices), &get<Item, Member>, &set<Item, Member>};
}

// An item of several fields, stored by its own frame builder and checked by its own rule.
template <auto Item, auto Decode, auto Rule>
ItemSpec networkItem(SettingsItem id, const char* name, SetInfoType command, const char* section,
                     const char* object, std::vector<FieldSpec> fields)
{
    ItemSpec row = item<Item>(id, name, command, section, object, std::move(fields));
    row.decode = &decode<Item, Decode>;
    row.frame = &frame<Item>;
    row.validate = &validate<Item, Rule>;
    return row;
}

// A print setting: one byte named by a list, its wire value its place in the list.
template <auto Item, SetInfoType Command>
ItemSpec printSetting(SettingsItem id, const char* name, SettingsField field,
                      std::vector<ChoiceName> names)
{
    ItemSpec row = item<Item>(id, name, Command, "print", nullptr,
                              {{field, name, name, FieldKind::Choice, std::move(names),
                                &getWhole<Item>, &setWhole<Item>}});
    row.shownWhenUnread = true;
    row.decode = &decode<Item, firstByte>;
    row.frame = &byteFrame<Item, Command>;
    return row;
}

using F = SettingsField;
using K = FieldKind;

void addPrinterItems(std::vector<ItemSpec>& items)
{
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
}

void addEthernetItems(std::vector<ItemSpec>& items)
{
    constexpr auto ip = &P::ethernetIp;
    items.push_back(networkItem<ip, decodeEthernetIp, validateEthernetIp>(
        ItemEthernetIp, "ethernet ip", NET_IP_MESSAGE, "ethernet", nullptr,
        {field<ip, &EthernetIp::dhcp>(F::EthernetDhcp, "eth.dhcp", "dhcp", K::OnOff, onOff()),
         field<ip, &EthernetIp::ip>(F::EthernetIp, "eth.ip", "ip", K::IpAddress),
         field<ip, &EthernetIp::mask>(F::EthernetMask, "eth.mask", "mask", K::IpAddress),
         field<ip, &EthernetIp::gateway>(F::EthernetGateway, "eth.gateway", "gateway",
                                         K::IpAddress)}));

    constexpr auto ports = &P::ethernetPorts;
    items.push_back(networkItem<ports, decodeEthernetPorts, validateEthernetPorts>(
        ItemEthernetPorts, "ethernet ports", PORT_MESSAGE, "ethernet", nullptr,
        {field<ports, &EthernetPorts::tcp>(F::TcpPort, "eth.tcp-port", "tcpPort", K::Port),
         field<ports, &EthernetPorts::udp>(F::UdpPort, "eth.udp-port", "udpPort", K::Port)}));
}

void addWifiItems(std::vector<ItemSpec>& items)
{
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
    items.push_back(networkItem<st, decodeStation, validateStation>(
        ItemStation, "wifi station", CONNECT_AP_INFORMATION, "wifi", "station",
        {field<st, &StationSettings::name>(F::StationName, "wifi.ssid", "ssid", K::Name),
         field<st, &StationSettings::password>(F::StationPassword, "wifi.password", "password",
                                               K::Password)}));

    constexpr auto ap = &P::accessPoint;
    items.push_back(networkItem<ap, decodeAccessPoint, validateAccessPoint>(
        ItemAccessPoint, "wifi access point", AP_MODE, "wifi", "accessPoint",
        {field<ap, &AccessPointSettings::name>(F::ApName, "wifi.ap-ssid", "ssid", K::Name),
         field<ap, &AccessPointSettings::password>(F::ApPassword, "wifi.ap-password", "password",
                                                   K::Password),
         field<ap, &AccessPointSettings::address>(F::ApAddress, "wifi.ap-ip", "ip",
                                                  K::ApAddress)}));

    constexpr auto ip = &P::wifiIp;
    items.push_back(networkItem<ip, decodeWifiIp, validateWifiIp>(
        ItemWifiIp, "wifi ip", IP_MESSAGE, "wifiIp", nullptr,
        {field<ip, &WifiIp::dhcp>(F::WifiIpDhcp, "wifi-ip.dhcp", "dhcp", K::OnOff, onOff()),
         field<ip, &WifiIp::ip>(F::WifiIp, "wifi-ip.ip", "ip", K::IpAddress),
         field<ip, &WifiIp::gateway>(F::WifiIpGateway, "wifi-ip.gateway", "gateway", K::IpAddress),
         field<ip, &WifiIp::mask>(F::WifiIpMask, "wifi-ip.mask", "mask", K::IpAddress),
         field<ip, &WifiIp::dns>(F::WifiIpDns, "wifi-ip.dns", "dns", K::IpAddress)}));
}

std::vector<ItemSpec> makeItems()
{
    std::vector<ItemSpec> items;
    addPrinterItems(items);
    addEthernetItems(items);
    addWifiItems(items);
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

const unsigned AllItems = [] {
    unsigned all = 0;
    for (const ItemSpec& item : settingsItems())
        all |= item.id;
    return all;
}();

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
    return codecOf(field.kind).text(field, value);
}
