#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// File names reach rpsetup as bytes, which need not be UTF-8. Arguments are decoded so that every
// byte outside valid UTF-8 becomes a lone surrogate (U+DC80 to U+DCFF) and encoded back exactly,
// so a file name is opened byte for byte; QFile::decodeName would replace such bytes for good.
QString decodeArgument(const QByteArray& bytes);
QByteArray encodeArgument(const QString& argument);

// The byte text[i] stands for when decodeArgument made it of a byte outside valid UTF-8, or -1.
// The low half of a surrogate pair (a character past U+FFFF) has the same range and is no byte.
int escapedByte(const QString& text, int i);

enum class FileError
{
    None,
    CannotOpen,
    NotRegular, // a FIFO, a device or a directory: reading it could block or never end
    TooLarge,
    ReadFailed,
};

// Opens a regular file for reading without blocking on a FIFO on the way.
FileError openRegularFile(const QString& argument, QFile& file);
// The whole of a regular file of at most maxBytes.
FileError readRegularFile(const QString& argument, qint64 maxBytes, QByteArray& data);

// Replaces the file with data, readable by its owner only: a temporary file beside it is written,
// flushed to the disk and renamed over it, so a failure leaves the old file as it was and a
// symbolic link at the name is replaced, never followed.
bool replaceFilePrivately(const QString& argument, const QByteArray& data);

// Writes data to a new or truncated file (a logo preview).
bool writeFile(const QString& argument, const QByteArray& data);
// Creates the directory and its parents.
bool makeDirectories(const QString& argument);
