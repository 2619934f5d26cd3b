// rpsetup: the setup tool's command line, for scripted setup of many printers.
#include "settings/printerio.h"
#include "settings/settingschange.h"
#include "settings/settingsdocument.h"
#include "settings/settingserror.h"

#include "i18n/translation.h"
#include "protocol/dither.h"
#include "protocol/frame.h"
#include "protocol/logo.h"
#include "protocol/query.h"
#include "usb/cdeviceioopera.h"
#include "usb/printerlist.h"

#include "settings/rpsetuptr.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum ExitCode
{
    Success = 0,
    PrinterFailed = 1, // not reachable, or a read or write failed
    BadUsage = 2,      // bad arguments or an invalid value: nothing was sent
    NoPrinter = 3,
};

void out(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}
void err(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}

const char* const Usage = R"(Usage: rpsetup [--port N | --all] COMMAND [ARGS]

Reads and changes the settings of receipt printers attached by USB.

Commands:
  list [--json]                     the attached printers and their ports
  show [--json]                     speed, density, alarm, firmware date, Ethernet,
                                    Wi-Fi mode, station and access point, Wi-Fi IP
  set KEY=VALUE...                  change only the keys given
  self-test                         print the self-test page
  logo download [--dither threshold|floyd-steinberg] [--preview DIR] FILE...
                                    store the images as logos 1, 2, ... (replaces all)
  logo print NUMBER [--size normal|double-width|double-height|double]
  backup [FILE]                     every readable setting as JSON (stdout by default;
                                    a file is created readable by its owner only)
  restore [--dry-run] FILE          write a backup back; --dry-run prints the frames

Options:
  --port N      the printer on USB port N; may be left out when one printer is attached
  --all         run the command on every attached printer
  --help        this text; COMMAND --help for one command
  --version     the program's version

Keys of set:
  speed=slower|normal|faster   density=light|normal|dark   alarm=off|sound|light|both
  eth.dhcp=on|off  eth.ip=A.B.C.D  eth.mask=  eth.gateway=  eth.tcp-port=N  eth.udp-port=N
  wifi.mode=sta|ap  wifi.ssid=  wifi.password=  wifi.ap-ssid=  wifi.ap-password=  wifi.ap-ip=
  wifi-ip.dhcp=on|off  wifi-ip.ip=  wifi-ip.gateway=  wifi-ip.mask=  wifi-ip.dns=

Exit status: 0 success, 1 a printer could not be reached or a write failed,
2 bad usage or an invalid value (nothing sent), 3 no printer found.
)";

struct CommandHelp
{
    const char* name;
    const char* text;
};
const CommandHelp CommandHelps[] = {
    {"list", "Usage: rpsetup list [--json]\nOne line per printer: port, tab, product string.\n"
             "--json: [{\"port\": N, \"product\": \"...\", \"selector\": \"...\"}]\n"},
    {"show",
     "Usage: rpsetup [--port N | --all] show [--json]\nEvery readable setting. --json prints "
     "the backup document (with --all, an array of them).\n"},
    {"set", "Usage: rpsetup [--port N | --all] set KEY=VALUE...\nAll keys are checked before "
            "anything is sent. A key of a multi-field item (Ethernet IP, ports, station, access "
            "point, Wi-Fi IP) is merged into the item as read from the printer.\nKeys: see rpsetup "
            "--help.\n"},
    {"self-test", "Usage: rpsetup [--port N | --all] self-test\n"},
    {"logo", "Usage: rpsetup [--port N | --all] logo download [--dither threshold|floyd-steinberg]"
             " [--preview DIR] FILE...\n       rpsetup [--port N | --all] logo print NUMBER "
             "[--size normal|double-width|double-height|double]\nthreshold (the default) converts "
             "as the window does; floyd-steinberg diffuses the error, for photographs. --preview "
             "writes each converted logo as a 1-bit PNG into DIR.\n"},
    {"backup", "Usage: rpsetup [--port N] backup [FILE]\nThe file holds the Wi-Fi passwords and "
               "is created with mode 0600. Logos cannot be read back and are not included.\n"},
    {"restore", "Usage: rpsetup [--port N | --all] restore [--dry-run] FILE\nThe whole file is "
                "checked first; then every item is written.\n"},
};

