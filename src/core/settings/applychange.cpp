#include "settings/applychange.h"

#include "settings/items.h"
#include "settings/settingsdocument.h"

bool ApplyReport::changed() const
{
    for (const Item& item : items)
        if (item.status == Changed || item.status == WouldChange ||
            (item.written && item.after != item.before))
            return true;
    return false;
}

bool ApplyReport::stored() const
{
    if (!readFailed.isEmpty() || !refused.isEmpty())
        return false;
    for (const Item& item : items)
        if (item.status == Failed)
            return false;
    return true;
}

unsigned ApplyReport::differing() const
{
    unsigned ids = 0;
    for (const Item& item : items)
        if (item.status != Unchanged)
            ids |= item.id;
    return ids;
}

QJsonValue documentValue(const PrinterSettings& settings, unsigned id)
{
    const ItemSpec& item = itemSpec(SettingsItem(id));
    QJsonValue value = toDocument(onlyItems(settings, id), QString(), 0).value(item.section);
    if (item.object)
        value = value.toObject().value(item.object);
    return item.merged() ? value : value.toObject().value(item.fields.front().jsonKey);
}

namespace {

// Writes the items of wanted that differ and reads back those the printer took (written); the
// items not stored.
unsigned writeAndVerify(PrinterLink& link, const PrinterSettings& wanted, unsigned differing,
                        PrinterSettings& readBack, unsigned& written, ApplyReport& report)
{
    const QList<NamedFrame> frames = framesFor(onlyItems(wanted, differing));
    const ItemFailures writeFailed = writeFrames(link, frames);
    report.writeFailed = failuresSent(writeFailed, true);
    report.notSent = failuresSent(writeFailed, false);
    written = differing;
    for (const NamedFrame& f : frames)
        if (failedNames(writeFailed).contains(f.item))
            written &= ~f.id;
    // These reached the printer, which is changed; only what it holds now is unknown.
    readBack = readSettings(link, written, report.readBackFailed);
    // Items missing from readBack, written or not, differ too.
    const unsigned notStored = differingItems(onlyItems(wanted, differing), readBack);
    for (const NamedFrame& f : framesFor(onlyItems(readBack, notStored)))
        report.mismatched << ItemFailure{f.item, Outcome(), true};
    return notStored;
}

} // namespace

ApplyReport applyChangeTo(PrinterLink& link, const SettingsChange& change, bool check)
{
    ApplyReport report;
    const PrinterSettings current =
        readSettings(link, change.itemsNamed() | change.itemsToRead(), report.readFailed);
    // Without the items as they are, nothing can be compared or merged.
    if (!report.readFailed.isEmpty())
        return report;
    PrinterSettings wanted;
    if (!applyChange(change, current, wanted, report.refused))
        return report;
    wanted = onlyItems(wanted, change.itemsNamed());
    const unsigned differing = differingItems(wanted, current);
    PrinterSettings readBack;
    unsigned written = 0;
    const unsigned notStored =
        !check && differing ? writeAndVerify(link, wanted, differing, readBack, written, report)
                            : 0;
    for (const NamedFrame& f : framesFor(wanted)) {
        ApplyReport::Item item{f.item, f.id, ApplyReport::Unchanged, documentValue(current, f.id),
                               {},     false};
        if (!(differing & f.id)) {
            item.after = item.before;
        } else if (check) {
            item.status = ApplyReport::WouldChange;
            item.after = documentValue(wanted, f.id);
        } else {
            item.status = notStored & f.id ? ApplyReport::Failed : ApplyReport::Changed;
            item.written = written & f.id;
            item.after = documentValue(readBack, f.id);
        }
        report.items << item;
    }
    return report;
}
