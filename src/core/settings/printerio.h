#pragma once

#include "link/printerlink.h"
#include "settings/items.h"
#include "settings/printersettings.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// An item that could not be read or written, with what the link said, so a message can name the
// cause of the item that actually failed.
struct ItemFailure
{
    QString item; // the item's name: "ethernet ip"
    Outcome outcome;
    // False for a frame not sent at all: the printer had failed earlier in the command.
    bool sent = true;

    bool ok() const { return outcome.ok(); }
};
using ItemFailures = QList<ItemFailure>;

// The failures of frames that were sent (true) or not sent at all (false).
ItemFailures failuresSent(const ItemFailures& failures, bool sent);
// The names of the failed items, for messages.
QStringList failedNames(const ItemFailures& failures);
// The first failure's transport result, 0 when there is none, for the members that return it.
int firstCode(const ItemFailures& failures);

// Reads one item's reply data into data (at most 255 bytes, then zeros that end every text
// field); data untouched unless the read succeeded.
ItemFailure readItem(PrinterLink& link, const ItemSpec& item, QByteArray& data);

// Reads the given items in table order into settings; those whose read failed go to failed and
// leave settings as they were.
void readItems(PrinterLink& link, unsigned items, PrinterSettings& settings, ItemFailures& failed);
PrinterSettings readSettings(PrinterLink& link, unsigned items, ItemFailures& failed);

// settings with only the given items kept.
PrinterSettings onlyItems(PrinterSettings settings, unsigned items);

// The items of wanted that current does not hold: compared as the set frames that would store
// them, so two values the printer cannot tell apart count as equal.
unsigned differingItems(const PrinterSettings& wanted, const PrinterSettings& current);

// Writes the frames in order until the printer is lost (a time-out, a failed or cut write): the
// failed ones are returned, those not sent after it too.
ItemFailures writeFrames(PrinterLink& link, const QList<NamedFrame>& frames);
