#pragma once

#include "settings/printersettings.h"
#include "settings/settingserror.h"

#include <QString>

#include <cstdint>

namespace wifilimits {
constexpr int MaxNameBytes = 32;
constexpr int MinPasswordBytes = 8;
constexpr int MaxPasswordBytes = 63;
constexpr int RawKeyHexDigits = 64; // a WPA key given as hex instead of a passphrase
} // namespace wifilimits

// How the printer uses an address field, which decides what an empty part means.
enum class AddressUse
{
    Required,       // used as it stands: an empty part is an invalid address
    Static,         // an address of static IP mode: an empty part asks for the whole address
    ReplacedByDhcp, // DHCP replaces it: empty parts go out as zeros, so a fresh form can say DHCP
    NotEditable,    // a field the user cannot change never blocks: its address, else zeros
    // Typed on a command line or in a document: as Required, and no part may start with 0, which
    // other tools would read as octal.
    Typed,
};

// The text rules, each written once. On None, out holds the value to send.
SettingsError checkAddressText(const QString& text, AddressUse use, Address& out);
SettingsError checkPortText(const QString& text, std::uint16_t& out);
// Network names and passwords end at a zero byte in the frame, so no control character may
// pass; the lengths are those the printer's Wi-Fi stack takes, counted in UTF-8 bytes.
SettingsError checkName(const QString& name);
SettingsError checkPassword(const QString& password);

// One rule set per item, on the values that would be sent.
SettingsProblem validateEthernetIp(const EthernetIp& settings);
SettingsProblem validateEthernetPorts(const EthernetPorts& ports);
SettingsProblem validateStation(const StationSettings& settings);
SettingsProblem validateAccessPoint(const AccessPointSettings& settings);
// Access-point mode needs the address the printer offers its network at.
SettingsProblem validateWifiMode(WifiMode mode, const QString& accessPointAddress);
SettingsProblem validateWifiIp(const WifiIp& settings);

// The window's fields to an item, by the rules above: the mode decides how each address counts.
SettingsProblem ethernetIpFromFields(bool dhcp, const QString& ip, const QString& mask,
                                     const QString& gateway, EthernetIp& out);
SettingsProblem ethernetPortsFromFields(const QString& tcp, const QString& udp, EthernetPorts& out);
SettingsProblem accessPointFromFields(const QString& name, const QString& password,
                                      const QString& address, AccessPointSettings& out);
SettingsProblem wifiIpFromFields(bool dhcp, const QString& ip, const QString& gateway,
                                 const QString& mask, const QString& dns, bool dnsEditable,
                                 WifiIp& out);
