#include "command.h"
#include "output.h"

#include "settings/rpsetuptr.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

int list(Invocation& call)
{
    if (!call.args.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(call.args.join(' ')));
    const QList<AttachedPrinter> printers = printersByPort();
    if (call.parser.isSet("json")) {
        QJsonArray array;
        for (const AttachedPrinter& p : printers)
            array << QJsonObject{{"port", p.port},
                                 {"product", QString::fromLatin1(p.product)},
                                 {"selector", p.text}};
        out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
    } else {
        for (const AttachedPrinter& p : printers)
            out(QStringLiteral("%1\t%2").arg(p.port).arg(
                escapeControls(QString::fromLatin1(p.product))));
    }
    if (printers.isEmpty()) {
        err(Rpsetup::tr("未找到打印机"));
        return NoPrinter;
    }
    return Success;
}

} // namespace

QList<Command> listCommands()
{
    return {{"list",
             "[--json]",
             QT_TRANSLATE_NOOP("rpsetup", "已连接的打印机及其端口"),
             QT_TRANSLATE_NOOP("rpsetup", "每台打印机一行：端口、制表符、产品名。\n--json："
                                          "[{\"port\": N, \"product\": \"...\", \"selector\": "
                                          "\"...\"}]"),
             {QCommandLineOption("json")},
             Targets::Unused,
             list}};
}
