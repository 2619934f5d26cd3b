#include "protocol/reply.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

const unsigned char Start[] = {0x1B, 0xFF, 0xFE};
const unsigned char End[] = {0x1B, 0xFE, 0xFF};
constexpr int HeaderSize = 6;
constexpr int Overhead = 9;

// Where the first frame start begins; bytes that may be the beginning of one at the very end
// are kept for the next read.
int startOf(const unsigned char* bytes, int length, int& keep)
{
    const unsigned char* found =
        std::search(bytes, bytes + length, std::begin(Start), std::end(Start));
    keep = 0;
    if (found != bytes + length)
        return int(found - bytes);
    for (int n = std::min(length, 2); n > 0 && !keep; --n) {
        if (std::memcmp(bytes + length - n, Start, size_t(n)) == 0)
            keep = n;
    }
    return -1;
}

} // namespace

ReplyScan scanReply(const unsigned char* bytes, int length, int frameClass, int command)
{
    if (!bytes || length <= 0)
        return {ReplyScan::NeedMore, 0};
    int keep = 0;
    const int start = startOf(bytes, length, keep);
    if (start < 0)
        return keep == length ? ReplyScan{ReplyScan::NeedMore, 0}
                              : ReplyScan{ReplyScan::Skip, length - keep};
    if (start > 0)
        return {ReplyScan::Skip, start};
    if (length < HeaderSize)
        return {ReplyScan::NeedMore, 0};
    const int end = Overhead + bytes[5];
    const bool ours = (frameClass == AnyCommand || bytes[3] == frameClass) &&
                      (command == AnyCommand || bytes[4] == command);
    if (length < end)
        return {ReplyScan::NeedMore, 0};
    if (std::memcmp(bytes + end - 3, End, sizeof End) != 0)
        // A start that heads no frame of another command: look past it.
        return ours ? ReplyScan{ReplyScan::Malformed, 0} : ReplyScan{ReplyScan::Skip, sizeof Start};
    return {ours ? ReplyScan::Frame : ReplyScan::Skip, end};
}

ReplyVerdict checkReply(const unsigned char* reply, int length, std::uint8_t frameClass,
                        std::uint8_t command)
{
    if (!reply || length < int(sizeof Start) || std::memcmp(reply, Start, sizeof Start) != 0)
        return ReplyVerdict::Reject;
    const ReplyScan scan = scanReply(reply, length, frameClass, command);
    if (scan.kind == ReplyScan::Frame)
        return ReplyVerdict::Accept;
    return scan.kind == ReplyScan::Skip && scan.at >= Overhead ? ReplyVerdict::Skip
                                                               : ReplyVerdict::Reject;
}

ReplyScan::Kind settleReply(const ReplyCollector& collect, QByteArray& collected)
{
    for (;;) {
        const ReplyScan scan = collect(
            reinterpret_cast<const unsigned char*>(collected.constData()), collected.size());
        if (scan.kind == ReplyScan::Frame)
            collected.truncate(scan.at);
        if (scan.kind != ReplyScan::Skip)
            return scan.kind;
        qDebug("reply bytes passed over: %d", scan.at);
        collected.remove(0, qMax(1, scan.at));
    }
}
