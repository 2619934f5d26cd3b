#pragma once

#include <QByteArray>
#include <QString>

// Results go to standard output, messages to standard error, one line each.
void out(const QString& text);
void err(const QString& text);

// The message, the hint to --help, and the exit status of bad usage.
int usageError(const QString& message);

// The backup holds the Wi-Fi passwords: the file is readable by its owner only, from the moment it
// exists.
bool writePrivateFile(const QString& path, const QByteArray& data);
