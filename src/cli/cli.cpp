#include "command.h"
#include "output.h"

#include "rpsetuptr.h"
#include "setarguments.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

QString translated(const char* text)
{
    return text ? QCoreApplication::translate("rpsetup", text) : QString();
}

QList<QCommandLineOption> globalOptions()
{
    return {QCommandLineOption("port", QString(), "N"),
            QCommandLineOption("path", QString(), "PATH"),
            QCommandLineOption("all"),
            QCommandLineOption("host", QString(), "ADDRESS[:PORT]"),
            QCommandLineOption(QStringList{"h", "help"}),
            QCommandLineOption(QStringList{"V", "version"})};
}

QStringList words(const Command& command)
{
    return command.name.split(QLatin1Char(' '));
}

// The commands whose name starts with the given words: one command, or a group such as "logo".
QList<Command> matching(const QList<Command>& all, const QStringList& given)
{
    QList<Command> found;
    for (const Command& command : all) {
        const QStringList name = words(command);
        const int n = std::min(name.size(), given.size());
        if (n > 0 && name.mid(0, n) == given.mid(0, n))
            found << command;
    }
    return found;
}

QString invocation(const Command& command)
{
    QString line = QStringLiteral("rpsetup ");
    if (command.targets == Targets::One)
        line += QLatin1String("[--port N | --path PATH] ");
    else if (command.targets == Targets::OneOrAll)
        line += QLatin1String("[--port N | --path PATH | --all] ");
    else if (command.targets == Targets::AnyLink)
        line += QLatin1String("[--port N | --path PATH | --all | --host ADDRESS[:PORT]] ");
    line += command.name;
    if (!command.synopsis.isEmpty())
        line += QLatin1Char(' ') + command.synopsis;
    return line;
}

QString commandHelp(const QList<Command>& group)
{
    QString text;
    for (int i = 0; i < group.size(); ++i)
        text += (i == 0 ? Rpsetup::tr("用法：") : QString(Rpsetup::tr("用法：").size(), ' ')) +
                invocation(group[i]) + QLatin1Char('\n');
    for (const Command& command : group)
        if (command.details)
            text += translated(command.details) + QLatin1Char('\n');
    return text;
}

QString usage(const QList<Command>& all)
{
    QString text = Rpsetup::tr("用法：rpsetup [--port N | --path PATH | --all] 命令 [参数]\n\n"
                               "读取和修改通过USB连接的票据打印机的设置。\n\n"
                               "命令：\n");
    constexpr int Column = 36;
    for (const Command& command : all) {
        QString head = QStringLiteral("  ") + command.name;
        if (!command.synopsis.isEmpty())
            head += QLatin1Char(' ') + command.synopsis;
        const QStringList lines = translated(command.summary).split(QLatin1Char('\n'));
        if (head.size() >= Column) {
            text += head + QLatin1Char('\n');
            head.clear();
        }
        for (const QString& line : lines) {
            text += head.leftJustified(Column) + line + QLatin1Char('\n');
            head.clear();
        }
    }
    text += Rpsetup::tr("\n选项：\n"
                        "  --port N       USB端口N上的打印机；只连接一台打印机时可省略\n"
                        "  --path PATH    总线路径为PATH（如1-2.1，见 list）的打印机\n"
                        "  --all          对每台已连接的打印机执行命令\n"
                        "  --host ADDRESS[:PORT]\n"
                        "                 网络上的打印机（端口默认9100）；只用于 status 和\n"
                        "                 check-network，设置只通过USB读写\n"
                        "  -h, --help     本说明；命令 --help 查看一个命令的说明\n"
                        "  -V, --version  程序的版本\n\n"
                        "set 的键：\n");
    QString row = QStringLiteral(" ");
    for (const ItemSpec& entry : settingsItems()) {
        if (entry.readOnly)
            continue;
        for (const FieldSpec& field : entry.fields) {
            const QString item =
                QStringLiteral(" %1=%2").arg(QLatin1String(field.key), keyValues(field));
            if (row.size() + item.size() > 90) {
                text += row + QLatin1Char('\n');
                row = QStringLiteral(" ");
            }
            row += item;
        }
    }
    text += row + QLatin1Char('\n');
    text += Rpsetup::tr("\n退出状态：0 成功，1 无法连接打印机或读写失败，\n"
                        "2 用法有误或值无效（未发送任何内容），3 未找到打印机。\n");
    return text;
}

std::optional<int> parsePortOption(const QString& text)
{
    // Plain digits only: a sign, spaces or a base prefix is more likely a typo than a port.
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch() || text.toInt() > 255)
        return std::nullopt;
    return text.toInt();
}

} // namespace

QList<Command> commands()
{
    return listCommands() + settingsCommands() + statusCommands() + logoCommands() +
           backupCommands() + applyCommands();
}

