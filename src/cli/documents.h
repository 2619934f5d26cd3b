#pragma once

#include "targets.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// What restore and apply share: a settings document is written to printers only under the same
// rules, whichever of them writes it.

// The text of the document file: 0, or the exit status after saying why it is not read (not a
// regular file, over 1 MiB, unreadable).
int readDocumentFile(const QString& path, QByteArray& json);

// The document gives nothing to write: said, with the exit status.
int noSettings(const QString& path);

// A static address is one printer's own: written to several, every one would take it. 0, or the
// exit status after saying so.
int refuseStaticAddress(const PrinterSettings& settings, const QList<Target>& targets);

// A document taken from another product may not suit this printer: a warning, nothing refused.
void warnOfOtherSource(const QJsonObject& document, const Target& target);
