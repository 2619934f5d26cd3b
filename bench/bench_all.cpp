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

namespace {

constexpr int Rounds = 5;
constexpr int CountsSize = 3;
const int Counts[CountsSize] = {1, 16, 64};

// As the launcher's child: the wall-clock time of one run of the command, in ms.
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
    std::printf("%.3f\n", double(clock.nsecsElapsed()) / 1e6);
    return 0;
}

// The time of `rpsetup --all show` on count printers, or a negative number.
double timeOn(int count, const QString& rpsetup)
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
        return -1;
    bool ok = false;
    const double ms = launcher.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? ms : -1;
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
    std::vector<double> runs[CountsSize];
    for (int round = 0; round < Rounds; ++round) {
        for (int i = 0; i < CountsSize; ++i) {
            const double ms = timeOn(Counts[i], rpsetup);
            if (ms < 0) {
                std::fprintf(stderr, "bench_all: the run on %d printers failed\n", Counts[i]);
                return 1;
            }
            runs[i].push_back(ms);
        }
    }
    double ms[CountsSize];
    std::printf("rpsetup --all show, median of %d runs:\n", Rounds);
    for (int i = 0; i < CountsSize; ++i) {
        std::sort(runs[i].begin(), runs[i].end());
        ms[i] = runs[i][runs[i].size() / 2];
        std::printf("  %2d printers: %8.1f ms\n", Counts[i], ms[i]);
    }
    const double early = (ms[1] - ms[0]) / (Counts[1] - Counts[0]);
    const double late = (ms[2] - ms[1]) / (Counts[2] - Counts[1]);
    std::printf("  each printer added from 1 to 16: %.1f ms, from 16 to 64: %.1f ms\n", early,
                late);
    std::printf("  marginal-cost ratio (goal <= 1.2): %.2f\n", late / early);
    return 0;
}