namespace {

// The command the arguments name. Its name decides which options exist, and options may come
// before it: the name is found with every option known.
const Command* findCommand(const QList<Command>& all, const QStringList& argv)
{
    QCommandLineParser scan;
    scan.addOptions(globalOptions());
    QStringList known;
    for (const Command& command : all)
        for (const QCommandLineOption& option : command.options)
            if (!known.contains(option.names().first())) {
                known << option.names();
                scan.addOption(option);
            }
    scan.parse(argv);
    const QStringList positional = scan.positionalArguments();
    const Command* found = nullptr;
    for (const Command& candidate : all)
        if (positional.mid(0, words(candidate).size()) == words(candidate))
            found = &candidate;
    return found;
}

// --help, --version or an option the command does not take: the exit status once answered.
std::optional<int> answeredAtOnce(const QCommandLineParser& parser, bool parsed,
                                  const QList<Command>& all, const Command* command)
{
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet("help")) {
        if (positional.isEmpty()) {
            out(usage(all).trimmed());
            return Success;
        }
        const QList<Command> group = command ? QList<Command>{*command} : matching(all, positional);
        if (group.isEmpty())
            return usageError(
                Rpsetup::tr("未知的命令：%1").arg(escapeControls(positional.first())));
        out(commandHelp(group).trimmed());
        return Success;
    }
    if (parser.isSet("version")) {
        out(QStringLiteral("rpsetup %1").arg(QCoreApplication::applicationVersion()));
        return Success;
    }
    if (parsed)
        return std::nullopt;
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty())
        return usageError(parser.errorText());
    const QString& name = unknown.first();
    return usageError(Rpsetup::tr("未知的选项：%1")
                          .arg((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) +
                               escapeControls(name)));
}

// 0 with the printers --port, --path or --all choose, or the exit status after saying why they
// cannot be used.
int chooseTargets(const QCommandLineParser& parser, std::optional<Targets>& targets)
{
    for (const char* option : {"port", "path", "host"})
        if (parser.values(option).size() > 1)
            return usageError(Rpsetup::tr("--%1 只能给出一次").arg(option));
    std::optional<int> port;
    if (parser.isSet("port")) {
        port = parsePortOption(parser.value("port"));
        if (!port)
            return usageError(
                QStringLiteral("--port: %1").arg(Rpsetup::tr("应为0到255之间的端口号")));
    }
    if (int(parser.isSet("port")) + int(parser.isSet("path")) + int(parser.isSet("all")) > 1)
        return usageError(Rpsetup::tr("--port、--path 和 --all 只能选用一个"));
    std::optional<PrinterAddress> host;
    if (parser.isSet("host")) {
        if (parser.isSet("port") || parser.isSet("path") || parser.isSet("all"))
            return usageError(Rpsetup::tr("--host 不能与 --port、--path 或 --all 同用"));
        host = PrinterAddress::parseHost(parser.value("host"));
        if (!host)
            return usageError(
                QStringLiteral("--host: %1")
                    .arg(Rpsetup::tr("应为 ADDRESS 或 ADDRESS:PORT（端口1到65535）")));
    }
    const std::optional<QString> path =
        parser.isSet("path") ? std::optional<QString>(parser.value("path")) : std::nullopt;
    targets.emplace(port, path, parser.isSet("all"), host);
    return Success;
}

int unknownCommand(const QList<Command>& all, const QStringList& positional)
{
    const QList<Command> group = matching(all, positional.mid(0, 1));
    if (group.size() > 1) {
        QStringList names;
        for (const Command& c : group)
            names << c.name;
        return usageError(Rpsetup::tr("应为 %1").arg(names.join(Rpsetup::tr(" 或 "))));
    }
    return usageError(Rpsetup::tr("未知的命令：%1").arg(escapeControls(positional.first())));
}

} // namespace

int runCli(const QStringList& args)
{
    const QList<Command> all = commands();
    QStringList argv = QStringList{QStringLiteral("rpsetup")} + args;
    // An option whose value may be left out, which the parser cannot take: bare, it means 0.
    for (QString& arg : argv) {
        if (arg == QLatin1String("--"))
            break;
        if (arg == QLatin1String("--check-network"))
            arg += QLatin1String("=0");
    }
    const Command* command = findCommand(all, argv);

    QCommandLineParser parser;
    parser.addOptions(globalOptions());
    if (command)
        parser.addOptions(command->options);
    const bool parsed = parser.parse(argv);
    if (const auto status = answeredAtOnce(parser, parsed, all, command))
        return *status;
    std::optional<Targets> targets;
    if (const int rc = chooseTargets(parser, targets))
        return rc;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        std::fputs(qPrintable(usage(all)), stderr);
        return BadUsage;
    }
    if (!command)
        return unknownCommand(all, positional);
    // Nothing says these printers take command frames over the network: a setting written there
    // could not be trusted to arrive, so only what ESC/POS answers on the print port goes there.
    if (parser.isSet("host") && command->targets != Targets::AnyLink)
        return usageError(Rpsetup::tr("%1 只通过USB工作：打印机只在网络上接收打印数据和状态请求；"
                                      "--host 只用于 status 和 check-network")
                              .arg(command->name));
    if (command->targets == Targets::One && parser.isSet("all"))
        return usageError(Rpsetup::tr("%1 一次只能用于一台打印机，请用 --port").arg(command->name));
    Invocation call{parser, positional.mid(words(*command).size()), *targets};
    return command->run(call);
}
