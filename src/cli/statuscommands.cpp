#include "command.h"
#include "output.h"

#include "link/statusquery.h"
#include "networkchecks.h"
#include "rpsetuptr.h"
#include "settings/printerio.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include <algorithm>

namespace {

// The monitoring plugins' states, whose exit codes Nagios, Icinga and Zabbix read.
enum PluginState
{
    PluginOk = 0,
    PluginWarning = 1,
    PluginCritical = 2,
    PluginUnknown = 3,
};

// Critical outranks unknown: a printer known to be down matters more than one not heard.
int severity(int state)
{
    return state == PluginCritical ? 3 : state == PluginUnknown ? 2 : state;
}

const char* pluginWord(int state)
{
    switch (state) {
    case PluginOk:
        return "OK";
    case PluginWarning:
        return "WARNING";
    case PluginCritical:
        return "CRITICAL";
    default:
        return "UNKNOWN";
    }
}

int pluginState(const PrinterStatus& s)
{
    if (!s.reports)
        return PluginUnknown;
    if (s.critical())
        return PluginCritical;
    return s.paper == PrinterStatus::Paper::NearEnd ? PluginWarning : PluginOk;
}

QString paperWord(PrinterStatus::Paper paper)
{
    return paper == PrinterStatus::Paper::End       ? QStringLiteral("end")
           : paper == PrinterStatus::Paper::NearEnd ? QStringLiteral("near-end")
                                                    : QStringLiteral("ok");
}

QJsonObject statusJson(const Target& target, const PrinterStatus& s, const Outcome& read)
{
    QJsonObject o{{"printer", target.host ? target.host->toString() : target.path},
                  {"link", target.host ? "network" : "usb"},
                  {"reports", read.ok() && s.reports},
                  {"ready", read.ok() && s.ready()}};
    if (!target.host) {
        o.insert("port", target.port);
        o.insert("product", target.product);
    }
    if (!read.ok()) {
        o.insert("failure", outcomeText(read));
        o.insert("raw", QJsonValue::Null);
        return o;
    }
    QJsonArray errors;
    if (s.cutterError)
        errors << "cutter";
    if (s.unrecoverable)
        errors << "unrecoverable";
    if (s.recoverable)
        errors << "recoverable";
    o.insert("offline", s.offline);
    o.insert("coverOpen", s.coverOpen);
    o.insert("paper", paperWord(s.paper));
    o.insert("errors", errors);
    QJsonArray raw;
    for (const std::uint8_t b : s.raw)
        raw << int(b);
    o.insert("raw", s.reports ? QJsonValue(raw) : QJsonValue(QJsonValue::Null));
    return o;
}

int status(Invocation& call)
{
    if (!call.args.isEmpty())
        return extraArguments(call.args);
    const bool json = call.parser.isSet("json");
    const bool check = call.parser.isSet("check");
    QJsonArray array;
    QStringList lines;
    int worst = PluginOk;
    const auto note = [&](int state) {
        if (severity(state) > severity(worst))
            worst = state;
    };
    // A printer that cannot be reached is one more line of the summary, an unknown one.
    call.targets.onUnreachable([&](const Target& target, const Outcome& why) {
        if (json)
            array << statusJson(target, PrinterStatus(), why);
        lines << Rpsetup::tr("%1：%2").arg(target.label(), failureAfterLabel(why.failure));
        note(PluginUnknown);
    });
    const int rc = call.targets.forEach([&](const Target& target, PrinterLink& link) {
        PrinterStatus s;
        const Outcome read = readPrinterStatus(link, s);
        if (json)
            array << statusJson(target, s, read);
        const QString said = read.ok() ? s.summary() : failureAfterLabel(read.failure);
        lines << Rpsetup::tr("%1：%2").arg(target.label(), escapeControls(said));
        note(read.ok() ? pluginState(s) : PluginUnknown);
        return read.ok() ? int(Success) : int(PrinterFailed);
    });
    if (check) {
        if (lines.isEmpty())
            note(PluginUnknown);
        out(QStringLiteral("PRINTER %1 - %2")
                .arg(QLatin1String(pluginWord(worst)), lines.isEmpty()
                                                           ? Rpsetup::tr("无法读取状态")
                                                           : lines.join(QLatin1String("; "))));
    }
    if (json)
        out(QString::fromUtf8(toJsonText(QJsonDocument(array))).trimmed());
    else if (!check)
        for (const QString& line : lines)
            out(line);
    if (check)
        return rc == NoPrinter || rc == BadUsage ? int(PluginUnknown) : worst;
    return rc;
}

QString checkResult(const AddressCheck& c)
{
    if (c.answered())
        return Rpsetup::tr("应答：%1").arg(escapeControls(c.status.summary()));
    if (c.outcome.failure == Failure::Timeout)
        return Rpsetup::tr("无应答");
    return failureAfterLabel(c.outcome.failure);
}

QString resultWord(const AddressCheck& c)
{
    switch (c.outcome.failure) {
    case Failure::None:
        return QStringLiteral("answers");
    case Failure::ConnectionRefused:
        return QStringLiteral("connection-refused");
    case Failure::Timeout:
        return QStringLiteral("no-answer");
    case Failure::NoRoute:
        return QStringLiteral("no-route");
    case Failure::NotAStatus:
        return QStringLiteral("not-a-status");
    case Failure::HostNotFound:
        return QStringLiteral("host-not-found");
    default:
        return QStringLiteral("failed");
    }
}

// Before connecting: whether the address is on a subnet of this computer's, as the printer's
// own mask draws it.
// "port 1: ethernet 192.168.1.100:9100", or the address alone when it names the printer.
QString where(const QString& label, const NetworkTarget& t)
{
    return label.isEmpty() ? t.label() : Rpsetup::tr("%1：%2").arg(label, t.label());
}

void saySubnet(const QString& label, const NetworkTarget& t)
{
    if (!t.subnetKnown)
        return;
    const QString local = localInterfaceOn(t.ip, t.mask);
    if (!local.isEmpty())
        err(Rpsetup::tr("%1：%2：本机的接口 %3 在此子网上")
                .arg(label, t.label(), escapeControls(local)));
    else
        err(Rpsetup::tr("%1：%2：本机没有接口在此子网上，连接必须经过路由器")
                .arg(label, t.label()));
}

QJsonObject checkJson(const AddressCheck& c)
{
    QJsonObject o{{"interface", c.target.interfaceName.isEmpty()
                                    ? QJsonValue(QJsonValue::Null)
                                    : QJsonValue(c.target.interfaceName)},
                  {"address", c.target.address.host},
                  {"port", c.target.address.tcpPort},
                  {"localInterface", c.target.subnetKnown && !c.localInterface.isEmpty()
                                         ? QJsonValue(c.localInterface)
                                         : QJsonValue(QJsonValue::Null)},
                  {"result", resultWord(c)},
                  {"printed", c.printed}};
    if (c.answered())
        o.insert("ready", c.status.ready());
    return o;
}

} // namespace

