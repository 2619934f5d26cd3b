// Every settings item's decoder over any payload, walking the item table: what decodes is stored
// by a set frame (or refused as too long) that decodes to the same value and is stored by the same
// frame again. Input: a byte choosing the item, then the payload.
#include "fuzz.h"

#include "settings/items.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const ItemSpec& item = settingsItems()[data[0] % settingsItems().size()];
    PrinterSettings decoded;
    item.decode(decoded, fuzzBytes(data + 1, std::min<std::size_t>(size - 1, frame::MaxPayload)));
    // A read-only item is never sent. Fields the printer did not end take their zero bytes again,
    // so a full payload may not fit one frame: the item is then refused, and nothing is sent.
    const QByteArray sent = item.frame ? item.frame(decoded).value_or(QByteArray()) : QByteArray();
    if (sent.isEmpty())
        return 0;
    FUZZ_REQUIRE(sent.size() == frame::EnvelopeSize + std::uint8_t(sent[5]) &&
                 sent[3] == SetClass && std::uint8_t(sent[4]) == item.command);

    PrinterSettings again;
    item.decode(again, sent.mid(frame::HeaderSize, sent.size() - frame::EnvelopeSize));
    FUZZ_REQUIRE(item.frame(again) == sent);
    for (const FieldSpec& f : item.fields) {
        FieldValue expected = f.get(decoded);
        // The access point's address goes out in its one canonical form.
        if (f.kind == FieldKind::ApAddress)
            if (const auto address = parseAddress(std::get<QString>(expected)))
                expected = formatAddress(*address);
        FUZZ_REQUIRE(f.get(again) == expected);
    }
    return 0;
}
