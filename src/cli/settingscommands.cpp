#include "command.h"
#include "output.h"

#include "link/linkquery.h"
#include "rpsetuptr.h"
#include "setarguments.h"
#include "settings/fieldcodecs.h"
#include "settings/printerio.h"
#include "settings/settingsdocument.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

void printSettings(const PrinterSettings& s, const Target& target, bool showSecrets)
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
            line(QLatin1String(f.key), !item.has(s)                  ? QStringLiteral("?")
                                       : isSecret(f) && !showSecrets ? QString(SecretMask)
                                                                     : fieldText(f, f.get(s)));
    }
}

int show(Invocation& call)
{
    if (!call.args.isEmpty())
        return extraArguments(call.args);
    const bool json = call.parser.isSet("json");
    const bool showSecrets = call.parser.isSet("show-secrets");
    QJsonArray documents;
    const int rc = call.targets.forEach([&](const Target& target, PrinterLink& link) {
        ItemFailures failed;
        const PrinterSettings s = readSettings(link, AllItems, failed);
        if (json) {
            const QJsonObject document = toDocument(s, target.product, target.port, target.path);
            documents << (showSecrets ? document : withSecretsMasked(document));
        } else {
            printSettings(s, target, showSecrets);
        }
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
    const auto check = [&](const Target& target, PrinterLink& link) {
        ItemFailures failed;
        const PrinterSettings current = readSettings(link, change.itemsToRead(), failed);
        // Without the current item a partial change would overwrite its other fields with zeros.
        if (!failed.isEmpty())
            return readFailed(target, failed);
        if (!applyChange(change, current, results[target.path], error)) {
            err(call.targets.all() ? Rpsetup::tr("%1：%2").arg(target.label(), error) : error);
            return int(BadUsage);
        }
        return int(Success);
    };
    return call.targets.forEachChecked(check, [&](const Target& target, PrinterLink& link) {
        return writeAll(target, link, framesFor(results.value(target.path)));
    });
}

int selfTest(Invocation& call)
{
    if (!call.args.isEmpty())
        return extraArguments(call.args);
    return call.targets.forEach([](const Target& target, PrinterLink& link) {
        const Outcome sent = sendStatusButton(link, SELF_TEST_PAGE);
        if (sent.ok())
            return int(Success);
        return writeFailed(target, {ItemFailure{QStringLiteral("self-test"), sent}});
    });
}

} // namespace

QList<Command> settingsCommands()
{
    return {
        {"show",
         "[--json] [--show-secrets]",
         QT_TRANSLATE_NOOP("rpsetup", "速度、浓度、报警、固件日期、以太网、\nWi-Fi模式、"
                                      "客户端与热点、Wi-Fi IP"),
         QT_TRANSLATE_NOOP("rpsetup", "每一项可读取的设置。--json 输出备份文档（与 --all "
                                      "同用时输出它们的数组）。\n"
                                      "密码显示为 ********，除非给出 --show-secrets；"
                                      "backup 保留密码。"),
         {QCommandLineOption("json"), QCommandLineOption("show-secrets")},
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
