#pragma once

#include "link/printerlink.h"
#include "settings/printerio.h"
#include "settings/settingschange.h"

#include <QJsonValue>
#include <QList>
#include <QString>

// What bringing one printer to a change did: each item the change names, as read before and
// after, and every failure on the way, for a front end to word.
struct ApplyReport
{
    enum Status
    {
        Unchanged,
        Changed,
        WouldChange,
        Failed,
    };
    struct Item
    {
        QString name;
        unsigned id = 0; // the SettingsItem
        Status status = Unchanged;
        QJsonValue before;    // in the document's shape
        QJsonValue after;     // as read back; undefined when it could not be read
        bool written = false; // the printer took its frame
    };
    QList<Item> items;

    ItemFailures readFailed;     // the first read: nothing was compared or written
    QString refused;             // the change merged into what the printer holds breaks a rule
    ItemFailures writeFailed;    // sent, and the printer did not take them
    ItemFailures notSent;        // not sent at all: the printer had failed earlier
    ItemFailures readBackFailed; // written, but what the printer holds now is unknown
    ItemFailures mismatched;     // read back as other than written

    // Whether the printer holds anything other than before: a failed item it took changed it
    // too, unless it reads back as it was.
    bool changed() const;
    // Every named item now holds what the change asks for (or would, with check).
    bool stored() const;
    // The items that differed and so were (or would be) written.
    unsigned differing() const;
};

// Reads the items the change names, writes those that differ (none when check is set) and reads
// them back: an item counts as stored only when the printer gives back what was written. When
// the change merged into what the printer holds breaks a rule, nothing is written.
ApplyReport applyChangeTo(PrinterLink& link, const SettingsChange& change, bool check);

// The item as a settings document holds it; undefined when settings lack it.
QJsonValue documentValue(const PrinterSettings& settings, unsigned id);
