#include "command.h"
#include "output.h"

#include "link/outcome.h"
#include "rpsetuptr.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

int list(Invocation& call)
{
    if (!call.args.isEmpty())
        return extraArguments(call.args);
    const QList<Target> printers = attachedPrinters(PrinterBus());
    if (call.parser.isSet("json")) {
        QJsonArray array;
        for (const Target& p : printers)
            array << QJsonObject{{"port", p.port},
                                 {"path", p.path},
                                 {"product", p.product},
                                 {"selector", selectorText(p.product.toLatin1(), p.port)},
                                 {"access", p.refused ? "no-permission" : "ok"}};
        out(QString::fromUtf8(toJsonText(QJsonDocument(array))).trimmed());
    } else {
        for (const Target& p : printers)
            out(printerLine(p));
    }
    if (std::any_of(printers.begin(), printers.end(), [](const Target& p) { return p.refused; }))
        err(failureText(Failure::AccessDenied));
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
             QT_TRANSLATE_NOOP("rpsetup",
                               "每台打印机一行：端口、产品名和总线路径（供 --path 使用），以制表符"
                               "分隔；\n无权打开的打印机以“（无权限）”代替产品名。\n--json："
                               "[{\"port\": N, \"path\": \"1-2.1\", \"product\": \"...\", "
                               "\"selector\": \"...\", \"access\": \"ok\" 或 "
                               "\"no-permission\"}]"),
             {QCommandLineOption("json")},
             Targets::Unused,
             list}};
}
