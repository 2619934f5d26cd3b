#pragma once

#include "link/printerlink.h"
#include "protocol/status.h"

// The one-byte answer to a status request. A whole command frame before it is a late reply to
// an earlier command and is stepped over; a frame's first byte (1B) is never a status byte, so
// one that starts there waits for the rest.
ReplyMatcher statusAnswer();

// How long a status read first listens for bytes an earlier command left behind on USB.
constexpr int StatusDrainMs = 20;

// Asks DLE EOT 1, 2, 3 and 4 in turn, each on its own within budgetMs. A printer that answers
// nothing to the first does not report status: success, with status.reports false. An answer
// that is not a status byte fails with NotAStatus and never becomes a status.
Outcome readPrinterStatus(PrinterLink& link, PrinterStatus& status,
                          int budgetMs = PrinterLink::DefaultBudgetMs);