NetworkChecks checkTargets(const QList<NetworkTarget>& targets, const NetworkCheckOptions& o,
                           const QString& label)
{
    NetworkChecks done;
    for (const NetworkTarget& t : targets)
        saySubnet(label, t);
    QElapsedTimer clock;
    clock.start();
    const qint64 waitMs = qint64(o.waitSeconds) * 1000;
    QList<NetworkTarget> pending = targets;
    bool said = false;
    for (;;) {
        QList<NetworkTarget> again;
        for (const NetworkTarget& t : pending) {
            // A wait ends when it says, however slow the last try: the budgets shrink to fit.
            CheckBudget budget;
            if (o.waitSeconds > 0) {
                const int left = int(qMax<qint64>(100, waitMs - clock.elapsed()));
                budget.connectMs = qMin(budget.connectMs, left);
                budget.replyMs = qMin(budget.replyMs, left);
            }
            const AddressCheck c = checkAddress(t, budget, o.print, QDateTime::currentDateTime());
            if (c.answered() || clock.elapsed() + 1000 > waitMs)
                done.checks << c;
            else
                again << t;
        }
        if (again.isEmpty())
            break;
        if (!said) {
            QStringList names;
            for (const NetworkTarget& t : again)
                names << t.label();
            err(Rpsetup::tr("等待 %1 应答，最多%2秒（Wi-Fi设置在打印机重启后生效）")
                    .arg(label.isEmpty() ? names.join(QLatin1String(", "))
                                         : Rpsetup::tr("%1：%2").arg(label, names.join(", ")),
                         QString::number(o.waitSeconds)));
            said = true;
        }
        QThread::msleep(1000);
        pending = again;
    }
    // What failed is a message, said with --json too; what answered is the result.
    for (const AddressCheck& c : done.checks) {
        const QString line = Rpsetup::tr("%1：%2").arg(where(label, c.target), checkResult(c));
        if (!c.answered())
            err(line);
        else if (o.lines)
            out(line);
    }
    return done;
}