struct Target
{
    int port;
    QString product;
};

class Cli
{
public:
    int run(QStringList args);

private:
    int resolveTargets(QList<Target>& targets);
    int forEachTarget(const std::function<int(const Target&, _PrinterHandle*)>& command);

    int list(const QStringList& args);
    int show(const QStringList& args);
    int set(const QStringList& args);
    int selfTest(const QStringList& args);
    int logo(const QStringList& args);
    int backup(const QStringList& args);
    int restore(const QStringList& args);

    int usageError(const QString& message)
    {
        err(message);
        err(Rpsetup::tr("用 rpsetup --help 查看用法"));
        return BadUsage;
    }

    std::optional<int> m_port;
    bool m_all = false;
};

// Takes "--name VALUE" or "--name=VALUE" out of args.
bool takeOption(QStringList& args, const QString& name, QString& value, bool& missingValue)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            if (i + 1 >= args.size()) {
                missingValue = true;
                return false;
            }
            value = args[i + 1];
            args.erase(args.begin() + i, args.begin() + i + 2);
            return true;
        }
        if (args[i].startsWith(name + QLatin1Char('='))) {
            value = args[i].mid(name.size() + 1);
            args.removeAt(i);
            return true;
        }
    }
    return false;
}

bool takeFlag(QStringList& args, const QString& name)
{
    return args.removeAll(name) > 0;
}

// Printers by port: the bus lists them in an order of its own, which a person reading a list
// or a log of --all should not have to follow.
QList<AttachedPrinter> printersByPort()
{
    QList<AttachedPrinter> printers = listPrinters();
    std::stable_sort(
        printers.begin(), printers.end(),
        [](const AttachedPrinter& a, const AttachedPrinter& b) { return a.port < b.port; });
    return printers;
}

QString printerList(const QList<AttachedPrinter>& printers)
{
    QStringList lines;
    for (const AttachedPrinter& p : printers)
        lines << QStringLiteral("  %1\t%2").arg(p.port).arg(QString::fromLatin1(p.product));
    return lines.join(QLatin1Char('\n'));
}

int Cli::run(QStringList args)
{
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == "--help") {
            std::fputs(Usage, stdout);
            return Success;
        }
        if (option == "--version") {
            out(QStringLiteral("rpsetup %1").arg(QCoreApplication::applicationVersion()));
            return Success;
        }
        if (option == "--all") {
            m_all = true;
        } else if (option == "--port" || option.startsWith("--port=")) {
            QString value = option.mid(7);
            if (option == "--port")
                value = args.isEmpty() ? QString() : args.takeFirst();
            bool ok = false;
            const int port = value.toInt(&ok);
            if (!ok || port < 0 || port > 255)
                return usageError(
                    QStringLiteral("--port: %1").arg(Rpsetup::tr("应为0到255之间的端口号")));
            m_port = port;
        } else {
            return usageError(Rpsetup::tr("未知的选项：%1").arg(option));
        }
    }
    if (m_all && m_port)
        return usageError(Rpsetup::tr("--port 和 --all 不能同时使用"));
    if (args.isEmpty()) {
        std::fputs(Usage, stderr);
        return BadUsage;
    }
    const QString command = args.takeFirst();
    if (args.contains("--help")) {
        for (const CommandHelp& help : CommandHelps)
            if (command == QLatin1String(help.name)) {
                std::fputs(help.text, stdout);
                return Success;
            }
    }
    if (command == "list")
        return list(args);
    if (command == "show")
        return show(args);
    if (command == "set")
        return set(args);
    if (command == "self-test")
        return selfTest(args);
    if (command == "logo")
        return logo(args);
    if (command == "backup")
        return backup(args);
    if (command == "restore")
        return restore(args);
    return usageError(Rpsetup::tr("未知的命令：%1").arg(command));
}

