#include "settings/validation.h"

SettingsError checkWifiCredentials(const QString& name, const QString& password)
{
    if (name.toUtf8().size() > wifilimits::MaxNameBytes)
        return SettingsError::NameTooLong;
    const int passwordBytes = password.toUtf8().size();
    if (passwordBytes != 0 && (passwordBytes < wifilimits::MinPasswordBytes ||
                               passwordBytes > wifilimits::MaxPasswordBytes))
        return SettingsError::PasswordLength;
    return SettingsError::None;
}
