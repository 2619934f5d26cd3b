#include "settings/printerio.h"

#include "link/linkquery.h"
#include "protocol/frame.h"

#include <algorithm>

ItemFailures failuresSent(const ItemFailures& failures, bool sent)
{
    ItemFailures kept;
    for (const ItemFailure& f : failures)
        if (f.sent == sent)
            kept << f;
    return kept;
}

QStringList failedNames(const ItemFailures& failures)
{
    QStringList names;
    for (const ItemFailure& f : failures)
        names << f.item;
    return names;
}

int firstCode(const ItemFailures& failures)
{
    return failures.isEmpty() ? 0 : failures.first().outcome.code;
}

ItemFailure readItem(PrinterLink& link, const ItemSpec& item, QByteArray& data)
{
    unsigned char buffer[QueryBufferSize];
    const Outcome got = item.readOnly
                            ? queryPrinterStatusInfo(link, POWER_InFo(item.command), buffer)
                            : queryPrinterInfo(link, SetInfoType(item.command), buffer);
    if (got.ok())
        data = QByteArray(reinterpret_cast<const char*>(buffer), frame::MaxPayload + 1);
    return ItemFailure{QString::fromLatin1(item.name), got};
}

void readItems(PrinterLink& link, unsigned items, PrinterSettings& s, ItemFailures& failed)
{
    QByteArray data;
    for (const ItemSpec& item : settingsItems()) {
        if (!(items & item.id))
            continue;
        const ItemFailure read = readItem(link, item, data);
        if (read.ok())
            item.decode(s, data);
        else
            failed << read;
    }
}

PrinterSettings readSettings(PrinterLink& link, unsigned items, ItemFailures& failed)
{
    PrinterSettings s;
    readItems(link, items, s, failed);
    return s;
}

PrinterSettings onlyItems(PrinterSettings s, unsigned items)
{
    for (const ItemSpec& item : settingsItems())
        if (!(items & item.id))
            item.reset(s);
    return s;
}

unsigned differingItems(const PrinterSettings& wanted, const PrinterSettings& current)
{
    const QList<NamedFrame> held = framesFor(current);
    unsigned differing = 0;
    for (const NamedFrame& f : framesFor(wanted)) {
        const auto same = std::find_if(held.begin(), held.end(), [&](const NamedFrame& h) {
            return h.id == f.id && h.frame == f.frame;
        });
        if (same == held.end())
            differing |= f.id;
    }
    return differing;
}

ItemFailures writeFrames(PrinterLink& link, const QList<NamedFrame>& frames)
{
    ItemFailures failed;
    for (const NamedFrame& f : frames) {
        if (link.lost()) {
            failed << ItemFailure{f.item, link.firstFailure(), false};
            continue;
        }
        const Outcome sent = sendFrame(link, f.frame);
        if (!sent.ok())
            failed << ItemFailure{f.item, sent, true};
    }
    return failed;
}
