#include "command.h"
#include "documents.h"
#include "output.h"

#include "networkchecks.h"
#include "rpsetuptr.h"
#include "settings/applychange.h"
#include "settings/fieldcodecs.h"
#include "settings/printerio.h"
#include "settings/settingschange.h"
#include "settings/settingsdocument.h"
#include "signaldeferral.h"
#include "usb/cdeviceioopera.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

// The item's place in the document: its object, or its one field's key.
QString pathOf(unsigned id)
{
    const ItemSpec& item = itemSpec(SettingsItem(id));
    return item.merged() ? item.path()
                         : QStringLiteral("%1.%2").arg(item.path(), item.fields.front().jsonKey);
}

QJsonValue masked(unsigned id, const QJsonValue& value, bool showSecrets)
{
    return showSecrets ? value : withSecretsMasked(itemSpec(SettingsItem(id)), value);
}

// Whether the item's field under this key of its document object is a secret.
bool secretKey(unsigned id, const QString& jsonKey)
{
    for (const FieldSpec& f : itemSpec(SettingsItem(id)).fields)
        if (jsonKey == QLatin1String(f.jsonKey))
            return isSecret(f);
    return false;
}

QString statusName(ApplyReport::Status status)
{
    switch (status) {
    case ApplyReport::Changed:
        return QStringLiteral("changed");
    case ApplyReport::WouldChange:
        return QStringLiteral("would-change");
    case ApplyReport::Failed:
        return QStringLiteral("failed");
    case ApplyReport::Unchanged:
        break;
    }
    return QStringLiteral("unchanged");
}

