// A reply read whole, in USB packets of every bulk size and in TCP segments cut anywhere (the
// network link reads through the same scanner) gives the same frame or the same verdict. Input:
// class (bits 0-1, 3 any) and any command (bit 2), command, TCP cut count and lengths, the bytes.
#include "fuzz.h"

#include "protocol/reply.h"

#include <utility>
#include <vector>

namespace {

using Outcome = std::pair<ReplyScan::Kind, QByteArray>;

// As the transport reads: each piece appended, then settled, until a frame (returned) or a bad
// reply.
Outcome read(const ReplyCollector& collect, const QByteArray& stream,
             const std::vector<int>& pieces)
{
    QByteArray collected;
    int at = 0;
    for (const int n : pieces) {
        collected += stream.mid(at, n);
        at += n;
        const ReplyScan::Kind kind = settleReply(collect, collected);
        if (kind != ReplyScan::NeedMore)
            return {kind, kind == ReplyScan::Frame ? collected : QByteArray()};
    }
    return {ReplyScan::NeedMore, {}};
}

// Full speed's bulk packet sizes, high speed's and SuperSpeed's.
const int PacketSizes[] = {8, 16, 32, 64, 512, 1024};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3 || size < 3u + data[2])
        return 0;
    const int frameClass = (data[0] & 3) == 3 ? AnyCommand : data[0] & 3;
    const int command = data[0] & 4 ? AnyCommand : data[1];
    const ReplyCollector collect = [&](const unsigned char* bytes, int length) {
        return scanReply(bytes, length, frameClass, command);
    };
    std::vector<int> segments(data + 3, data + 3 + data[2]);
    const QByteArray stream = fuzzBytes(data + 3 + data[2], size - 3 - data[2]);
    segments.push_back(stream.size());

    const Outcome whole = read(collect, stream, {int(stream.size())});
    for (const int packet : PacketSizes)
        FUZZ_REQUIRE(read(collect, stream, std::vector<int>(stream.size() / packet + 1, packet)) ==
                     whole);
    FUZZ_REQUIRE(read(collect, stream, segments) == whole);

    const QByteArray& f = whole.second;
    if (whole.first == ReplyScan::Frame)
        FUZZ_REQUIRE(f.size() == 9 + std::uint8_t(f[5]) && f.startsWith("\x1B\xFF\xFE") &&
                     f.endsWith("\x1B\xFE\xFF") && (frameClass < 0 || f[3] == frameClass) &&
                     (command < 0 || std::uint8_t(f[4]) == command));
    return 0;
}
