#include "output.h"

#include "command.h"
#include "files.h"

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

int extraArguments(const QStringList& args)
{
    return usageError(Rpsetup::tr("多余的参数：%1").arg(escapeControls(args.join(' '))));
}

QString escapeControls(const QString& text)
{
    QString escaped;
    for (int i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        const int byte = foreignByteAt(text, i);
        if (u == '\\')
            escaped += QLatin1String("\\\\");
        else if (byte >= 0 || u < 0x20 || u == 0x7F)
            escaped += QStringLiteral("\\x%1").arg(byte >= 0 ? byte : u, 2, 16, QLatin1Char('0'));
        else if (u >= 0x80 && u < 0xA0)
            escaped += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            escaped += text[i];
    }
    return escaped;
}

QByteArray toJsonText(const QJsonDocument& document, QJsonDocument::JsonFormat format)
{
    const QByteArray json = document.toJson(format);
    QByteArray escaped;
    escaped.reserve(json.size());
    for (int i = 0; i < json.size(); ++i) {
        const uchar b = uchar(json[i]);
        // Outside strings JSON has neither; inside them the escape reads back as the same text.
        if (b == 0x7F) {
            escaped += "\\u007f";
        } else if (b == 0xC2 && i + 1 < json.size() && uchar(json[i + 1]) < 0xA0) {
            escaped += "\\u00" + QByteArray::number(uchar(json[++i]), 16);
        } else {
            escaped += char(b);
        }
    }
    return escaped;
}

bool flushOutput()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}
