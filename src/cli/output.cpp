#include "output.h"

#include "command.h"

#include "rpsetuptr.h"

#include <cstdio>

void out(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

void err(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}

int usageError(const QString& message)
{
    err(message);
    err(Rpsetup::tr("用 rpsetup --help 查看用法"));
    return BadUsage;
}

QString escapeControls(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '\\')
            escaped += QLatin1String("\\\\");
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            escaped += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

bool flushOutput()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}