// Compact JSON, so that a value shows its type and a name cannot carry control characters
// to the terminal.
QString shown(const QJsonValue& value)
{
    if (value.isUndefined())
        return QStringLiteral("?");
    const QByteArray array = toJsonText(QJsonDocument(QJsonArray{value}), QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// The messages of what failed, naming the printer, in the order it happened; the exit status.
int reportErrors(const ApplyReport& report, const QString& label, QStringList& errors)
{
    const auto say = [&](const QString& message, const ItemFailures& items) {
        if (!items.isEmpty())
            errors << message.arg(label, failedNames(items).join(QLatin1String(", ")));
    };
    say(Rpsetup::tr("%1：读取失败：%2"), report.readFailed);
    if (!report.readFailed.isEmpty())
        return PrinterFailed;
    if (!report.refused.isEmpty()) {
        errors << report.refused;
        return BadUsage;
    }
    say(Rpsetup::tr("%1：写入失败：%2"), report.writeFailed);
    say(Rpsetup::tr("%1：未发送：%2"), report.notSent);
    say(Rpsetup::tr("%1：已写入，但读回失败：%2"), report.readBackFailed);
    say(Rpsetup::tr("%1：读回的值与写入的不同：%2"), report.mismatched);
    return report.stored() ? int(Success) : int(PrinterFailed);
}

// {"port", "path", "changed", "items": {ITEM: {"status", "before", "after"}}}.
QJsonObject reportToJson(const ApplyReport& report, int port, const QString& path, bool showSecrets)
{
    QJsonObject items;
    for (const ApplyReport::Item& item : report.items) {
        QJsonObject entry{{"status", statusName(item.status)},
                          {"before", masked(item.id, item.before, showSecrets)}};
        if (!item.after.isUndefined())
            entry["after"] = masked(item.id, item.after, showSecrets);
        items[item.name] = entry;
    }
    return QJsonObject{{"port", port},
                       {"path", path.isEmpty() ? QJsonValue() : QJsonValue(path)},
                       {"changed", report.changed()},
                       {"items", items}};
}

// One line per field that differs: print.speed: "faster" → "normal".
QStringList reportDiff(const ApplyReport& report, bool showSecrets)
{
    QStringList lines;
    const QString mask = QString::fromLatin1(SecretMask);
    const auto line = [&](const QString& path, const QJsonValue& before, const QJsonValue& after,
                          bool secret) {
        const bool hide = secret && !showSecrets;
        lines << QStringLiteral("%1: %2 → %3")
                     .arg(path, hide ? mask : shown(before), hide ? mask : shown(after));
    };
    for (const ApplyReport::Item& item : report.items) {
        if (item.status == ApplyReport::Unchanged)
            continue;
        if (!item.before.isObject() && !item.after.isObject()) {
            line(pathOf(item.id), item.before, item.after,
                 isSecret(itemSpec(SettingsItem(item.id)).fields.front()));
            continue;
        }
        const QJsonObject before = item.before.toObject();
        const QJsonObject after = item.after.toObject();
        for (auto it = before.begin(); it != before.end(); ++it)
            if (after.value(it.key()) != it.value())
                line(pathOf(item.id) + QLatin1Char('.') + it.key(), it.value(),
                     after.value(it.key()), secretKey(item.id, it.key()));
    }
    return lines;
}

// 0 with the change the document at path asks for, or the exit status after saying why it
// cannot be applied.
int readChange(const QString& path, std::optional<QJsonObject>& document, SettingsChange& change)
{
    QByteArray text;
    if (const int rc = readDocumentFile(path, text))
        return rc;
    DocumentErrors errors;
    document = parseDocumentText(text, errors);
    if (document)
        change = changeFromDocument(*document, errors);
    if (!errors.ok()) {
        for (const QString& message : errors.messages)
            err(escapeControls(message));
        return BadUsage;
    }
    return change.itemsNamed() ? int(Success) : noSettings(path);
}

// Static mode, turned on or kept for an address the document gives (the printers' own modes are
// not known before they are read): without an address, each printer keeps the one it stored,
// often the same factory default.
int refuseStaticModes(const SettingsChange& change, const QList<Target>& targets)
{
    const auto isStatic = [&](SettingsField dhcp, SettingsField address) {
        const auto mode = change.values.find(dhcp);
        return mode != change.values.end() ? !std::get<bool>(mode->second) : change.has(address);
    };
    PrinterSettings addresses;
    if (isStatic(SettingsField::EthernetDhcp, SettingsField::EthernetIp))
        addresses.ethernetIp = EthernetIp{false, {}, {}, {}};
    if (isStatic(SettingsField::WifiIpDhcp, SettingsField::WifiIp))
        addresses.wifiIp = WifiIp{false, {}, {}, {}, {}};
    return refuseStaticAddress(addresses, targets);
}

// One line per printer, and with --diff one per field changed.
void printReport(const Target& target, const ApplyReport& report, int status,
                 const QCommandLineParser& parser)
{
    QStringList names;
    for (const ApplyReport::Item& item : report.items)
        if (item.status != ApplyReport::Unchanged)
            names << item.name;
    if (status == Success && names.isEmpty())
        out(Rpsetup::tr("%1：无需更改").arg(target.label()));
    else if (status == Success)
        out((parser.isSet("check") ? Rpsetup::tr("%1：将更改：%2") : Rpsetup::tr("%1：已更改：%2"))
                .arg(target.label())
                .arg(names.join(QLatin1String(", "))));
    if (parser.isSet("diff"))
        for (const QString& line : reportDiff(report, parser.isSet("show-secrets")))
            out(QStringLiteral("  ") + line);
}

// The reports of --json in the printers' order: one, or with --all an array.
void printJsonReports(const QHash<QString, QJsonObject>& reports, const QList<Target>& targets,
                      bool all)
{
    QJsonArray array;
    for (const Target& target : targets)
        if (reports.contains(target.path))
            array << reports.value(target.path);
    if (!array.isEmpty())
        out(QString::fromUtf8(
                toJsonText(all ? QJsonDocument(array) : QJsonDocument(array.first().toObject())))
                .trimmed());
}

// The items a till's connection depends on: a change to one is checked at the new address.
constexpr unsigned NetworkItems =
    ItemEthernetIp | ItemEthernetPorts | ItemWifiMode | ItemStation | ItemAccessPoint | ItemWifiIp;

// --check-network[=S]: nothing, or the options of the check after a write (a bare
// --check-network arrives as =0).
int networkCheckOption(const QCommandLineParser& parser, std::optional<NetworkCheckOptions>& o)
{
    if (!parser.isSet("check-network"))
        return Success;
    bool ok = false;
    const int seconds = parser.value("check-network").toInt(&ok);
    if (!ok || seconds < 0 || seconds > 3600)
        return usageError(
            QStringLiteral("--check-network: %1").arg(Rpsetup::tr("应为0到3600之间的秒数")));
    o = NetworkCheckOptions{seconds, false, !parser.isSet("json")};
    return Success;
}

// After a write that changed a network item: every static address checked as check-network
// does; a printer that does not answer there fails the command.
QJsonObject checkNetworkAfter(PrinterLink& link, const Target& target,
                              const NetworkCheckOptions& options, int& status)
{
    ItemFailures failed;
    const NetworkPlan plan = networkPlan(readSettings(link, NetworkPlanItems, failed));
    if (!failed.isEmpty()) {
        status = readFailed(target, failed);
        return {{"answered", false}};
    }
    const NetworkChecks checks = checkTargets(plan.targets, options, target.label());
    if (!checks.allAnswered())
        status = std::max(status, int(PrinterFailed));
    return networkJson(checks, plan);
}

int apply(Invocation& call)
{
    if (call.args.size() != 1)
        return usageError(Rpsetup::tr("请指定一个设置文件"));
    std::optional<QJsonObject> document;
    SettingsChange change;
    if (const int rc = readChange(call.args.first(), document, change))
        return rc;
    QList<Target> targets;
    if (const int rc = call.targets.choose(targets))
        return rc;
    if (const int rc = refuseStaticModes(change, targets))
        return rc;
    const bool json = call.parser.isSet("json");
    const bool checkOnly = call.parser.isSet("check");
    std::optional<NetworkCheckOptions> network;
    if (const int rc = networkCheckOption(call.parser, network))
        return rc;
    QHash<QString, QJsonObject> reports; // by path, said in the printers' order
    const auto sayReports = [&] { printJsonReports(reports, targets, call.targets.all()); };
    const auto said = [&](const Target& target, const ApplyReport& report,
                          const QStringList& errors, int status) {
        for (const QString& message : errors)
            err(message);
        if (json)
            reports[target.path] =
                reportToJson(report, target.port, target.path, call.parser.isSet("show-secrets"));
        else
            printReport(target, report, status, call.parser);
        return status;
    };
    const auto run = [&](const Target& target, PrinterLink& link) {
        const ApplyReport report = applyChangeTo(link, change, checkOnly);
        QStringList errors;
        int status = reportErrors(report, target.label(), errors);
        said(target, report, errors, status);
        if (network && !checkOnly && (report.differing() & NetworkItems)) {
            const QJsonObject found = checkNetworkAfter(link, target, *network, status);
            if (json)
                reports[target.path].insert("network", found);
        }
        return status;
    };
    // What a printer's own fields make of the document can be refused: every printer is read
    // and checked before the first frame goes to any, and read again for the write, still
    // claimed.
    const auto check = [&](const Target& target, PrinterLink& link) {
        warnOfOtherSource(*document, target);
        const ApplyReport report = applyChangeTo(link, change, true);
        QStringList errors;
        const int status = reportErrors(report, target.label(), errors);
        if (status == BadUsage && call.targets.all())
            for (QString& message : errors)
                message = Rpsetup::tr("%1：%2").arg(target.label(), message);
        return status == Success ? status : said(target, report, errors, status);
    };
    // A signal that waited for a printer to be given back still ends the process, after the
    // report of what was written.
    SignalDeferral::setLastWords(sayReports);
    const int rc = call.targets.forEachChecked(targets, check, run);
    SignalDeferral::setLastWords({});
    sayReports();
    return rc;
}

} // namespace

QList<Command> applyCommands()
{
    return {
        {"apply",
         "[--check] [--diff] [--json] [--show-secrets] [--check-network[=S]] FILE",
         QT_TRANSLATE_NOOP("rpsetup", "使打印机具有文件中的设置，\n只写入不同的项"),
         QT_TRANSLATE_NOOP(
             "rpsetup",
             "文件为备份格式，可省略任何部分和字段，省略的保持打印机中的值。文件中的每一项先读取，"
             "只在不同时写入，再读回核对。\n"
             "--check 不写入，只报告将更改的项；--diff 列出每个更改的字段（之前 → 之后）；"
             "--json 每台打印机输出 {\"port\", \"path\", \"changed\", \"items\"}。\n"
             "密码显示为 ********，除非给出 --show-secrets。logo 无法读回，不在其中：请用 "
             "logo download。\n"
             "--check-network[=S]：写入更改了网络项时，像 check-network 一样检查每个静态地址"
             "（最多等待S秒）；打印机不应答时退出状态为1。"),
         {QCommandLineOption("check"), QCommandLineOption("diff"), QCommandLineOption("json"),
          QCommandLineOption("show-secrets"), QCommandLineOption("check-network", QString(), "S")},
         Targets::OneOrAll,
         apply}};
}
