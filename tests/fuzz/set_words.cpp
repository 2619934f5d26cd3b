// rpsetup's `set` words and the address and port parsers under them. An accepted value reads back
// the same from the text `show` prints for it; an accepted address or port from its formatted text.
// Input: the words as main() receives them, each ended by a zero byte.
#include "fuzz.h"

#include "setarguments.h"

#include "protocol/rawtext.h"

namespace {

void checkParsers(const QString& text)
{
    for (const EmptyParts empty : {EmptyParts::Refused, EmptyParts::ReadAsZero})
        if (const auto address = parseAddress(text, empty))
            FUZZ_REQUIRE(parseAddress(formatAddress(*address)) == address);
    if (const auto port = parsePort(text))
        FUZZ_REQUIRE(parsePort(QString::number(*port)) == port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList words;
    for (const QByteArray& word : fuzzBytes(data, size).split('\0')) {
        words << textFromBytes(word);
        checkParsers(words.last().mid(words.last().indexOf(QLatin1Char('=')) + 1));
    }

    SettingsChange change;
    QString error;
    if (!parseChange(words, change, error)) {
        FUZZ_REQUIRE(!error.isEmpty());
        return 0;
    }
    for (const auto& [field, value] : change.values) {
        const FieldSpec& f = fieldSpec(field);
        SettingsChange again;
        FUZZ_REQUIRE(parseChange({QLatin1String(f.key) + '=' + fieldText(f, value)}, again, error));
        FUZZ_REQUIRE(again.values.at(field) == value);
    }
    return 0;
}
