#pragma once

#include "settings/settingserror.h"

#include <QString>

namespace wifilimits {
constexpr int MaxNameBytes = 32;
constexpr int MinPasswordBytes = 8;
constexpr int MaxPasswordBytes = 63;
} // namespace wifilimits

// The limits the printer's Wi-Fi stack takes: longer fields would also overflow the length byte.
SettingsError checkWifiCredentials(const QString& name, const QString& password);
