#pragma once

#include <QByteArray>

#include <cstdint>
#include <functional>

// What a query makes of a reply that starts at the first byte: the whole reply to its own class
// and command is accepted; a whole reply to another command is skipped (a late answer to an
// earlier query); anything else (a wrong start, the payload its length byte announces or the
// 1B FE FF tail not all there) is rejected.
enum class ReplyVerdict
{
    Accept,
    Skip,
    Reject,
};
ReplyVerdict checkReply(const unsigned char* reply, int length, std::uint8_t frameClass,
                        std::uint8_t command);

// What the bytes read so far hold, looked at from their start. A reply may come in several
// transfers, after empty ones, and behind bytes that belong to nothing or to another command.
struct ReplyScan
{
    enum Kind
    {
        NeedMore,  // no whole frame yet: read on
        Frame,     // the first `at` bytes are the reply
        Skip,      // drop the first `at` bytes and look again
        Malformed, // a frame for this command whose tail is wrong: the reply is bad
    };
    Kind kind = NeedMore;
    int at = 0;
};

// frameClass or command AnyCommand: a whole frame of any command is the reply.
constexpr int AnyCommand = -1;
ReplyScan scanReply(const unsigned char* bytes, int length, int frameClass, int command);

// Looks at the bytes read so far (scanReply with the query's class and command bound).
using ReplyCollector = std::function<ReplyScan(const unsigned char* bytes, int length)>;

// Drops what the collector passes over from the bytes read so far, after each read of a packet or
// segment; what is left is a whole frame (cut to it), the start of one, or a malformed reply.
ReplyScan::Kind settleReply(const ReplyCollector& collect, QByteArray& collected);
