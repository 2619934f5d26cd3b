#include "command.h"
#include "output.h"

#include "rpsetuptr.h"
#include "setarguments.h"
#include "settings/printerio.h"
#include "settings/settingsdocument.h"
#include "usb/query.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

void printSettings(const PrinterSettings& s, const Target& target)
{
    const auto line = [](const QString& key, const QString& value) {
        out(QStringLiteral("%1 %2").arg(key + ':', -17).arg(escapeControls(value)));
    };
    const QString port = QString::number(target.port);
    line(QStringLiteral("printer"),
         target.portShared
             ? QStringLiteral("%1 (port %2, %3)").arg(target.product, port, target.path)
             : QStringLiteral("%1 (port %2)").arg(target.product, port));
    for (const ItemSpec& item : settingsItems()) {
        if (!item.has(s) && !item.shownWhenUnread)
            continue;
        for (const FieldSpec& f : item.fields)
            line(QLatin1String(f.key), item.has(s) ? fieldText(f, f.get(s)) : QStringLiteral("?"));
    }
}

int show(Invocation& call)
{
    if (!call.args.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(escapeControls(call.args.join(' '))));
    const bool json = call.parser.isSet("json");
    QJsonArray documents;
    const int rc = call.targets.forEach([&](const Target& target, _PrinterHandle* handle) {
        ItemFailures failed;
        const PrinterSettings s = readSettings(handle, AllItems, failed);
        if (json)
            documents << toDocument(s, target.product, target.port, target.path);
        else
            printSettings(s, target);
        return failed.isEmpty() ? int(Success) : readFailed(target, failed);
    });
    if (json && !documents.isEmpty()) {
        const QJsonDocument doc = call.targets.all() ? QJsonDocument(documents)
                                                     : QJsonDocument(documents.first().toObject());
        out(QString::fromUtf8(toJsonText(doc)).trimmed());
    }
    return rc;
}

int set(Invocation& call)
{
    SettingsChange change;
    QString error;
    if (!parseChange(call.args, change, error))
        return usageError(escapeControls(error));
    // What each printer's own fields make of the change can be refused: every printer is checked
    // before the first frame goes to any.
    QHash<QString, PrinterSettings> results;
    const auto check = [&](const Target& target, _PrinterHandle* handle) {
        ItemFailures failed;
        const PrinterSettings current = readSettings(handle, change.itemsToRead(), failed);
        // Without the current item a partial change would overwrite its other fields with zeros.
        if (!failed.isEmpty())
            return readFailed(target, failed);
        if (!applyChange(change, current, results[target.path], error)) {
            err(call.targets.all() ? Rpsetup::tr("%1：%2").arg(target.label(), error) : error);
            return int(BadUsage);
        }
        return int(Success);
    };
    return call.targets.forEachChecked(check, [&](const Target& target, _PrinterHandle* handle) {
        return writeAll(target, handle, framesFor(results.value(target.path)));
    });
}

int selfTest(Invocation& call)
{
    if (!call.args.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(escapeControls(call.args.join(' '))));
    return call.targets.forEach([](const Target& target, _PrinterHandle* handle) {
        const int code = SetPrinterStatusButton(handle, SELF_TEST_PAGE);
        if (code == 0)
            return int(Success);
        return writeFailed(target,
                           {ItemFailure{QStringLiteral("self-test"), code, handle->failure}});
    });
}

} // namespace

QList<Command> settingsCommands()
{
    return {
        {"show",
         "[--json]",
         QT_TRANSLATE_NOOP("rpsetup", "速度、浓度、报警、固件日期、以太网、\nWi-Fi模式、"
                                      "客户端与热点、Wi-Fi IP"),
         QT_TRANSLATE_NOOP("rpsetup", "每一项可读取的设置。--json 输出备份文档（与 --all "
                                      "同用时输出它们的数组）。"),
         {QCommandLineOption("json")},
         Targets::OneOrAll,
         show},
        {"set",
         "KEY=VALUE...",
         QT_TRANSLATE_NOOP("rpsetup", "只修改给出的键"),
         QT_TRANSLATE_NOOP("rpsetup", "发送前检查所有的键。多字段项（以太网IP、端口、客户端、"
                                      "热点、Wi-Fi IP）的键合并进从打印机读出的该项。\n"
                                      "键见 rpsetup --help。"),
         {},
         Targets::OneOrAll,
         set},
        {"self-test",
         QString(),
         QT_TRANSLATE_NOOP("rpsetup", "打印自检页"),
         nullptr,
         {},
         Targets::OneOrAll,
         selfTest},
    };
}