int Cli::resolveTargets(QList<Target>& targets)
{
    const QList<AttachedPrinter> printers = printersByPort();
    if (printers.isEmpty()) {
        err(Rpsetup::tr("未找到打印机"));
        return NoPrinter;
    }
    if (m_all) {
        QList<int> seen;
        for (const AttachedPrinter& p : printers) {
            // Printers on equal port numbers behind two hubs answer as one: the later one.
            if (seen.contains(p.port))
                continue;
            seen << p.port;
            targets << Target{p.port, QString::fromLatin1(p.product)};
        }
        return Success;
    }
    if (m_port) {
        for (const AttachedPrinter& p : printers)
            if (p.port == *m_port)
                targets = {Target{p.port, QString::fromLatin1(p.product)}};
        if (targets.isEmpty()) {
            err(Rpsetup::tr("端口%1上没有打印机，已连接的打印机：").arg(*m_port));
            err(printerList(printers));
            return NoPrinter;
        }
        return Success;
    }
    if (printers.size() > 1) {
        err(Rpsetup::tr("连接了多台打印机，请用 --port 选择一台，或用 --all："));
        err(printerList(printers));
        return BadUsage;
    }
    targets << Target{printers.first().port, QString::fromLatin1(printers.first().product)};
    return Success;
}

// Runs command once per target printer with a fresh handle, reporting each by port under --all.
int Cli::forEachTarget(const std::function<int(const Target&, _PrinterHandle*)>& command)
{
    QList<Target> targets;
    if (const int rc = resolveTargets(targets))
        return rc;
    int worst = Success;
    for (const Target& target : targets) {
        ScopedPrinterHandle handle;
        int rc;
        if (handle.open(target.port) != 0) {
            err(Rpsetup::tr("端口%1：无法连接打印机").arg(target.port));
            rc = PrinterFailed;
        } else {
            rc = command(target, handle.get());
        }
        if (m_all)
            err(rc == Success ? Rpsetup::tr("端口%1：完成").arg(target.port)
                              : Rpsetup::tr("端口%1：失败").arg(target.port));
        worst = std::max(worst, rc);
    }
    return worst;
}

int Cli::list(const QStringList& args)
{
    QStringList rest = args;
    const bool json = takeFlag(rest, "--json");
    if (!rest.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(rest.join(' ')));
    const QList<AttachedPrinter> printers = printersByPort();
    if (json) {
        QJsonArray array;
        for (const AttachedPrinter& p : printers)
            array << QJsonObject{{"port", p.port},
                                 {"product", QString::fromLatin1(p.product)},
                                 {"selector", p.text}};
        out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
    } else {
        for (const AttachedPrinter& p : printers)
            out(QStringLiteral("%1\t%2").arg(p.port).arg(QString::fromLatin1(p.product)));
    }
    if (printers.isEmpty()) {
        err(Rpsetup::tr("未找到打印机"));
        return NoPrinter;
    }
    return Success;
}

QString choiceText(const QStringList& names, const std::optional<std::uint8_t>& value)
{
    if (!value)
        return QStringLiteral("?");
    return *value < names.size() ? names[*value] : QString::number(*value);
}

