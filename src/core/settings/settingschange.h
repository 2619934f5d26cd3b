#pragma once

#include "settings/items.h"
#include "settings/printersettings.h"

#include <QString>

#include <map>
#include <set>

// Some fields of some items, checked one by one before anything is sent: the arguments of `set`
// or a desired-state document. A change to some fields of a multi-field item is merged into the
// item as read from the printer and the item written whole.
struct SettingsChange
{
    std::map<SettingsField, FieldValue> values;
    // Values a document gives as a printer held them (from a backup): the rules do not apply to
    // them, so what was read can be written back.
    std::set<SettingsField> asHeld;

    bool has(SettingsField field) const { return values.count(field) != 0; }
    // The items that must be read first because only some of their fields change.
    unsigned itemsToRead() const;
    // Every item the change sets, whole or in part; none for an empty change.
    unsigned itemsNamed() const;
};

// The items to write: current (as read) with the change applied. False with "key: rule" when a
// merged item breaks a rule (a password of the wrong length, access-point mode without address)
// on a field not held as the printer held it.
bool applyChange(const SettingsChange& change, const PrinterSettings& current,
                 PrinterSettings& result, QString& error);

// "path: too long" for an item whose frame would not fit its length byte (names given as bytes
// can be that long); empty when every item of settings fits.
QString oversizedItem(const PrinterSettings& settings);

// The change written into settings without any rule checked: what a whole document restores.
void writeChange(const SettingsChange& change, PrinterSettings& settings);
