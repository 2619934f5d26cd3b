#include "command.h"
#include "output.h"

#include "protocol/query.h"
#include "settings/printerio.h"
#include "settings/rpsetuptr.h"
#include "settings/settingschange.h"
#include "settings/settingsdocument.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QString choiceText(const QStringList& names, const std::optional<std::uint8_t>& value)
{
    if (!value)
        return QStringLiteral("?");
    return *value < names.size() ? names[*value] : QString::number(*value);
}

void printSettings(const PrinterSettings& s, const Target& target)
{
    const auto line = [](const char* key, const QString& value) {
        out(QStringLiteral("%1 %2")
                .arg(QString::fromLatin1(key) + ':', -17)
                .arg(escapeControls(value)));
    };
    const QString unknown = QStringLiteral("?");
    line("printer", target.portShared
                        ? QStringLiteral("%1 (port %2, %3)")
                              .arg(target.product)
                              .arg(target.port)
                              .arg(target.path)
                        : QStringLiteral("%1 (port %2)").arg(target.product).arg(target.port));
    line("speed", choiceText(choices::speed(), s.speed));
    line("density", choiceText(choices::density(), s.density));
    line("alarm", choiceText(choices::alarm(), s.alarm));
    line("firmware", s.firmware.value_or(unknown));
    if (s.ethernetIp) {
        line("eth.dhcp", s.ethernetIp->dhcp ? "on" : "off");
        line("eth.ip", formatAddress(s.ethernetIp->ip));
        line("eth.mask", formatAddress(s.ethernetIp->mask));
        line("eth.gateway", formatAddress(s.ethernetIp->gateway));
    }
    if (s.ethernetPorts) {
        line("eth.tcp-port", QString::number(s.ethernetPorts->tcp));
        line("eth.udp-port", QString::number(s.ethernetPorts->udp));
    }
    if (s.wifiMode)
        line("wifi.mode", *s.wifiMode == WifiMode::Station ? "sta" : "ap");
    if (s.station) {
        line("wifi.ssid", s.station->name);
        line("wifi.password", s.station->password);
    }
    if (s.accessPoint) {
        line("wifi.ap-ssid", s.accessPoint->name);
        line("wifi.ap-password", s.accessPoint->password);
        line("wifi.ap-ip", s.accessPoint->address);
    }
    if (s.wifiIp) {
        line("wifi-ip.dhcp", s.wifiIp->dhcp ? "on" : "off");
        line("wifi-ip.ip", formatAddress(s.wifiIp->ip));
        line("wifi-ip.gateway", formatAddress(s.wifiIp->gateway));
        line("wifi-ip.mask", formatAddress(s.wifiIp->mask));
        line("wifi-ip.dns", formatAddress(s.wifiIp->dns));
    }
}

int show(Invocation& call)
{
    if (!call.args.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(escapeControls(call.args.join(' '))));
    const bool json = call.parser.isSet("json");
    QJsonArray documents;
    const int rc = call.targets.forEach([&](const Target& target, _PrinterHandle* handle) {
        QStringList failed;
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
    return call.targets.forEach([&](const Target& target, _PrinterHandle* handle) {
        QStringList failed;
        const PrinterSettings current = readSettings(handle, change.itemsToRead(), failed);
        // Without the current item a partial change would overwrite its other fields with zeros.
        if (!failed.isEmpty())
            return readFailed(target, failed);
        PrinterSettings result;
        if (!applyChange(change, current, result, error)) {
            err(error);
            return int(BadUsage);
        }
        return writeAll(target, handle, framesFor(result));
    });
}

int selfTest(Invocation& call)
{
    if (!call.args.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(escapeControls(call.args.join(' '))));
    return call.targets.forEach([](const Target& target, _PrinterHandle* handle) {
        if (SetPrinterStatusButton(handle, SELF_TEST_PAGE) == 0)
            return int(Success);
        return writeFailed(target, {QStringLiteral("self-test")});
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
