// printer-sim: runs an unmodified program with simulated USB receipt printers attached.
//
// This process owns the umockdev testbed and answers every ioctl of the printers' device nodes;
// the program runs as a child with the preload library, so its libusb sees the testbed's sysfs
// and nodes instead of the machine's. The child's exit status becomes ours.

#include "netns.h"
#include "printerfields.h"
#include "simprinter.h"
#include "simrecord.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const char Usage[] =
    "Usage: printer-sim [options] -- COMMAND [ARGS...]\n"
    "\n"
    "Runs COMMAND with simulated USB receipt printers attached and exits with its status.\n"
    "COMMAND runs in a network namespace of printer-sim's own that holds only the loopback\n"
    "interface and the printers' network sides (see below), so nothing it does reaches\n"
    "another machine; where that namespace cannot be made, the printers are USB-only.\n"
    "COMMAND is not changed: it runs with LD_PRELOAD=libumockdev-preload.so.0 and UMOCKDEV_DIR\n"
    "set, so libusb in it finds the simulated printers and no real USB device.\n"
    "\n"
    "Choosing printers (at least one of these):\n"
    "  --printer FIELDS   attach one printer; repeat for more, in bus order\n"
    "  --demo           two printers: \"RP80 Printer\" on port 1 and \"RP58 Kitchen\" on port 2,\n"
    "                   with different settings and Ethernet and Wi-Fi data\n"
    "  --state FILE     JSON in the shape of the record below; each entry sets the state of\n"
    "                   the printer with the same \"sysfs\" name (or \"port\"), or attaches a\n"
    "                   new printer. A record written by --record can be fed back here.\n"
    "\n"
    "Other options:\n"
    "  --record FILE    when COMMAND has ended, write what each printer holds and took to FILE\n"
    "                   (JSON, see below); nothing is recorded without this option\n"
    "  -v, --verbose    print each transfer a printer takes to standard error as it arrives\n"
    "  -h, --help       show this text\n"
    "\n";

const char RecordHelp[] =
    "\n"
    "The record, written when COMMAND ends (also when it fails):\n"
    "  {\"printers\": [{\"sysfs\": \"1-1\", \"port\": 1, \"product\": \"RP80 Printer\",\n"
    "                 \"vendor\": \"0x36fc\", \"productId\": \"0x0001\", \"unplugged\": false,\n"
    "                 \"kernelDriver\": true,\n"
    "                 \"state\": {\"speed\": 1, \"density\": 1, \"alarm\": 0, \"wifiMode\": 1,\n"
    "                           \"firmwareDate\": \"2023-05-18\", \"netIp\": HEX, \"netPort\": "
    "HEX,\n"
    "                           \"station\": HEX, \"ap\": HEX, \"wifiIp\": HEX, \"logos\": "
    "[HEX]},\n"
    "                 \"received\": [HEX, ...], \"networkReceived\": [HEX, ...],\n"
    "                 \"selfTests\": 0,\n"
    "                 \"prints\": [HEX], \"downloads\": [HEX], \"clearHalts\": 0,\n"
    "                 \"claims\": 1}]}\n"
    "  HEX is lowercase hexadecimal without spaces. The payloads are kept exactly as a get\n"
    "  reply carries them (netIp 13 bytes, netPort 4, wifiIp 17; station and ap are\n"
    "  zero-terminated texts); \"received\" holds every bulk OUT transfer in order (a stalled\n"
    "  one is not delivered); \"networkReceived\" what each TCP connection sent, one entry\n"
    "  per connection, bytes as they came; \"clearHalts\" counts the halts the host cleared;\n"
    "  \"claims\" how often a program claimed the interface, and \"kernelDriver\" whether the\n"
    "  printer-class driver is bound to it at the end. Keys are sorted, so two records compare\n"
    "  as text.\n"
    "\n"
    "Examples:\n"
    "  printer-sim --demo -- ./receipt-printer-setup\n"
    "  printer-sim --record out.json --printer port=3,product=Bar,speed=2 -- rpsetup show\n"
    "  printer-sim --printer port=1,hub=2 --printer port=1,hub=3,fault=no-reply -- ./tool\n";

int fail(const QString& message)
{
    std::fprintf(stderr, "printer-sim: %s\n", qPrintable(message));
    return 2;
}

bool refuse(const QString& message)
{
    fail(message);
    return false;
}

