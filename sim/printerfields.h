#pragma once

#include "simprinter.h"

#include <QString>

namespace sim {

// One --printer FIELDS of the launcher: comma-separated key=value fields ("\," for a comma in a
// value). position is the printer's place on the command line, its port when none is given.
// false with a message when a key is unknown or a value is out of range.
bool parsePrinterFields(const QString& fields, int position, PrinterConfig& config, QString* error);

// The FIELDS keys, for the launcher's help.
QString printerSpecHelp();

// Two printers on ports 1 and 2 with different names, settings and network data.
QList<PrinterConfig> demoPrinters();

} // namespace sim
