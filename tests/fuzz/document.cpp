// The settings document as restore and apply read it, and as backup writes it.
// Input: a document's text; or a zero byte, then for each item of the table a length byte and
// that many bytes of the payload the printer answered, for a backup of that state.
// An accepted document sends only well-formed frames, and a value outside the rules only where
// the document gives it in the form that marks a value as the printer held it. A backup reads back
// to the frames of the state it was written from.
#include "fuzz.h"

#include "output.h"

#include "settings/settingsdocument.h"

#include <QJsonDocument>

namespace {

QList<QByteArray> framesOf(const PrinterSettings& settings)
{
    QList<QByteArray> frames;
    for (const NamedFrame& f : framesFor(settings))
        frames << f.frame;
    return frames;
}

void checkHeldValues(const PrinterSettings& settings, const SettingsChange& change)
{
    const QStringList outside = valuesKeptAsHeld(settings);
    for (const ItemSpec& item : settingsItems())
        for (const FieldSpec& f : item.fields)
            if (change.has(f.id) && !change.asHeld.count(f.id))
                FUZZ_REQUIRE(!outside.contains(item.path() + '.' + f.jsonKey));
}

void readDocumentText(const QByteArray& json)
{
    DocumentErrors errors;
    QJsonObject document;
    const PrinterSettings settings = fromDocumentText(json, errors, &document);
    if (errors.ok()) {
        for (const QByteArray& f : framesOf(settings))
            FUZZ_REQUIRE(f.size() >= frame::EnvelopeSize &&
                         f.size() == frame::EnvelopeSize + std::uint8_t(f[5]));
        checkHeldValues(settings, changeFromDocument(document, errors));
        FUZZ_REQUIRE(errors.ok());
    }
    DocumentErrors changeErrors;
    if (const auto object = parseDocumentText(json, changeErrors)) {
        const SettingsChange change = changeFromDocument(*object, changeErrors);
        PrinterSettings changed;
        writeChange(change, changed);
        checkHeldValues(changed, change);
    }
}

void backUpAndRestore(const std::uint8_t* data, std::size_t size)
{
    PrinterSettings held;
    std::size_t at = 0;
    for (const ItemSpec& item : settingsItems()) {
        const std::size_t length = at < size ? std::min<std::size_t>(data[at], size - at - 1) : 0;
        item.decode(held, at < size ? fuzzBytes(data + at + 1, length) : QByteArray());
        at += 1 + length;
    }
    const QByteArray json =
        toJsonText(QJsonDocument(toDocument(held, QStringLiteral("Printer"), 1, "1-1")));
    DocumentErrors errors;
    const PrinterSettings restored = fromDocumentText(json, errors);
    // Only an item too long for one frame (see the items target) may refuse the whole backup.
    const QString oversized = oversizedItem(held);
    FUZZ_REQUIRE(errors.messages == (oversized.isEmpty() ? QStringList() : QStringList{oversized}));
    if (oversized.isEmpty())
        FUZZ_REQUIRE(framesOf(restored) == framesOf(held));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] == 0)
        backUpAndRestore(data + 1, size - 1);
    else
        readDocumentText(fuzzBytes(data, size));
    return 0;
}