bool applyStateFile(const QString& path, QList<sim::PrinterConfig>& configs, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject() || !doc.object().value(QLatin1String("printers")).isArray()) {
        *error = QStringLiteral("%1 is not a printer state file (%2)")
                     .arg(path, parseError.error ? parseError.errorString()
                                                 : QStringLiteral("no \"printers\" list"));
        return false;
    }
    const QJsonArray entries = doc.object().value(QLatin1String("printers")).toArray();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        QString name = entry.value(QLatin1String("sysfs")).toString();
        if (name.isEmpty() && entry.contains(QLatin1String("port")))
            name = QStringLiteral("1-%1").arg(entry.value(QLatin1String("port")).toInt());
        if (name.isEmpty()) {
            *error = QStringLiteral("%1: an entry names neither \"sysfs\" nor \"port\"").arg(path);
            return false;
        }
        sim::PrinterConfig* target = nullptr;
        for (sim::PrinterConfig& c : configs) {
            if (c.sysfsName == name)
                target = &c;
        }
        if (!target) {
            sim::PrinterConfig fresh;
            fresh.sysfsName = name;
            configs.append(fresh);
            target = &configs.last();
            if (entry.contains(QLatin1String("product")))
                target->product = entry.value(QLatin1String("product")).toString().toUtf8();
            bool ok = true;
            const QString vendor = entry.value(QLatin1String("vendor")).toString();
            if (!vendor.isEmpty())
                target->vendorId = std::uint16_t(vendor.toUInt(&ok, 0));
            const QString product = entry.value(QLatin1String("productId")).toString();
            if (ok && !product.isEmpty())
                target->productId = std::uint16_t(product.toUInt(&ok, 0));
            if (!ok) {
                *error = QStringLiteral("%1: bad vendor or product id for %2").arg(path, name);
                return false;
            }
        }
        QString stateError;
        if (!sim::stateFromJson(entry.value(QLatin1String("state")).toObject(), target->state,
                                &stateError)) {
            *error = QStringLiteral("%1, printer %2: %3").arg(path, name, stateError);
            return false;
        }
    }
    return true;
}

// The child's environment: ours, with the preload libraries in front (the one refusing opens
// before umockdev's, which would bypass it) and ASan told that they come first on purpose (a
// sanitizer build of COMMAND stops at start otherwise).
std::vector<QByteArray> childEnvironment()
{
    std::vector<QByteArray> env;
    QByteArray preload = "libumockdev-preload.so.0";
    if (::access(REFUSE_OPEN_LIBRARY, R_OK) == 0)
        preload = REFUSE_OPEN_LIBRARY " " + preload;
    QByteArray asan = "verify_asan_link_order=0";
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (entry.startsWith("LD_PRELOAD="))
            preload += ' ' + entry.mid(11);
        else if (entry.startsWith("ASAN_OPTIONS="))
            asan = entry.mid(13) + ':' + asan;
        else
            env.push_back(entry);
    }
    env.push_back("LD_PRELOAD=" + preload);
    env.push_back("ASAN_OPTIONS=" + asan);
    return env;
}

pid_t g_child = 0;

void forwardSignal(int sig)
{
    if (g_child > 0)
        ::kill(g_child, sig);
}

int runChild(char** command)
{
    std::vector<char*> argv;
    for (char** a = command; *a; ++a)
        argv.push_back(*a);
    argv.push_back(nullptr);
    std::vector<QByteArray> env = childEnvironment();
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    // Like a shell: the terminal's interrupt reaches the child (same process group) and we stay
    // to write the record; a termination sent to us alone is passed on.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGQUIT, SIG_IGN);
    std::signal(SIGTERM, forwardSignal);
    std::signal(SIGHUP, forwardSignal);
    // The child gets the default dispositions, or the terminal's Ctrl-C would not stop it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        std::fprintf(stderr, "printer-sim: cannot run %s: %s\n", argv[0], std::strerror(rc));
        return 127;
    }
    g_child = pid;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 127;
    }
    g_child = 0;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

struct Options
{
    QStringList fieldLists;
    QString stateFile;
    QString recordFile;
    bool demo = false;
    bool verbose = false;
    // The command's words are passed on as given: through QString, bytes that are not UTF-8
    // would be replaced.
    char** command = nullptr;
};

// The options before "--"; an exit status when the launcher is to stop at once.
std::optional<int> parseOptions(const QStringList& args, int argc, char** argv, Options& o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--")) {
            if (i + 1 < argc)
                o.command = argv + i + 1;
            break;
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(Usage, stdout);
            std::fputs(qPrintable(sim::printerSpecHelp()), stdout);
            std::fputs(RecordHelp, stdout);
            return 0;
        } else if (a == QLatin1String("--printer") && value(v)) {
            o.fieldLists << v;
        } else if (a == QLatin1String("--state") && value(v)) {
            o.stateFile = v;
        } else if (a == QLatin1String("--record") && value(v)) {
            o.recordFile = v;
        } else if (a == QLatin1String("--demo")) {
            o.demo = true;
        } else if (a == QLatin1String("-v") || a == QLatin1String("--verbose")) {
            o.verbose = true;
        } else {
            return fail(QStringLiteral("unknown option or missing value: %1 (see --help)").arg(a));
        }
    }
    if (!o.command)
        return fail(
            QStringLiteral("no command given: printer-sim [options] -- COMMAND (see --help)"));
    return std::nullopt;
}