void printSettings(const PrinterSettings& s, const Target& target)
{
    const auto line = [](const char* key, const QString& value) {
        out(QStringLiteral("%1 %2").arg(QString::fromLatin1(key) + ':', -17).arg(value));
    };
    const QString unknown = QStringLiteral("?");
    line("printer", QStringLiteral("%1 (port %2)").arg(target.product).arg(target.port));
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

int readFailed(const Target& target, const QStringList& failed)
{
    err(Rpsetup::tr("端口%1：读取失败：%2").arg(target.port).arg(failed.join(QLatin1String(", "))));
    return PrinterFailed;
}

int Cli::show(const QStringList& args)
{
    QStringList rest = args;
    const bool json = takeFlag(rest, "--json");
    if (!rest.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(rest.join(' ')));
    QJsonArray documents;
    const int rc = forEachTarget([&](const Target& target, _PrinterHandle* handle) {
        QStringList failed;
        const PrinterSettings s = readSettings(handle, AllItems, failed);
        if (json)
            documents << toDocument(s, target.product, target.port);
        else
            printSettings(s, target);
        return failed.isEmpty() ? int(Success) : readFailed(target, failed);
    });
    if (json && !documents.isEmpty()) {
        const QJsonDocument doc =
            m_all ? QJsonDocument(documents) : QJsonDocument(documents.first().toObject());
        out(QString::fromUtf8(doc.toJson(QJsonDocument::Indented)).trimmed());
    }
    return rc;
}

int writeAll(const Target& target, _PrinterHandle* handle, const QList<NamedFrame>& frames)
{
    QStringList failed;
    writeFrames(handle, frames, failed);
    if (failed.isEmpty())
        return Success;
    err(Rpsetup::tr("端口%1：写入失败：%2").arg(target.port).arg(failed.join(QLatin1String(", "))));
    return PrinterFailed;
}

int Cli::set(const QStringList& args)
{
    SettingsChange change;
    QString error;
    if (!parseChange(args, change, error))
        return usageError(error);
    return forEachTarget([&](const Target& target, _PrinterHandle* handle) {
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

int Cli::selfTest(const QStringList& args)
{
    if (!args.isEmpty())
        return usageError(Rpsetup::tr("多余的参数：%1").arg(args.join(' ')));
    return forEachTarget([](const Target& target, _PrinterHandle* handle) {
        if (SetPrinterStatusButton(handle, SELF_TEST_PAGE) == 0)
            return int(Success);
        err(Rpsetup::tr("端口%1：写入失败：%2").arg(target.port).arg("self-test"));
        return int(PrinterFailed);
    });
}

int Cli::logo(const QStringList& args)
{
    QStringList rest = args;
    const QString sub = rest.isEmpty() ? QString() : rest.takeFirst();
    bool missing = false;
    if (sub == "print") {
        QString size = "normal";
        takeOption(rest, "--size", size, missing);
        const QStringList sizes{"normal", "double-width", "double-height", "double"};
        if (missing || !sizes.contains(size))
            return usageError(QStringLiteral("--size: %1")
                                  .arg(Rpsetup::tr("应为以下之一：%1").arg(sizes.join(", "))));
        bool ok = false;
        const int number = rest.size() == 1 ? rest.first().toInt(&ok) : 0;
        if (!ok || number < 1 || number > logo::MaxImages)
            return usageError(settingsErrorText(SettingsError::InvalidLogoNumber));
        const QByteArray frame =
            logo::buildPrintFrame(uchar(number), logo::PrintSize(sizes.indexOf(size)));
        return forEachTarget([&](const Target& target, _PrinterHandle* handle) {
            return writeAll(target, handle, {NamedFrame{"logo print", frame}});
        });
    }
    if (sub != "download")
        return usageError(Rpsetup::tr("应为 logo download 或 logo print"));

    QString dither = "threshold";
    QString previewDir;
    takeOption(rest, "--dither", dither, missing);
    const bool preview = takeOption(rest, "--preview", previewDir, missing);
    if (missing || (dither != "threshold" && dither != "floyd-steinberg"))
        return usageError(
            QStringLiteral("--dither: %1")
                .arg(Rpsetup::tr("应为以下之一：%1").arg("threshold, floyd-steinberg")));
    if (rest.isEmpty())
        return usageError(settingsErrorText(SettingsError::NoImages));
    if (rest.size() > logo::MaxImages)
        return usageError(settingsErrorText(SettingsError::TooManyImages));
    if (preview && !QDir().mkpath(previewDir))
        return usageError(Rpsetup::tr("无法写入文件：%1").arg(previewDir));

    const bool progress = isatty(fileno(stderr));
    logo::DownloadFrameBuilder builder;
    for (int i = 0; i < rest.size(); ++i) {
        const QString& path = rest[i];
        if (progress)
            std::fprintf(
                stderr, "\r\033[K%s",
                qPrintable(
                    Rpsetup::tr("转换图片 %1/%2：%3").arg(i + 1).arg(rest.size()).arg(path)));
        QImage grey = logo::loadGreyImage(path);
        if (grey.isNull()) {
            if (progress)
                std::fputc('\n', stderr);
            return usageError(Rpsetup::tr("无法读取图片：%1").arg(path));
        }
        if (dither == "floyd-steinberg")
            grey = ditherFloydSteinberg(grey);
        if (preview) {
            const QString file = QDir(previewDir)
                                     .filePath(QStringLiteral("%1-%2.png")
                                                   .arg(i + 1)
                                                   .arg(QFileInfo(path).completeBaseName()));
            if (!logo::toPreviewBitmap(grey).save(file, "PNG"))
                return usageError(Rpsetup::tr("无法写入文件：%1").arg(file));
        }
        if (builder.add(grey) != logo::DownloadFrameBuilder::Added) {
            if (progress)
                std::fputc('\n', stderr);
            return usageError(settingsErrorText(SettingsError::ImagesTooLarge));
        }
    }
    const QByteArray frame = builder.frame();
    if (progress)
        std::fprintf(stderr, "\r\033[K%s\n",
                     qPrintable(Rpsetup::tr("正在发送%1字节").arg(frame.size())));
    return forEachTarget([&](const Target& target, _PrinterHandle* handle) {
        return writeAll(target, handle, {NamedFrame{"logo download", frame}});
    });
}

bool writePrivateFile(const QString& path, const QByteArray& data)
{
    // The backup holds the Wi-Fi passwords: never readable by anyone but its owner, not even
    // for a moment while it is written.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    qint64 done = 0;
    while (ok && done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    return ::close(fd) == 0 && ok;
}

int Cli::backup(const QStringList& args)
{
    if (m_all)
        return usageError(Rpsetup::tr("backup 一次只能备份一台打印机，请用 --port"));
    if (args.size() > 1)
        return usageError(Rpsetup::tr("多余的参数：%1").arg(args.mid(1).join(' ')));
    const QString file = args.value(0);
    return forEachTarget([&](const Target& target, _PrinterHandle* handle) {
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

int Cli::restore(const QStringList& args)
{
    QStringList rest = args;
    const bool dryRun = takeFlag(rest, "--dry-run");
    if (rest.size() != 1)
        return usageError(Rpsetup::tr("请指定一个备份文件"));
    QFile file(rest.first());
    if (!file.open(QIODevice::ReadOnly))
        return usageError(Rpsetup::tr("无法读取文件：%1").arg(rest.first()));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return usageError(
            Rpsetup::tr("%1：不是有效的JSON：%2").arg(rest.first(), parseError.errorString()));
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
    if (dryRun) {
        for (const NamedFrame& f : frames)
            out(QStringLiteral("%1\t%2").arg(f.item, QString::fromLatin1(toHex(f.frame))));
        return Success;
    }
    return forEachTarget([&](const Target& target, _PrinterHandle* handle) {
        return writeAll(target, handle, frames);
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("rpsetup");
    QCoreApplication::setApplicationVersion(QStringLiteral(RPS_VERSION));
    // The transport logs every exchange to the debug channel; a command line keeps its output for
    // results and errors unless asked.
    if (qEnvironmentVariableIsEmpty("RPSETUP_DEBUG"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                std::fprintf(stderr, "%s\n", qPrintable(msg));
        });
    QTranslator translator;
    installTranslation(app, translator, QLocale::system());
    QStringList args = app.arguments();
    args.removeFirst();
    return Cli().run(args);
}
