#include "command.h"
#include "documents.h"
#include "files.h"
#include "output.h"

#include "protocol/frame.h"
#include "rpsetuptr.h"
#include "settings/settingsdocument.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

int backup(Invocation& call)
{
    if (call.args.size() > 1)
        return extraArguments(call.args.mid(1));
    const QString file = call.args.value(0);
    QByteArray json;
    // The file is written once the printer is given back: a signal during the flush must end
    // the process at once, which it cannot while a session holds the printer.
    const int rc = call.targets.forEach([&](const Target& target, PrinterLink& link) {
        ItemFailures failed;
        const PrinterSettings s = readSettings(link, AllItems, failed);
        // A backup that silently lacks an item would restore as if it were complete.
        if (!failed.isEmpty())
            return readFailed(target, failed);
        // Restorable as they are, but the user should know the printer holds something unusual.
        for (const QString& path : valuesKeptAsHeld(s))
            err(Rpsetup::tr("%1：警告：%2 的值是规则之外的，按打印机中的原样保存")
                    .arg(target.label(), path));
        json = toJsonText(QJsonDocument(toDocument(s, target.product, target.port, target.path)));
        return int(Success);
    });
    if (rc != Success)
        return rc;
    if (file.isEmpty() || file == "-") {
        std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
        return Success;
    }
    if (!replaceFilePrivately(file, json)) {
        err(Rpsetup::tr("无法写入文件：%1").arg(escapeControls(file)));
        return PrinterFailed;
    }
    return Success;
}

int restore(Invocation& call)
{
    if (call.args.size() != 1)
        return usageError(Rpsetup::tr("请指定一个备份文件"));
    const QString path = call.args.first();
    QByteArray json;
    if (const int rc = readDocumentFile(path, json))
        return rc;
    DocumentErrors errors;
    QJsonObject document;
    const PrinterSettings settings = fromDocumentText(json, errors, &document);
    if (!errors.ok()) {
        for (const QString& message : errors.messages)
            err(escapeControls(message));
        return BadUsage;
    }
    const QList<NamedFrame> frames = framesFor(settings);
    if (frames.isEmpty())
        return noSettings(path);
    if (call.parser.isSet("dry-run")) {
        for (const NamedFrame& f : frames)
            out(QStringLiteral("%1\t%2").arg(f.item, QString::fromLatin1(toHex(f.frame))));
        return Success;
    }
    QList<Target> targets;
    if (const int rc = call.targets.choose(targets))
        return rc;
    if (const int rc = refuseStaticAddress(settings, targets))
        return rc;
    return call.targets.forEach(targets, [&](const Target& target, PrinterLink& link) {
        warnOfOtherSource(document, target);
        return writeAll(target, link, frames);
    });
}

} // namespace

int readDocumentFile(const QString& path, QByteArray& json)
{
    // A settings document is a few hundred bytes; a larger file is some other file.
    constexpr qint64 MaxDocumentBytes = 1 << 20;
    switch (readRegularFile(path, MaxDocumentBytes, json)) {
    case FileError::None:
        return Success;
    case FileError::NotRegular:
        return usageError(Rpsetup::tr("%1：不是普通文件").arg(escapeControls(path)));
    case FileError::TooLarge:
        return usageError(Rpsetup::tr("%1：文件超过1 MiB，不是设置文档").arg(escapeControls(path)));
    default:
        return usageError(Rpsetup::tr("无法读取文件：%1").arg(escapeControls(path)));
    }
}

int noSettings(const QString& path)
{
    return usageError(Rpsetup::tr("%1：文档中没有可写入的设置").arg(escapeControls(path)));
}

int refuseStaticAddress(const PrinterSettings& settings, const QList<Target>& targets)
{
    QString item;
    if (settings.ethernetIp && !settings.ethernetIp->dhcp)
        item = QStringLiteral("ethernet.ip");
    else if (settings.wifiIp && !settings.wifiIp->dhcp)
        item = QStringLiteral("wifiIp.ip");
    if (targets.size() < 2 || item.isEmpty())
        return Success;
    return usageError(Rpsetup::tr("%1：文档设置了静态IP模式，写入多台打印机会使它们使用同一地址；"
                                  "请用 --port 逐台写入")
                          .arg(item));
}

void warnOfOtherSource(const QJsonObject& document, const Target& target)
{
    const QString source = document.value("source").toObject().value("product").toString();
    if (!source.isEmpty() && source != target.product)
        err(Rpsetup::tr("%1：警告：打印机是 %2，备份来自 %3")
                .arg(target.label())
                .arg(escapeControls(target.product), escapeControls(source)));
}

QList<Command> backupCommands()
{
    return {
        {"backup",
         "[FILE]",
         QT_TRANSLATE_NOOP("rpsetup", "每一项可读取的设置，存为JSON（默认输出到标准输出；\n"
                                      "文件只有其所有者可读）"),
         QT_TRANSLATE_NOOP("rpsetup", "文件中有Wi-Fi密码，以0600权限创建。logo无法读回，"
                                      "不在其中。\n规则之外的值按打印机中的原样保存（无名称的"
                                      "字节为数字，名称与密码为 {\"hex\": ...}）并给出警告，"
                                      "restore 与 apply 写回同样的字节。"),
         {},
         Targets::One,
         backup},
        {"restore",
         "[--dry-run] FILE",
         QT_TRANSLATE_NOOP("rpsetup", "写回一个备份；--dry-run 只打印帧"),
         QT_TRANSLATE_NOOP("rpsetup", "先检查整个文件，再写入每一项。"),
         {QCommandLineOption("dry-run")},
         Targets::OneOrAll,
         restore},
    };
}
