#pragma once

#include <QByteArray>
#include <QString>

// Text whose bytes need not be UTF-8: printers' network names, file names on the command line.
// A byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80 + (byte - 0x80) in
// the text and that byte again on the way back, so the bytes come through a QString unchanged
// where QString::fromUtf8 would replace them for good.
QString textFromBytes(const QByteArray& bytes);
QByteArray bytesFromText(const QString& text);
// The byte text[i] stands for, or -1. The low half of a surrogate pair (a character past
// U+FFFF) has the same range and is no byte.
int foreignByteAt(const QString& text, int i);
// Whether the text holds such a byte.
bool holdsForeignBytes(const QString& text);
