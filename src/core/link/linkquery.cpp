#include "link/linkquery.h"

#include "protocol/reply.h"

#include <QtGlobal>

#include <cstring>

namespace {

Outcome exchange(PrinterLink& link, const QByteArray& frame, unsigned char* out, bool logReply)
{
    const int frameClass = std::uint8_t(frame[3]);
    const int command = std::uint8_t(frame[4]);
    QByteArray answer;
    const Outcome got = link.exchange(
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
    unsigned char reply[264];
    std::memset(reply, 0, sizeof reply);
    std::memcpy(reply, answer.constData(), size_t(qMin(int(answer.size()), int(sizeof reply))));
    if (logReply)
        qDebug("getinfo mesage :%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X",
               reply[0], reply[1], reply[2], reply[3], reply[4], reply[5], reply[6], reply[7],
               reply[8], reply[9], reply[10], reply[11], reply[12]);
    const QByteArray data = replyData(reply, sizeof reply);
    for (int i = 0; i < data.size(); ++i) {
        out[i] = std::uint8_t(data[i]);
        qDebug("get mesage :%02X", out[i]);
    }
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
