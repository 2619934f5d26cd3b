// What one more printer costs `rpsetup --all show`: run on 1, 16 and 64 simulated printers, the
// cost of each printer added from 16 to 64 against each added from 1 to 16. A command that
// enumerated the bus again for every printer would pay for every other printer each time.
//
//   bench_all [RPSETUP]    (RPSETUP: another build of rpsetup to time, e.g. an older one)
//
// The launcher starts this program again as its child, on top of the printers, so that only
// rpsetup is timed, not the launcher attaching them.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int Rounds = 5;
constexpr int CountsSize = 3;
const int Counts[CountsSize] = {1, 16, 64};

// As the launcher's child: the wall-clock time of one run of the command and the CPU time it
// used itself, in ms.
int timeCommand(const QStringList& command)
{
    // The per-printer lines would time the terminal.
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(command.first(), command.mid(1));
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_all: %s failed\n", qPrintable(command.join(' ')));
        return 1;
    }
    const double wallMs = double(clock.nsecsElapsed()) / 1e6;
    rusage usage = {};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    std::printf("%.3f %.3f\n", wallMs, ms(usage.ru_utime) + ms(usage.ru_stime));
    return 0;
}

struct Cost
{
    double wallMs = -1;
    double cpuMs = -1;
};

// The cost of `rpsetup --all show` on count printers; negative when it failed.
Cost timeOn(int count, const QString& rpsetup)
{
    QStringList args;
    for (int port = 1; port <= count; ++port)
        args << "--printer" << QStringLiteral("port=%1").arg(port);
    args << "--" << QCoreApplication::applicationFilePath() << "--child" << rpsetup << "--all"
         << "show";
    QProcess launcher;
    launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    launcher.start(PRINTER_SIM, args);
    if (!launcher.waitForFinished(600000) || launcher.exitCode() != 0)
        return {};
    const QList<QByteArray> fields = launcher.readAllStandardOutput().simplified().split(' ');
    return fields.size() == 2 ? Cost{fields[0].toDouble(), fields[1].toDouble()} : Cost{};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--child"))
        return timeCommand(args.mid(1));
    const QString rpsetup = args.value(0, QStringLiteral(RPSETUP));
    // Rounds take every count in turn, so a machine that gets busier or quieter meanwhile
    // weighs on all three alike; each count's median is kept.
    std::vector<double> wall[CountsSize];
    std::vector<double> cpu[CountsSize];
    for (int round = 0; round < Rounds; ++round) {
        for (int i = 0; i < CountsSize; ++i) {
            const Cost cost = timeOn(Counts[i], rpsetup);
            if (cost.wallMs < 0) {
                std::fprintf(stderr, "bench_all: the run on %d printers failed\n", Counts[i]);
                return 1;
            }
            wall[i].push_back(cost.wallMs);
            cpu[i].push_back(cost.cpuMs);
        }
    }
    const auto ratio = [](const char* what, std::vector<double>* runs) {
        double ms[CountsSize];
        for (int i = 0; i < CountsSize; ++i) {
            std::sort(runs[i].begin(), runs[i].end());
            ms[i] = runs[i][runs[i].size() / 2];
        }
        const double early = (ms[1] - ms[0]) / (Counts[1] - Counts[0]);
        const double late = (ms[2] - ms[1]) / (Counts[2] - Counts[1]);
        std::printf("  %s: %.1f, %.1f and %.1f ms; each printer added from 1 to 16 %.1f ms, "
                    "from 16 to 64 %.1f ms: ratio %.2f\n",
                    what, ms[0], ms[1], ms[2], early, late, late / early);
        return late / early;
    };
    std::printf("rpsetup --all show on 1, 16 and 64 printers, median of %d runs:\n", Rounds);
    const double wallRatio = ratio("wall-clock", wall);
    ratio("rpsetup's own CPU time", cpu);
    std::printf("  marginal-cost ratio, wall-clock (goal <= 1.2): %.2f\n", wallRatio);
    return 0;
}
