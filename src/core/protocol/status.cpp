#include "protocol/status.h"

#include <QObject>

namespace {

constexpr std::uint8_t Dle = 0x10;
constexpr std::uint8_t Eot = 0x04;

bool bit(std::uint8_t b, int n)
{
    return (b >> n) & 1;
}

} // namespace

QByteArray buildStatusRequest(StatusRequest n)
{
    QByteArray bytes;
    bytes.append(char(Dle)).append(char(Eot)).append(char(n));
    return bytes;
}

bool isStatusByte(std::uint8_t b)
{
    return (b & 0x93) == 0x12;
}

std::optional<PrinterStatus> decodePrinterStatus(const std::array<std::uint8_t, 4>& answers)
{
    for (const std::uint8_t b : answers)
        if (!isStatusByte(b))
            return std::nullopt;
    PrinterStatus s;
    s.reports = true;
    s.raw = answers;
    const auto [printer, offline, error, paper] = answers;
    s.drawerHigh = bit(printer, 2);
    s.offline = bit(printer, 3);
    s.coverOpen = bit(offline, 2);
    s.feeding = bit(offline, 3);
    s.stoppedByPaperEnd = bit(offline, 5);
    s.error = bit(offline, 6);
    s.cutterError = bit(error, 3);
    s.unrecoverable = bit(error, 5);
    s.recoverable = bit(error, 6);
    // Sensors report each state on two bits; either one counts.
    s.paper = (paper & 0x60)   ? PrinterStatus::Paper::End
              : (paper & 0x0C) ? PrinterStatus::Paper::NearEnd
                               : PrinterStatus::Paper::Ok;
    return s;
}

PrinterStatus silentPrinterStatus()
{
    return PrinterStatus();
}

bool PrinterStatus::ready() const
{
    return reports && !critical() && paper != Paper::End;
}

bool PrinterStatus::critical() const
{
    return offline || coverOpen || stoppedByPaperEnd || paper == Paper::End || error ||
           cutterError || unrecoverable || recoverable;
}

QStringList PrinterStatus::problems() const
{
    QStringList words;
    if (!reports)
        return words;
    if (offline)
        words << QObject::tr("离线");
    if (coverOpen)
        words << QObject::tr("上盖打开");
    if (paper == Paper::End || stoppedByPaperEnd)
        words << QObject::tr("缺纸");
    else if (paper == Paper::NearEnd)
        words << QObject::tr("纸将用尽");
    if (feeding)
        words << QObject::tr("正在走纸");
    if (cutterError)
        words << QObject::tr("切刀错误");
    if (unrecoverable)
        words << QObject::tr("不可恢复的错误");
    if (recoverable)
        words << QObject::tr("可自动恢复的错误");
    if (error && !cutterError && !unrecoverable && !recoverable)
        words << QObject::tr("错误");
    return words;
}

QString PrinterStatus::summary() const
{
    if (!reports)
        return QObject::tr("不报告状态");
    QStringList words = problems();
    if (ready())
        words.prepend(QObject::tr("就绪"));
    return words.join(QObject::tr("，"));
}
