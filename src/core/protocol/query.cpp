#include "protocol/query.h"

#include "usb/cdeviceioopera.h"

#include <QtGlobal>

#include <cstring>

namespace {

int exchange(_PrinterHandle* handle, QByteArray frame, unsigned char* out, const char* retFormat,
             bool logReply)
{
    unsigned char reply[CDeviceIOOpera::ReplySize];
    std::memset(reply, 0, sizeof reply);
    int replyLength = 0;
    const std::uint8_t frameClass = std::uint8_t(frame[3]);
    const std::uint8_t command = std::uint8_t(frame[4]);
    const int ret = CDeviceIOOpera::PrinterDataIOQuery(
        handle, reinterpret_cast<unsigned char*>(frame.data()), frame.size(), reply, replyLength,
        [&](const unsigned char* bytes, int length) {
            return checkReply(bytes, length, frameClass, command);
        });
    qDebug(retFormat, ret);
    std::memset(out, 0, QueryBufferSize);
    if (ret != 0)
        return ret;
    if (logReply)
        qDebug("getinfo mesage :%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X",
               reply[0], reply[1], reply[2], reply[3], reply[4], reply[5], reply[6], reply[7],
               reply[8], reply[9], reply[10], reply[11], reply[12]);
    const QByteArray data = replyData(reply, sizeof reply);
    for (int i = 0; i < data.size(); ++i) {
        out[i] = std::uint8_t(data[i]);
        qDebug("get mesage :%02X", out[i]);
    }
    return 0;
}

void logFrame(const char* format, const QByteArray& f)
{
    const auto b = [&f](int i) { return unsigned(std::uint8_t(f[i])); };
    qDebug(format, b(0), b(1), b(2), b(3), b(4), b(5), b(6), b(7), b(8));
}

} // namespace

CDeviceIOOpera::ReplyVerdict checkReply(const unsigned char* reply, int length,
                                        std::uint8_t frameClass, std::uint8_t command)
{
    using Verdict = CDeviceIOOpera::ReplyVerdict;
    static const unsigned char Start[] = {0x1B, 0xFF, 0xFE};
    static const unsigned char End[] = {0x1B, 0xFE, 0xFF};
    if (!reply || length < 6 || std::memcmp(reply, Start, sizeof Start) != 0)
        return Verdict::Reject;
    if (reply[3] != frameClass || reply[4] != command)
        return Verdict::Skip;
    const int tail = 6 + reply[5];
    if (length < tail + 3 || std::memcmp(reply + tail, End, sizeof End) != 0)
        return Verdict::Reject;
    return Verdict::Accept;
}

int GetPrinterInfo(_PrinterHandle* handle, SetInfoType item, unsigned char* out)
{
    const QByteArray frame = buildGetFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    return exchange(handle, frame, out, "GetPrinterInfo ret:%d", true);
}

int GetPrinterStatusInfo(_PrinterHandle* handle, POWER_InFo item, unsigned char* out)
{
    const QByteArray frame = buildStatusFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    logFrame("getinfo mesage :%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X", frame);
    return exchange(handle, frame, out, "GetStatusPrinterInfo ret:%d", false);
}

int SetPrinterStatusButton(_PrinterHandle* handle, POWER_InFo item)
{
    const QByteArray frame = buildStatusFrame(item);
    qDebug("rrrrr %02X", unsigned(item));
    logFrame("setinfo mesage :%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X", frame);
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
