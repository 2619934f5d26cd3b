#include "usb/query.h"

#include "protocol/network.h"
#include "protocol/reply.h"

#include <QtGlobal>

#include <cstring>

namespace {

int exchange(_PrinterHandle* handle, QByteArray frame, unsigned char* out, bool logReply)
{
    unsigned char reply[CDeviceIOOpera::ReplySize];
    std::memset(reply, 0, sizeof reply);
    int replyLength = 0;
    const int frameClass = std::uint8_t(frame[3]);
    const std::uint8_t command = std::uint8_t(frame[4]);
    const int ret = CDeviceIOOpera::PrinterDataIOQuery(
        handle, reinterpret_cast<unsigned char*>(frame.data()), frame.size(), reply, replyLength,
        [&](const unsigned char* bytes, int length) {
            return scanReply(bytes, length, frameClass, command);
        });
    if (frameClass == StatusClass)
        qDebug("GetStatusPrinterInfo ret:%d", ret);
    else
        qDebug("GetPrinterInfo ret:%d", ret);
    std::memset(out, 0, QueryBufferSize);
    if (ret != 0)
        return ret;
    // A Wi-Fi reply's password is logged as its mask, here and byte by byte.
    if (logReply) {
        const QByteArray head(reinterpret_cast<const char*>(reply), 13);
        qDebug("getinfo mesage :%s",
               loggedBytes(head, command, frame::HeaderSize).join(',').constData());
    }
    const QByteArray data = replyData(reply, sizeof reply);
    std::memcpy(out, data.constData(), std::size_t(data.size()));
    for (const QByteArray& byte : loggedBytes(data, command, 0))
        qDebug("get mesage :%s", byte.constData());
    return 0;
}

// The nine bytes of a payload-less frame, after the word that says what it is.
void logFrame(const char* what, const QByteArray& f)
{
    const auto b = [&f](int i) { return unsigned(std::uint8_t(f[i])); };
    qDebug("%s mesage :%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X", what, b(0), b(1), b(2), b(3),
           b(4), b(5), b(6), b(7), b(8));
}

} // namespace

int GetPrinterInfo(_PrinterHandle* handle, SetInfoType item, unsigned char* out)
{
    const QByteArray frame = buildGetFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    return exchange(handle, frame, out, true);
}

int GetPrinterStatusInfo(_PrinterHandle* handle, POWER_InFo item, unsigned char* out)
{
    const QByteArray frame = buildStatusFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    logFrame("getinfo", frame);
    return exchange(handle, frame, out, false);
}

int SetPrinterStatusButton(_PrinterHandle* handle, POWER_InFo item)
{
    const QByteArray frame = buildStatusFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    logFrame("setinfo", frame);
    return sendFrame(handle, frame);
}

int sendFrame(_PrinterHandle* handle, const QByteArray& frame)
{
    if (frame.isEmpty())
        return FrameRefused;
    QByteArray bytes = frame;
    unsigned char unusedReply = 0;
    int unusedLength = 0;
    return CDeviceIOOpera::PrinterDataIOButton(handle,
                                               reinterpret_cast<unsigned char*>(bytes.data()),
                                               bytes.size(), &unusedReply, unusedLength);
}
