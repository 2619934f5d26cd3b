#include "protocol/frame.h"

namespace {
const char Start[] = {'\x1B', '\xFF', '\xFE'};
const char End[] = {'\x1B', '\xFE', '\xFF'};
} // namespace

QByteArray buildFrame(unsigned char frameClass, unsigned char command, const QByteArray& payload)
{
    if (payload.size() > frame::MaxPayload)
        return {};
    QByteArray out;
    out.reserve(payload.size() + frame::EnvelopeSize);
    out.append(Start, 3);
    out.append(char(frameClass));
    out.append(char(command));
    out.append(char(payload.size()));
    out.append(payload);
    out.append(End, 3);
    return out;
}

QByteArray buildGetFrame(SetInfoType item)
{
    return buildFrame(GetClass, item);
}

QByteArray buildStatusFrame(POWER_InFo item)
{
    return buildFrame(StatusClass, item);
}

QByteArray buildSetFrame(SetInfoType item, const QByteArray& payload)
{
    return buildFrame(SetClass, item, payload);
}

QByteArray replyData(const unsigned char* reply, int replySize)
{
    if (!reply || replySize <= 5)
        return {};
    const int n = reply[5];
    QByteArray data(n, '\0');
    for (int i = 0; i < n && frame::HeaderSize + i < replySize; ++i)
        data[i] = char(reply[frame::HeaderSize + i]);
    return data;
}

QByteArray toHex(const QByteArray& bytes)
{
    return bytes.toHex(' ').toUpper();
}
