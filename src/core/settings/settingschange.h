#pragma once

#include "settings/settingsdocument.h"

#include <QString>
#include <QStringList>

#include <optional>

// The KEY=VALUE arguments of `set`, checked before anything is sent. A change to one field of a
// multi-field item is merged into the item as read from the printer and the item written whole.
struct SettingsChange
{
    std::optional<std::uint8_t> speed, density, alarm;
    std::optional<bool> ethDhcp;
    std::optional<Address> ethIp, ethMask, ethGateway;
    std::optional<std::uint16_t> tcpPort, udpPort;
    std::optional<WifiMode> wifiMode;
    std::optional<QString> ssid, password, apSsid, apPassword;
    std::optional<Address> apIp;
    std::optional<bool> wifiIpDhcp;
    std::optional<Address> wifiIpIp, wifiIpGateway, wifiIpMask, wifiIpDns;

    // The items that must be read first because only some of their fields change.
    unsigned itemsToRead() const;
    // Every item the change sets, whole or in part; none for an empty change.
    unsigned itemsNamed() const;
};

// False with a message naming the key and the rule on the first bad argument.
bool parseChange(const QStringList& arguments, SettingsChange& change, QString& error);

// A desired-state document: the backup format with any subset of sections and of the fields of
// each item, checked as restore checks it. Every error names its path; on any error nothing may
// be written.
SettingsChange changeFromDocument(const QJsonObject& document, DocumentErrors& errors);

// The items to write: current (as read) with the change applied. False with a message when the
// merged item breaks a rule (a password of the wrong length, access-point mode without address).
bool applyChange(const SettingsChange& change, const PrinterSettings& current,
                 PrinterSettings& result, QString& error);
