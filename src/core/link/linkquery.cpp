#include "link/linkquery.h"

#include "protocol/network.h"
#include "protocol/reply.h"

#include <QtGlobal>

#include <cstring>

namespace {

Outcome exchange(PrinterLink& link, const QByteArray& frame, unsigned char* out, bool logReply)
{
    const int frameClass = std::uint8_t(frame[3]);
    const int command = std::uint8_t(frame[4]);
    QByteArray answer;
    Outcome got = link.exchange(
        frame,
        [&](const unsigned char* bytes, int length) {
            return scanReply(bytes, length, frameClass, command);
        },
        answer, PrinterLink::DefaultBudgetMs);
    if (frameClass == StatusClass)
        qDebug("GetStatusPrinterInfo ret:%d", got.code);
    else
        qDebug("GetPrinterInfo ret:%d", got.code);
    std::memset(out, 0, QueryBufferSize);
    if (!got.ok())
        return got;
    // Bytes the printer did not send stay zero; the log and the data rely on that.
    unsigned char reply[frame::EnvelopeSize + frame::MaxPayload];
    std::memset(reply, 0, sizeof reply);
    std::memcpy(reply, answer.constData(), size_t(qMin(int(answer.size()), int(sizeof reply))));
    // A Wi-Fi reply's password is logged as its mask, here and byte by byte.
    if (logReply) {
        const QByteArray head(reinterpret_cast<const char*>(reply), 13);
        qDebug("getinfo mesage :%s",
               loggedBytes(head, std::uint8_t(command), frame::HeaderSize).join(',').constData());
    }
    const QByteArray data = replyData(reply, sizeof reply);
    std::memcpy(out, data.constData(), std::size_t(data.size()));
    for (const QByteArray& byte : loggedBytes(data, std::uint8_t(command), 0))
        qDebug("get mesage :%s", byte.constData());
    return got;
}

// The nine bytes of a payload-less frame, after the word that says what it is.
void logFrame(const char* what, const QByteArray& f)
{
    const auto b = [&f](int i) { return unsigned(std::uint8_t(f[i])); };
    qDebug("%s mesage :%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X", what, b(0), b(1), b(2), b(3),
           b(4), b(5), b(6), b(7), b(8));
}

} // namespace

Outcome queryPrinterInfo(PrinterLink& link, SetInfoType item, unsigned char* out)
{
    const QByteArray frame = buildGetFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    return exchange(link, frame, out, true);
}

Outcome queryPrinterStatusInfo(PrinterLink& link, POWER_InFo item, unsigned char* out)
{
    const QByteArray frame = buildStatusFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    logFrame("getinfo", frame);
    return exchange(link, frame, out, false);
}

Outcome sendStatusButton(PrinterLink& link, POWER_InFo item)
{
    const QByteArray frame = buildStatusFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    logFrame("setinfo", frame);
    return sendFrame(link, frame);
}

Outcome sendFrame(PrinterLink& link, const QByteArray& frame)
{
    if (frame.isEmpty())
        return Outcome::failed(Failure::Refused, FrameRefused);
    return link.send(frame);
}
