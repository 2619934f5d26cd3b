#include "settings/printerio.h"

#include "protocol/frame.h"
#include "usb/query.h"

#include <algorithm>

namespace {

// The reason is taken at once: the next exchange on the record replaces it.
ItemFailure result(const QString& item, int code, const _PrinterHandle* handle)
{
    return ItemFailure{
        item, code, code == 0 || code == FrameRefused ? TransportFailure::None : handle->failure};
}

} // namespace

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
    return failures.isEmpty() ? 0 : failures.first().code;
}

ItemFailure readItem(_PrinterHandle* handle, const ItemSpec& item, QByteArray& data)
{
    unsigned char buffer[QueryBufferSize];
    const int code = item.readOnly ? GetPrinterStatusInfo(handle, POWER_InFo(item.command), buffer)
                                   : GetPrinterInfo(handle, SetInfoType(item.command), buffer);
    if (code == 0)
        data = QByteArray(reinterpret_cast<const char*>(buffer), frame::MaxPayload + 1);
    return result(QString::fromLatin1(item.name), code, handle);
}

void readItems(_PrinterHandle* handle, unsigned items, PrinterSettings& s, ItemFailures& failed)
{
    QByteArray data;
    for (const ItemSpec& item : settingsItems()) {
        if (!(items & item.id))
            continue;
        const ItemFailure read = readItem(handle, item, data);
        if (read.code == 0)
            item.decode(s, data);
        else
            failed << read;
    }
}

PrinterSettings readSettings(_PrinterHandle* handle, unsigned items, ItemFailures& failed)
{
    PrinterSettings s;
    readItems(handle, items, s, failed);
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

ItemFailures writeFrames(_PrinterHandle* handle, const QList<NamedFrame>& frames)
{
    ItemFailures failed;
    for (const NamedFrame& f : frames) {
        if (handle->lost != TransportFailure::None) {
            failed << ItemFailure{f.item, TransportFailed, handle->lost, false};
            continue;
        }
        const int code = sendFrame(handle, f.frame);
        if (code != 0)
            failed << result(f.item, code, handle);
    }
    return failed;
}
