#pragma once

#include <QString>

// Why input is refused before anything is sent: one code per rule, one text per code, so the
// windows and rpsetup say the same thing about the same input.
enum class SettingsError
{
    None,
    InvalidAddress,       // a part above 255, not a number, or not four parts
    LeadingZero,          // an address part such as 010, which tools read as 10 or as 8
    InvalidPort,          // not a whole number from 1 to 65535
    MissingApAddress,     // access-point mode needs the printer's own address
    NameTooLong,          // more than wifilimits::MaxNameBytes of UTF-8
    PasswordLength,       // neither empty (an open network), 8 to 63 bytes, nor 64 hex digits
    ControlCharacter,     // would split or end the zero-terminated fields of the frame
    MissingName,          // a station without a network name would erase the stored one
    StaticAddressMissing, // static mode without a whole address, or with IP or mask 0.0.0.0
    PayloadTooLarge,      // more than the length byte of a frame can announce
    InvalidLogoNumber,
    NoImages,
    TooManyImages,
    ImagesTooLarge,
};

// The field of an item that a refusal concerns, one for each key rpsetup's `set` takes.
enum class SettingsField
{
    None,
    Speed,
    Density,
    Alarm,
    EthernetDhcp,
    EthernetIp,
    EthernetMask,
    EthernetGateway,
    TcpPort,
    UdpPort,
    WifiMode,
    StationName,
    StationPassword,
    ApName,
    ApPassword,
    ApAddress,
    WifiIpDhcp,
    WifiIp,
    WifiIpGateway,
    WifiIpMask,
    WifiIpDns,
};

// What a validation found: None, or the rule broken and the field that broke it.
struct SettingsProblem
{
    SettingsError error = SettingsError::None;
    SettingsField field = SettingsField::None;

    explicit operator bool() const { return error != SettingsError::None; }
};

// The refusal text of a code, translated in the "QObject" context; empty for None.
QString settingsErrorText(SettingsError error);

// The texts every window shows the same way, translated in the "QObject" context: the windows'
// title, and what a command says when the printer did not answer over USB.
QString applicationTitle();
QString usbMessage();
