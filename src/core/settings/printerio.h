#pragma once

#include "settings/settingsdocument.h"
#include "usb/printerhandle.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The settings items, each one get frame and one set frame on the wire.
enum SettingsItem : unsigned
{
    ItemSpeed = 1u << 0,
    ItemDensity = 1u << 1,
    ItemAlarm = 1u << 2,
    ItemFirmware = 1u << 3,
    ItemEthernetIp = 1u << 4,
    ItemEthernetPorts = 1u << 5,
    ItemWifiMode = 1u << 6,
    ItemStation = 1u << 7,
    ItemAccessPoint = 1u << 8,
    ItemWifiIp = 1u << 9,
    AllItems = (1u << 10) - 1,
};

// Reads the given items; the names of those whose read failed go to failed.
PrinterSettings readSettings(_PrinterHandle* handle, unsigned items, QStringList& failed);

struct NamedFrame
{
    QString item;
    QByteArray frame;
    unsigned id = 0; // the SettingsItem it stores; 0 for frames that store no item
};

// The set frames that store every item present in settings, in the order they are written.
// An access point without an address is left out: the printer cannot use one.
QList<NamedFrame> framesFor(const PrinterSettings& settings);

// settings with only the given items kept.
PrinterSettings onlyItems(PrinterSettings settings, unsigned items);

// The items of wanted that current does not hold: compared as the set frames that would store
// them, so two values the printer cannot tell apart count as equal.
unsigned differingItems(const PrinterSettings& wanted, const PrinterSettings& current);

// Writes every frame, all of them even after a failure; the names of the failed ones go to failed.
void writeFrames(_PrinterHandle* handle, const QList<NamedFrame>& frames, QStringList& failed);