QJsonObject networkJson(const NetworkChecks& checks, const NetworkPlan& plan)
{
    QJsonArray addresses;
    for (const AddressCheck& c : checks.checks)
        addresses << checkJson(c);
    return QJsonObject{{"addresses", addresses},
                       {"dhcp", QJsonArray::fromStringList(plan.dhcp)},
                       {"answered", checks.allAnswered()}};
}

namespace {

int checkNetwork(Invocation& call)
{
    if (!call.args.isEmpty())
        return extraArguments(call.args);
    NetworkCheckOptions options;
    options.print = call.parser.isSet("print");
    if (call.parser.isSet("wait")) {
        bool ok = false;
        options.waitSeconds = call.parser.value("wait").toInt(&ok);
        if (!ok || options.waitSeconds < 0 || options.waitSeconds > 3600)
            return usageError(
                QStringLiteral("--wait: %1").arg(Rpsetup::tr("应为0到3600之间的秒数")));
    }
    const bool json = call.parser.isSet("json");
    options.lines = !json;
    QJsonArray array;
    // An address given is checked as it is, on connections of the check's own: a printer takes
    // one at a time, so none may be held open beside them.
    if (const std::optional<PrinterAddress>& host = call.targets.host()) {
        NetworkPlan plan;
        plan.targets << NetworkTarget{QString(), *host, false, {}, {}};
        const NetworkChecks checks = checkTargets(plan.targets, options, QString());
        QJsonObject found = networkJson(checks, plan);
        found.insert("printer", host->toString());
        if (json)
            out(QString::fromUtf8(toJsonText(QJsonDocument(QJsonArray{found}))).trimmed());
        return checks.allAnswered() ? int(Success) : int(PrinterFailed);
    }
    const int rc = call.targets.forEach([&](const Target& target, PrinterLink& link) {
        ItemFailures failed;
        const NetworkPlan plan = networkPlan(readSettings(link, NetworkPlanItems, failed));
        if (!failed.isEmpty())
            return readFailed(target, failed);
        for (const QString& name : plan.dhcp)
            err(Rpsetup::tr("%1：%2 使用DHCP，没有可检查的地址；用 --host 指定地址")
                    .arg(target.label(), name));
        const NetworkChecks checks = checkTargets(plan.targets, options, target.label());
        QJsonObject found = networkJson(checks, plan);
        found.insert("printer", target.path);
        array << found;
        return checks.allAnswered() ? int(Success) : int(PrinterFailed);
    });
    if (json)
        out(QString::fromUtf8(toJsonText(QJsonDocument(array))).trimmed());
    return rc;
}

} // namespace

QList<Command> statusCommands()
{
    return {
        {"status",
         "[--json] [--check]",
         QT_TRANSLATE_NOOP("rpsetup", "打印机的实时状态：纸、上盖、错误"),
         QT_TRANSLATE_NOOP(
             "rpsetup",
             "用实时状态请求（DLE EOT 1 到 4）询问打印机，经USB或网络（--host）。每台打印机一行："
             "“就绪”、存在的问题，或“不报告状态”。\n"
             "--json：每台打印机一个对象 {\"printer\", \"link\", \"reports\", \"ready\", "
             "\"offline\", \"coverOpen\", \"paper\", \"errors\", \"raw\"}。\n"
             "退出状态：读到每台打印机的状态时为0（不报告状态也算）。--check 按监控插件的约定："
             "0 就绪，1 警告（纸将用尽），2 严重（离线、上盖打开、缺纸、错误），3 未知。"),
         {QCommandLineOption("json"), QCommandLineOption("check")},
         Targets::AnyLink,
         status},
        {"check-network",
         "[--wait SECONDS] [--print] [--json]",
         QT_TRANSLATE_NOOP("rpsetup", "检查打印机是否在其网络地址上应答"),
         QT_TRANSLATE_NOOP(
             "rpsetup",
             "经USB读出打印机的以太网和Wi-Fi IP设置，连接每个静态地址的TCP端口（2秒内），"
             "发送状态请求并等待1秒应答。DHCP的接口没有可检查的地址：用 --host 指定。\n"
             "--wait S：每秒重试，直到每个地址都应答或过了S秒（Wi-Fi设置在打印机重启后生效）。\n"
             "--print：向每个应答的地址打印一张测试小票。\n"
             "退出状态：每个地址都应答时为0，否则为1。"),
         {QCommandLineOption("wait", QString(), "SECONDS"), QCommandLineOption("print"),
          QCommandLineOption("json")},
         Targets::AnyLink,
         checkNetwork}};
}
