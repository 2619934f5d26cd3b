#pragma once

#include "protocol/frame.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// What every test layer shares: frames as hex, so that a failing comparison shows both sides,
// and the count of open descriptors, which a leaked libusb context or device handle raises.
namespace testsupport {

// "1BFFFE 01 0D ..." in any spacing.
inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Each frame as "1B FF FE ...": compare these lists, and a mismatch prints both in hex.
inline QStringList hexFrames(const QList<QByteArray>& frames)
{
    QStringList out;
    for (const QByteArray& frame : frames)
        out << QString::fromLatin1(toHex(frame));
    return out;
}

// A hex text in any spacing, normalised to what hexFrames gives.
inline QString frameHex(const char* spaced)
{
    return QString::fromLatin1(toHex(hex(spaced)));
}

// Whether a log or an output holds secret as its text or as the hex of its bytes, in either case
// and however the bytes are spaced, separated or spread over lines.
inline bool holdsSecret(const QString& text, const QString& secret)
{
    static const QRegularExpression hexWord(QStringLiteral("\\b[0-9A-Fa-f]+\\b"));
    QString digits;
    for (auto it = hexWord.globalMatch(text); it.hasNext();)
        digits += it.next().captured();
    return text.contains(secret) ||
           digits.contains(QString::fromLatin1(secret.toUtf8().toHex()), Qt::CaseInsensitive);
}

// Descriptors other than sockets (the simulated bus keeps its own, and they come and go).
inline int openDescriptors()
{
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (!fd.symLinkTarget().contains(QLatin1String("socket:")))
            ++count;
    return count;
}

// Checked after many rounds: a leak on any path grows with them, while the simulated bus may
// hold one descriptor more or fewer from one moment to the next.
#define QVERIFY_NO_DESCRIPTOR_LEAK(before)                                                         \
    do {                                                                                           \
        const int after = testsupport::openDescriptors();                                          \
        QVERIFY2(after <= (before) + 1,                                                            \
                 qPrintable(QStringLiteral("%1 descriptors, %2 before").arg(after).arg(before)));  \
    } while (false)

} // namespace testsupport