// The printers the options describe, in the order they are attached; false after saying why.
bool printerConfigs(const Options& o, QList<sim::PrinterConfig>& configs)
{
    if (o.demo)
        configs = sim::demoPrinters();
    QString error;
    for (const QString& fields : o.fieldLists) {
        sim::PrinterConfig config;
        if (!sim::parsePrinterFields(fields, configs.size() + 1, config, &error))
            return refuse(error);
        configs.append(config);
    }
    if (!o.stateFile.isEmpty() && !applyStateFile(o.stateFile, configs, &error))
        return refuse(error);
    if (configs.isEmpty())
        return refuse(QStringLiteral("no printer: give --printer, --demo or --state (see --help)"));
    return true;
}

bool attachPrinters(const QList<sim::PrinterConfig>& configs, bool verbose,
                    QList<sim::SimPrinter*>& printers)
{
    sim::SimBus& bus = sim::SimBus::instance();
    for (const sim::PrinterConfig& config : configs) {
        sim::SimPrinter* p = bus.add(config);
        if (!p)
            return refuse(
                QStringLiteral("cannot attach a printer on %1: taken, or not a name like 1-2.1")
                    .arg(config.sysfsName));
        if (verbose) {
            const QByteArray name = config.sysfsName.toLatin1();
            p->setReceivedHook([name](const QByteArray& data) {
                std::fprintf(stderr, "printer-sim: %s took %s\n", name.constData(),
                             data.toHex(' ').toUpper().constData());
            });
        }
        printers.append(p);
    }
    return true;
}

// Each printer listens where its stored settings say, on addresses that exist only inside this
// namespace. A listener that cannot start leaves that printer off the network, as a printer
// with an address taken by another would be.
void serveNetwork(const QList<sim::SimPrinter*>& printers, bool verbose)
{
    QSet<QString> taken;
    for (sim::SimPrinter* p : printers) {
        const QByteArray name = p->config().sysfsName.toLatin1();
        for (const sim::ListenAddress& at : sim::listenAddresses(p->state())) {
            // Printers left at their factory addresses all hold the same ones: the first
            // answers there, as on a real network, and saying so for each would bury the rest.
            const QString where = QStringLiteral("%1:%2").arg(at.address).arg(at.port);
            if (taken.contains(where)) {
                if (verbose)
                    std::fprintf(stderr, "printer-sim: %s leaves %s to an earlier printer\n",
                                 name.constData(), qPrintable(where));
                continue;
            }
            taken.insert(where);
            QString error;
            const bool ok = (at.address.startsWith(QLatin1String("127.")) ||
                             sim::netns::addLoopbackAddress(at.address, at.prefix, &error)) &&
                            p->serve(at.address, at.port, &error);
            if (verbose || !ok)
                std::fprintf(stderr, "printer-sim: %s %s %s:%d%s%s\n", name.constData(),
                             ok ? "listens at" : "cannot listen at", qPrintable(at.address),
                             at.port, ok ? "" : ": ", qPrintable(error));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    if (const auto status = parseOptions(app.arguments(), argc, argv, options))
        return *status;
    QList<sim::PrinterConfig> configs;
    if (!printerConfigs(options, configs))
        return 2;
    // Before the bus starts its thread: a namespace holds only the threads made after it.
    QString why;
    const bool isolated = sim::netns::isolate(&why);
    if (!isolated) {
        std::fprintf(stderr, "printer-sim: the printers are not on a network: %s\n",
                     qPrintable(why));
        // The command shares this machine's network then: whatever it is told to check, it
        // reaches loopback and nothing else.
        qputenv("RPS_LOOPBACK_ONLY", "1");
    }
    QList<sim::SimPrinter*> printers;
    if (!attachPrinters(configs, options.verbose, printers))
        return 2;
    if (isolated)
        serveNetwork(printers, options.verbose);

    const int status = runChild(options.command);

    if (!options.recordFile.isEmpty()) {
        QSaveFile out(options.recordFile);
        if (!out.open(QIODevice::WriteOnly) || out.write(sim::recordDocument(printers)) < 0 ||
            !out.commit()) {
            fail(QStringLiteral("cannot write the record to %1: %2")
                     .arg(options.recordFile, out.errorString()));
            return status ? status : 2;
        }
    }
    return status;
}
