#pragma once

#include "settings/printersettings.h"
#include "usb/printerhandle.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// Reads one item's reply data into data (at most 255 bytes, then zeros that end every text
// field); the transport's result, data untouched unless it is 0.
int readItem(_PrinterHandle* handle, SetInfoType item, QByteArray& data);

// Reads the given items; the names of those whose read failed go to failed.
PrinterSettings readSettings(_PrinterHandle* handle, unsigned items, QStringList& failed);

// settings with only the given items kept.
PrinterSettings onlyItems(PrinterSettings settings, unsigned items);

// The items of wanted that current does not hold: compared as the set frames that would store
// them, so two values the printer cannot tell apart count as equal.
unsigned differingItems(const PrinterSettings& wanted, const PrinterSettings& current);

// Writes every frame, all of them even after a failure; the names of the failed ones go to failed.
void writeFrames(_PrinterHandle* handle, const QList<NamedFrame>& frames, QStringList& failed);
