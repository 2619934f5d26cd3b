// The settings document as restore and apply read it: a value outside the rules only where the
// document marks it as held; and as backup writes it: it restores to the frames of its state.
// Input: a document; or a zero byte, then per item of the table a length byte and its payload.
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

// As restore reads the text, and as apply does.
void readDocumentText(const QByteArray& json)
{
    DocumentErrors errors;
    QJsonObject document;
    const PrinterSettings settings = fromDocumentText(json, errors, &document);
    DocumentErrors changeErrors;
    const SettingsChange change = changeFromDocument(document, changeErrors);
    if (errors.ok()) {
        checkHeldValues(settings, change);
        FUZZ_REQUIRE(changeErrors.ok());
    }
    PrinterSettings changed;
    writeChange(change, changed);
    checkHeldValues(changed, change);
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
