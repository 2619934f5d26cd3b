#include "link/statusquery.h"

#include <QtGlobal>

ReplyMatcher statusAnswer()
{
    return [](const unsigned char* bytes, int length) {
        if (length < 1)
            return ReplyScan{ReplyScan::NeedMore, 0};
        const ReplyScan frame = scanReply(bytes, length, AnyCommand, AnyCommand);
        if (frame.kind == ReplyScan::Frame)
            return ReplyScan{ReplyScan::Skip, frame.at};
        if (bytes[0] == 0x1B && frame.kind == ReplyScan::NeedMore)
            return frame;
        return ReplyScan{ReplyScan::Frame, 1};
    };
}

Outcome readPrinterStatus(PrinterLink& link, PrinterStatus& status, int budgetMs)
{
    // A late reply to an earlier command would be read as the first answer. A network printer's
    // connection is new, so nothing can wait there.
    if (link.kind() == PrinterLink::Kind::Usb) {
        Outcome drained = link.drain(StatusDrainMs);
        if (!drained.ok())
            return drained;
    }
    std::array<std::uint8_t, 4> answers = {};
    for (int i = 0; i < 4; ++i) {
        QByteArray answer;
        Outcome got = link.exchange(buildStatusRequest(StatusRequest(i + 1)), statusAnswer(),
                                    answer, budgetMs);
        if (i == 0 && got.failure == Failure::Timeout) {
            qDebug("status: no answer to DLE EOT 1; the printer does not report status");
            status = silentPrinterStatus();
            return Outcome::success();
        }
        if (!got.ok())
            return got;
        answers[size_t(i)] = std::uint8_t(answer[0]);
        qDebug("status %d: %02X", i + 1, unsigned(answers[size_t(i)]));
    }
    const std::optional<PrinterStatus> decoded = decodePrinterStatus(answers);
    if (!decoded)
        return Outcome::failed(Failure::NotAStatus, 4);
    status = *decoded;
    return Outcome::success();
}
