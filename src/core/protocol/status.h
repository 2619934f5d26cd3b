#pragma once

#include <QByteArray>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

// The real-time status request DLE EOT n (10 04 n): sent on its own, never inside a command
// frame, and answered with one byte, even while the printer is offline or out of paper.
enum class StatusRequest : std::uint8_t
{
    Printer = 1,
    OfflineCause = 2,
    ErrorCause = 3,
    PaperSensor = 4,
};
QByteArray buildStatusRequest(StatusRequest n);

// Every answer has bit 1 and bit 4 set and bit 0 and bit 7 clear; anything else is not a status.
bool isStatusByte(std::uint8_t b);

// What a printer's four status answers (n = 1, 2, 3, 4) say.
struct PrinterStatus
{
    enum class Paper
    {
        Ok,
        NearEnd,
        End,
    };

    bool reports = false; // false: the printer answered nothing to n = 1
    bool drawerHigh = false;
    bool offline = false;
    bool coverOpen = false;
    bool feeding = false; // paper being fed by the feed button
    bool stoppedByPaperEnd = false;
    bool error = false;
    bool cutterError = false;
    bool unrecoverable = false;
    bool recoverable = false;
    Paper paper = Paper::Ok;
    std::array<std::uint8_t, 4> raw = {};

    // Reports, online, no error and paper not at its end: a till's receipt would print.
    bool ready() const;
    // Something a till would stop at (critical), or only paper near its end (a warning).
    bool critical() const;
    // The problems in words ("cover open", "out of paper"), translated in the "QObject" context;
    // empty when ready.
    QStringList problems() const;
    // "ready", the problems joined, or "does not report status".
    QString summary() const;
};

// The four answers decoded; nothing when any of them is not a status byte.
std::optional<PrinterStatus> decodePrinterStatus(const std::array<std::uint8_t, 4>& answers);
// A printer that answered nothing at all to n = 1.
PrinterStatus silentPrinterStatus();
