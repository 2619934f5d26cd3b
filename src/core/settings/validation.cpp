#include "settings/validation.h"

namespace {

SettingsProblem problem(SettingsError error, SettingsField field)
{
    return error == SettingsError::None ? SettingsProblem{} : SettingsProblem{error, field};
}

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

bool isRawKey(const QString& password)
{
    if (password.size() != wifilimits::RawKeyHexDigits)
        return false;
    for (const QChar c : password)
        if (!isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x'))
            return false;
    return true;
}

bool isZero(const Address& address)
{
    return address == Address{};
}

// A static configuration is refused without an address and mask: 0.0.0.0 cuts the printer off
// its network.
SettingsProblem staticAddress(bool dhcp, const Address& ip, SettingsField ipField,
                              const Address& mask, SettingsField maskField)
{
    if (dhcp)
        return {};
    if (isZero(ip))
        return {SettingsError::StaticAddressMissing, ipField};
    if (isZero(mask))
        return {SettingsError::StaticAddressMissing, maskField};
    return {};
}

} // namespace

SettingsError checkAddressText(const QString& text, AddressUse use, Address& out)
{
    const auto lenient = parseAddress(text, EmptyParts::ReadAsZero);
    if (use == AddressUse::NotEditable) {
        out = lenient.value_or(Address{});
        return SettingsError::None;
    }
    if (!lenient)
        return SettingsError::InvalidAddress;
    if (use != AddressUse::ReplacedByDhcp && !parseAddress(text))
        return use == AddressUse::Static ? SettingsError::StaticAddressMissing
                                         : SettingsError::InvalidAddress;
    if (use == AddressUse::Typed)
        for (const AddressPart& part : addressParts(text))
            if (part.leadingZero)
                return SettingsError::LeadingZero;
    out = *lenient;
    return SettingsError::None;
}

SettingsError checkPortText(const QString& text, std::uint16_t& out)
{
    const auto port = parsePort(text);
    if (!port)
        return SettingsError::InvalidPort;
    out = *port;
    return SettingsError::None;
}

SettingsError checkName(const QString& name)
{
    if (hasControlCharacter(name))
        return SettingsError::ControlCharacter;
    if (name.toUtf8().size() > wifilimits::MaxNameBytes)
        return SettingsError::NameTooLong;
    return SettingsError::None;
}

SettingsError checkPassword(const QString& password)
{
    if (hasControlCharacter(password))
        return SettingsError::ControlCharacter;
    const int bytes = password.toUtf8().size();
    if (bytes == 0 || isRawKey(password) ||
        (bytes >= wifilimits::MinPasswordBytes && bytes <= wifilimits::MaxPasswordBytes))
        return SettingsError::None;
    return SettingsError::PasswordLength;
}

SettingsProblem validateEthernetIp(const EthernetIp& s)
{
    return staticAddress(s.dhcp, s.ip, SettingsField::EthernetIp, s.mask,
                         SettingsField::EthernetMask);
}

SettingsProblem validateEthernetPorts(const EthernetPorts& ports)
{
    if (ports.tcp == 0)
        return {SettingsError::InvalidPort, SettingsField::TcpPort};
    if (ports.udp == 0)
        return {SettingsError::InvalidPort, SettingsField::UdpPort};
    return {};
}

SettingsProblem validateStation(const StationSettings& s)
{
    if (s.name.isEmpty())
        return {SettingsError::MissingName, SettingsField::StationName};
    if (const auto p = problem(checkName(s.name), SettingsField::StationName))
        return p;
    return problem(checkPassword(s.password), SettingsField::StationPassword);
}

SettingsProblem validateAccessPoint(const AccessPointSettings& s)
{
    if (const auto p = validateWifiMode(WifiMode::AccessPoint, s.address))
        return p;
    Address unused;
    if (const auto p = problem(checkAddressText(s.address, AddressUse::Required, unused),
                               SettingsField::ApAddress))
        return p;
    if (const auto p = problem(checkName(s.name), SettingsField::ApName))
        return p;
    return problem(checkPassword(s.password), SettingsField::ApPassword);
}

SettingsProblem validateWifiMode(WifiMode mode, const QString& accessPointAddress)
{
    // A masked field left empty reports its dots alone.
    QString digits = accessPointAddress;
    digits.remove(QLatin1Char('.'));
    if (mode == WifiMode::AccessPoint && digits.trimmed().isEmpty())
        return {SettingsError::MissingApAddress, SettingsField::ApAddress};
    return {};
}

SettingsProblem validateWifiIp(const WifiIp& s)
{
    return staticAddress(s.dhcp, s.ip, SettingsField::WifiIp, s.mask, SettingsField::WifiIpMask);
}

SettingsProblem ethernetIpFromFields(bool dhcp, const QString& ip, const QString& mask,
                                     const QString& gateway, EthernetIp& out)
{
    const AddressUse use = dhcp ? AddressUse::ReplacedByDhcp : AddressUse::Static;
    EthernetIp s;
    s.dhcp = dhcp;
    if (const auto p = problem(checkAddressText(ip, use, s.ip), SettingsField::EthernetIp))
        return p;
    if (const auto p = problem(checkAddressText(mask, use, s.mask), SettingsField::EthernetMask))
        return p;
    if (const auto p =
            problem(checkAddressText(gateway, use, s.gateway), SettingsField::EthernetGateway))
        return p;
    if (const auto p = validateEthernetIp(s))
        return p;
    out = s;
    return {};
}

SettingsProblem ethernetPortsFromFields(const QString& tcp, const QString& udp, EthernetPorts& out)
{
    EthernetPorts ports;
    if (const auto p = problem(checkPortText(tcp, ports.tcp), SettingsField::TcpPort))
        return p;
    if (const auto p = problem(checkPortText(udp, ports.udp), SettingsField::UdpPort))
        return p;
    out = ports;
    return {};
}

SettingsProblem accessPointFromFields(const QString& name, const QString& password,
                                      const QString& address, AccessPointSettings& out)
{
    const AccessPointSettings ap{name, password, address};
    if (const auto p = validateAccessPoint(ap))
        return p;
    out = ap;
    Address canonical;
    checkAddressText(address, AddressUse::Required, canonical);
    out.address = formatAddress(canonical);
    return {};
}

SettingsProblem wifiIpFromFields(bool dhcp, const QString& ip, const QString& gateway,
                                 const QString& mask, const QString& dns, bool dnsEditable,
                                 WifiIp& out)
{
    const AddressUse use = dhcp ? AddressUse::ReplacedByDhcp : AddressUse::Static;
    WifiIp s;
    s.dhcp = dhcp;
    if (const auto p = problem(checkAddressText(ip, use, s.ip), SettingsField::WifiIp))
        return p;
    if (const auto p =
            problem(checkAddressText(gateway, use, s.gateway), SettingsField::WifiIpGateway))
        return p;
    if (const auto p = problem(checkAddressText(mask, use, s.mask), SettingsField::WifiIpMask))
        return p;
    if (const auto p =
            problem(checkAddressText(dns, dnsEditable ? use : AddressUse::NotEditable, s.dns),
                    SettingsField::WifiIpDns))
        return p;
    if (const auto p = validateWifiIp(s))
        return p;
    out = s;
    return {};
}
