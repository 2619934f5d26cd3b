// A status answer read from a byte stream, and the four answers decoded: the answer found is the
// same whether the stream comes whole or a byte at a time, and only four status bytes decode.
#include "fuzz.h"

#include "link/statusquery.h"

namespace {

// Drops what match passes over, as the links do; the answer byte once one is whole, else -1.
int settled(const ReplyMatcher& match, QByteArray& bytes)
{
    for (;;) {
        const ReplyScan scan =
            match(reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()));
        if (scan.kind == ReplyScan::Frame)
            return std::uint8_t(bytes[0]);
        if (scan.kind != ReplyScan::Skip)
            return -1;
        bytes.remove(0, qMax(1, scan.at));
    }
}

// The same with the bytes arriving one at a time.
int settledByteByByte(const ReplyMatcher& match, const QByteArray& bytes)
{
    QByteArray held;
    for (const char b : bytes)
        if (const int found = settled(match, held.append(b)); found >= 0)
            return found;
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const ReplyMatcher match = statusAnswer();
    QByteArray all = bytes;
    const int whole = settled(match, all);
    const int early = settledByteByByte(match, bytes);
    // A frame's start waits for its end, so a byte at a time meets no other answer first.
    FUZZ_REQUIRE(early == whole);
    if (size < 4)
        return 0;
    const std::array<std::uint8_t, 4> four = {data[0], data[1], data[2], data[3]};
    const std::optional<PrinterStatus> s = decodePrinterStatus(four);
    bool valid = true;
    for (const std::uint8_t b : four)
        valid = valid && isStatusByte(b);
    FUZZ_REQUIRE(bool(s) == valid);
    if (s) {
        FUZZ_REQUIRE(s->reports && s->raw == four && !s->summary().isEmpty());
        FUZZ_REQUIRE(!s->ready() || (!s->offline && s->paper != PrinterStatus::Paper::End));
        FUZZ_REQUIRE(s->ready() || !s->problems().isEmpty());
    }
    return 0;
}
