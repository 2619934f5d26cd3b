#include "command.h"
#include "output.h"

#include "protocol/frame.h"
#include "settings/rpsetuptr.h"
#include "settings/settingsdocument.h"

#include <QFile>
#include <QJsonDocument>

#include <cstdio>

namespace {

int backup(Invocation& call)
{
    if (call.args.size() > 1)
        return usageError(Rpsetup::tr("多余的参数：%1").arg(call.args.mid(1).join(' ')));
    const QString file = call.args.value(0);
    return call.targets.forEach([&](const Target& target, _PrinterHandle* handle) {
        QStringList failed;
        const PrinterSettings s = readSettings(handle, AllItems, failed);
        // A backup that silently lacks an item would restore as if it were complete.
        if (!failed.isEmpty())
            return readFailed(target, failed);
        const QByteArray json = QJsonDocument(toDocument(s, target.product, target.port))
                                    .toJson(QJsonDocument::Indented);
        if (file.isEmpty() || file == "-") {
            std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
            return int(Success);
        }
        if (!writePrivateFile(file, json)) {
            err(Rpsetup::tr("无法写入文件：%1").arg(file));
            return int(PrinterFailed);
        }
        return int(Success);
    });
}

int restore(Invocation& call)
{
    if (call.args.size() != 1)
        return usageError(Rpsetup::tr("请指定一个备份文件"));
    const QString path = call.args.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return usageError(Rpsetup::tr("无法读取文件：%1").arg(path));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return usageError(
            Rpsetup::tr("%1：不是有效的JSON：%2").arg(path, parseError.errorString()));
    DocumentErrors errors;
    const PrinterSettings settings = fromDocument(doc.object(), errors);
    if (!doc.isObject())
        errors.messages << Rpsetup::tr("文件应为一个JSON对象");
    if (!errors.ok()) {
        for (const QString& message : errors.messages)
            err(message);
        return BadUsage;
    }
    const QList<NamedFrame> frames = framesFor(settings);
    if (call.parser.isSet("dry-run")) {
        for (const NamedFrame& f : frames)
            out(QStringLiteral("%1\t%2").arg(f.item, QString::fromLatin1(toHex(f.frame))));
        return Success;
    }
    return call.targets.forEach([&](const Target& target, _PrinterHandle* handle) {
        return writeAll(target, handle, frames);
    });
}

} // namespace

QList<Command> backupCommands()
{
    return {
        {"backup",
         "[FILE]",
         QT_TRANSLATE_NOOP("rpsetup", "每一项可读取的设置，存为JSON（默认输出到标准输出；\n"
                                      "文件只有其所有者可读）"),
         QT_TRANSLATE_NOOP("rpsetup", "文件中有Wi-Fi密码，以0600权限创建。logo无法读回，"
                                      "不在其中。"),
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
