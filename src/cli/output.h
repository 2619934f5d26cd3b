#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

// Results go to standard output, messages to standard error, one line each.
void out(const QString& text);
void err(const QString& text);

// The message, the hint to --help, and the exit status of bad usage.
int usageError(const QString& message);
// usageError for arguments a command does not take.
int extraArguments(const QStringList& args);

// Text from outside (a printer, a document, an argument), for a terminal: a stored name cannot
// move the cursor or hide what follows it. \xHH always stands for one byte: a control character
// below 0x80 (ESC is \x1b), or a byte of a file name that is not UTF-8; a C1 control, two bytes
// in UTF-8, is \u0080 to \u009f; the backslash is \\. Text already decoded keeps its U+FFFD.
QString escapeControls(const QString& text);

// The document as JSON whose strings carry no C1 control or DEL raw either (the toolkit escapes
// only those below 0x20): \u009b reads back as the same text, and cannot act on a terminal.
QByteArray toJsonText(const QJsonDocument& document,
                      QJsonDocument::JsonFormat format = QJsonDocument::Indented);

// Flushes standard output; false when a write to it failed or was cut short (a full disk, a
// closed pipe), which must not end as success.
bool flushOutput();
