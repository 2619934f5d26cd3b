#pragma once

#include "protocol/rawtext.h"

#include <QByteArray>
#include <QString>

class QFile;

// File names reach rpsetup as bytes, which need not be UTF-8: arguments are held as rawtext.h's
// text (QFile::decodeName would replace such bytes for good) and opened byte for byte.

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
// symbolic link at the name is replaced, never followed. A FIFO, a terminal or a device at the
// name (or at the end of a link there, as /dev/stdout) is written to as it is, never replaced.
bool replaceFilePrivately(const QString& argument, const QByteArray& data);

// Writes data to a new or truncated file (a logo preview); a symbolic link at the name is
// replaced, never followed.
bool writeFile(const QString& argument, const QByteArray& data);
// Creates the directory and its parents.
bool makeDirectories(const QString& argument);
