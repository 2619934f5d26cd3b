#pragma once

#include "link/printerlink.h"
#include "protocol/status.h"

// How long a status read first listens for bytes an earlier command left behind on USB.
constexpr int StatusDrainMs = 20;

// Asks DLE EOT 1, 2, 3 and 4 in turn, each on its own within budgetMs. A printer that answers
// nothing to the first does not report status: success, with status.reports false. An answer
// that is not a status byte fails with NotAStatus and never becomes a status.
Outcome readPrinterStatus(PrinterLink& link, PrinterStatus& status,
                          int budgetMs = PrinterLink::DefaultBudgetMs);
