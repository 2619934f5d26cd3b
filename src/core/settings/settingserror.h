#pragma once

#include <QString>

// Why input is refused before anything is sent: one code per rule, one text per code, so the
// windows and rpsetup say the same thing about the same input.
enum class SettingsError
{
    None,
    InvalidAddress,   // a part above 255, not a number, or not four parts
    InvalidPort,      // not a whole number from 1 to 65535
    MissingApAddress, // access-point mode needs the printer's own address
    NameTooLong,      // more than wifilimits::MaxNameBytes of UTF-8
    PasswordLength,   // neither empty (an open network) nor 8 to 63 bytes
    InvalidLogoNumber,
    NoImages,
    TooManyImages,
    ImagesTooLarge,
};

// The refusal text of a code, translated in the "QObject" context; empty for None.
QString settingsErrorText(SettingsError error);
