#include "command.h"
#include "documents.h"
#include "output.h"

#include "rpsetuptr.h"
#include "signaldeferral.h"
#include "settings/fieldcodecs.h"
#include "settings/printerio.h"
#include "settings/settingschange.h"
#include "settings/settingsdocument.h"
#include "usb/cdeviceioopera.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

// What `apply` did to one printer: each item the document names, as read before and after.
struct ApplyReport
{
    enum Status
    {
        Unchanged,
        Changed,
        WouldChange,
        Failed,
    };
    struct Item
    {
        QString name;
        unsigned id = 0; // the SettingsItem
        Status status = Unchanged;
        QJsonValue before;    // in the document's shape
        QJsonValue after;     // as read back; undefined when it could not be read
        bool written = false; // the printer took its frame
    };
    QList<Item> items;
    QStringList errors; // one message per failure, naming the port, for standard error

    bool changed() const;
};

// The item's place in the document: its object, or its one field's key.
QString pathOf(unsigned id)
{
    const ItemSpec& item = itemSpec(SettingsItem(id));
    return item.merged() ? item.path()
                         : QStringLiteral("%1.%2").arg(item.path(), item.fields.front().jsonKey);
}

// The item as the document holds it; undefined when settings lack it.
QJsonValue documentValue(const PrinterSettings& settings, unsigned id)
{
    const ItemSpec& item = itemSpec(SettingsItem(id));
    QJsonValue value = toDocument(onlyItems(settings, id), QString(), 0).value(item.section);
    if (item.object)
        value = value.toObject().value(item.object);
    return item.merged() ? value : value.toObject().value(item.fields.front().jsonKey);
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

// A failed item the printer took changed it too, unless it reads back as it was.
bool ApplyReport::changed() const
{
    for (const Item& item : items)
        if (item.status == Changed || item.status == WouldChange ||
            (item.written && item.after != item.before))
            return true;
    return false;
}

using FailureSink = std::function<void(const QString&, const ItemFailures&)>;

// Writes the items of wanted that differ and reads back those the printer took (written); the
// items not stored. An item counts as stored only when the printer gives back what was written.
unsigned writeAndVerify(PrinterLink& link, const PrinterSettings& wanted, unsigned differing,
                        PrinterSettings& readBack, unsigned& written, const FailureSink& failure)
{
    const QList<NamedFrame> frames = framesFor(onlyItems(wanted, differing));
    const ItemFailures writeFailed = writeFrames(link, frames);
    if (const ItemFailures tried = failuresSent(writeFailed, true); !tried.isEmpty())
        failure(Rpsetup::tr("%1：写入失败：%2"), tried);
    if (const ItemFailures unsent = failuresSent(writeFailed, false); !unsent.isEmpty())
        failure(Rpsetup::tr("%1：未发送：%2"), unsent);
    written = differing;
    for (const NamedFrame& f : frames)
        if (failedNames(writeFailed).contains(f.item))
            written &= ~f.id;
    ItemFailures readFailed;
    readBack = readSettings(link, written, readFailed);
    // These reached the printer, which is changed; only what it holds now is unknown.
    if (!readFailed.isEmpty())
        failure(Rpsetup::tr("%1：已写入，但读回失败：%2"), readFailed);
    // Items missing from readBack, written or not, differ too.
    const unsigned notStored = differingItems(onlyItems(wanted, differing), readBack);
    ItemFailures mismatched;
    for (const NamedFrame& f : framesFor(onlyItems(readBack, notStored)))
        mismatched << ItemFailure{f.item, Outcome()};
    if (!mismatched.isEmpty())
        failure(Rpsetup::tr("%1：读回的值与写入的不同：%2"), mismatched);
    return notStored;
}

// Reads the items change names, writes those that differ (none when check is set) and reads
// them back. When the change merged into what the printer holds breaks a rule, nothing is written.
int applyToPrinter(PrinterLink& link, const QString& label, const SettingsChange& change,
                   bool check, ApplyReport& report)
{
    const auto failure = [&](const QString& message, const ItemFailures& items) {
        report.errors << message.arg(label).arg(failedNames(items).join(QLatin1String(", ")));
    };
    ItemFailures failed;
    const PrinterSettings current =
        readSettings(link, change.itemsNamed() | change.itemsToRead(), failed);
    // Without the items as they are, nothing can be compared or merged.
    if (!failed.isEmpty()) {
        failure(Rpsetup::tr("%1：读取失败：%2"), failed);
        return PrinterFailed;
    }
    PrinterSettings wanted;
    QString error;
    if (!applyChange(change, current, wanted, error)) {
        report.errors << error;
        return BadUsage;
    }
    wanted = onlyItems(wanted, change.itemsNamed());
    const unsigned differing = differingItems(wanted, current);
    PrinterSettings readBack;
    unsigned written = 0;
    const unsigned notStored =
        !check && differing ? writeAndVerify(link, wanted, differing, readBack, written, failure)
                            : 0;

    for (const NamedFrame& f : framesFor(wanted)) {
        ApplyReport::Item item{
            f.item, f.id, ApplyReport::Unchanged, documentValue(current, f.id), {}};
        if (!(differing & f.id)) {
            item.after = item.before;
        } else if (check) {
            item.status = ApplyReport::WouldChange;
            item.after = documentValue(wanted, f.id);
        } else {
            item.status = notStored & f.id ? ApplyReport::Failed : ApplyReport::Changed;
            item.written = written & f.id;
            item.after = documentValue(readBack, f.id);
        }
        report.items << item;
    }
    return notStored ? PrinterFailed : Success;
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
    QHash<QString, QJsonObject> reports; // by path, said in the printers' order
    const auto sayReports = [&] { printJsonReports(reports, targets, call.targets.all()); };
    const auto said = [&](const Target& target, const ApplyReport& report, int status) {
        for (const QString& message : report.errors)
            err(message);
        if (json)
            reports[target.path] =
                reportToJson(report, target.port, target.path, call.parser.isSet("show-secrets"));
        else
            printReport(target, report, status, call.parser);
        return status;
    };
    const auto run = [&](const Target& target, PrinterLink& link) {
        ApplyReport report;
        return said(target, report,
                    applyToPrinter(link, target.label(), change, checkOnly, report));
    };
    // What a printer's own fields make of the document can be refused: every printer is read
    // and checked before the first frame goes to any, and read again for the write, still
    // claimed.
    const auto check = [&](const Target& target, PrinterLink& link) {
        warnOfOtherSource(*document, target);
        ApplyReport report;
        const int status = applyToPrinter(link, target.label(), change, true, report);
        if (status == BadUsage && call.targets.all())
            for (QString& message : report.errors)
                message = Rpsetup::tr("%1：%2").arg(target.label(), message);
        return status == Success ? status : said(target, report, status);
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
         "[--check] [--diff] [--json] [--show-secrets] FILE",
         QT_TRANSLATE_NOOP("rpsetup", "使打印机具有文件中的设置，\n只写入不同的项"),
         QT_TRANSLATE_NOOP(
             "rpsetup",
             "文件为备份格式，可省略任何部分和字段，省略的保持打印机中的值。文件中的每一项先读取，"
             "只在不同时写入，再读回核对。\n"
             "--check 不写入，只报告将更改的项；--diff 列出每个更改的字段（之前 → 之后）；"
             "--json 每台打印机输出 {\"port\", \"path\", \"changed\", \"items\"}。\n"
             "密码显示为 ********，除非给出 --show-secrets。logo 无法读回，不在其中：请用 "
             "logo download。"),
         {QCommandLineOption("check"), QCommandLineOption("diff"), QCommandLineOption("json"),
          QCommandLineOption("show-secrets")},
         Targets::OneOrAll,
         apply}};
}
