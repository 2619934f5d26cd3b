#pragma once

#include <QString>

// Results go to standard output, messages to standard error, one line each.
void out(const QString& text);
void err(const QString& text);

// The message, the hint to --help, and the exit status of bad usage.
int usageError(const QString& message);

// Text read from the printer, for a terminal: control characters and the backslash as escapes, so
// a stored name cannot move the cursor or hide what follows it.
QString escapeControls(const QString& text);

// Flushes standard output; false when a write to it failed or was cut short (a full disk, a
// closed pipe), which must not end as success.
bool flushOutput();
