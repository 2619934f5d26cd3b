#include "benchsupport.h"
#include "link/networklink.h"
#include "link/statusquery.h"
#include "settings/networkcheck.h"
#include "usb/usblink.h"

#include <benchmark/benchmark.h>
#include <libusb.h>

#include <QDateTime>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr int Budget = 3000;
// The only address this benchmark connects to.
const QString Loopback = QStringLiteral("127.0.0.1");
sim::SimPrinter* g_printer = nullptr;
quint16 g_tcpPort = 0;

// The status read as the main window's action does it: the printer found on its port, the IN
// endpoint drained, DLE EOT 1 to 4 each in an exchange that claims the interface for itself.
void coreStatus(benchmark::State& state)
{
    for (auto _ : state) {
        Outcome outcome;
        std::unique_ptr<UsbLink> link = UsbLink::open(PrinterAddress::usbPort(1), outcome);
        PrinterStatus status;
        if (!link || !readPrinterStatus(*link, status).ok() || !status.reports)
            state.SkipWithError("the status read failed");
    }
}

// As rpsetup status does it: one claim for the whole read, as the bare program has.
void coreStatusClaimed(benchmark::State& state)
{
    for (auto _ : state) {
        ScopedPrinterHandle handle;
        PrinterSession session;
        UsbLink link(handle.get());
        PrinterStatus status;
        if (handle.open(1) != 0 || session.open(handle.get()) != 0 ||
            !readPrinterStatus(link, status).ok() || !status.reports)
            state.SkipWithError("the status read failed");
    }
}

// The same drain read and four requests with bare libusb on one claim; the drain timed apart, so
// that the read can be compared without its fixed wait too.
bool bareRequests(libusb_device_handle* dev, double& drainMs)
{
    unsigned char in[512];
    int n = 0;
    const auto start = std::chrono::steady_clock::now();
    if (libusb_bulk_transfer(dev, 0x81, in, sizeof in, &n, StatusDrainMs) != LIBUSB_ERROR_TIMEOUT)
        return false;
    drainMs +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (unsigned char i = 1; i <= 4; ++i) {
        unsigned char request[] = {0x10, 0x04, i};
        if (libusb_bulk_transfer(dev, 0x01, request, sizeof request, &n, Budget) != 0)
            return false;
        do {
            if (libusb_bulk_transfer(dev, 0x81, in, sizeof in, &n, Budget) != 0)
                return false;
        } while (n == 0);
    }
    return n == 1;
}

void bareStatus(benchmark::State& state)
{
    double drainMs = 0;
    for (auto _ : state) {
        libusb_context* ctx = nullptr;
        bool ok = libusb_init(&ctx) == 0;
        libusb_device_handle* dev = ok ? openBarePrinter(ctx, 1) : nullptr;
        ok = dev && libusb_set_auto_detach_kernel_driver(dev, 1) >= 0 &&
             libusb_claim_interface(dev, 0) == 0 && bareRequests(dev, drainMs);
        if (dev) {
            libusb_release_interface(dev, 0);
            libusb_close(dev);
        }
        libusb_exit(ctx);
        if (!ok)
            state.SkipWithError("the bare status read failed");
    }
    state.counters["drain"] = benchmark::Counter(drainMs, benchmark::Counter::kAvgIterations);
}

// What check-network does for one address it was given: the subnet looked up, connect, the
// status read, the connection closed.
void networkCheck(benchmark::State& state)
{
    const NetworkTarget target =
        NetworkTarget::held(QStringLiteral("ethernet"), {127, 0, 0, 1}, {255, 0, 0, 0}, g_tcpPort);
    const QDateTime now = QDateTime::currentDateTime();
    for (auto _ : state) {
        if (!checkAddress(target, CheckBudget(), false, now).answered())
            state.SkipWithError("the printer did not answer");
    }
}

// Timed by hand: the simulated printer accepts one connection at a time from a backlog of 4, so
// a loop of bare connects would time its backlog's overflow; each waits, untimed, for its accept.
void networkConnect(benchmark::State& state)
{
    g_printer->clearReceived();
    int connections = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Outcome outcome;
        if (!NetworkLink::open(PrinterAddress::network(Loopback, g_tcpPort), outcome))
            state.SkipWithError("the connection failed");
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        for (++connections; g_printer->networkReceived().size() < connections;)
            std::this_thread::yield();
    }
}

BENCHMARK(coreStatus)->Apply(repeated)->UseRealTime();
BENCHMARK(coreStatusClaimed)->Apply(repeated)->UseRealTime();
BENCHMARK(bareStatus)->Apply(repeated)->UseRealTime();
BENCHMARK(networkCheck)->Apply(repeated)->UseRealTime();
BENCHMARK(networkConnect)->Apply(repeated)->UseManualTime();

} // namespace

namespace {

void printFigure(const TimesReporter& r, const char* label, const std::string& name)
{
    std::printf("  %-34s %7.2f ms (%.2f to %.2f)\n", label, r.at(name), r.at(name, "min"),
                r.at(name, "max"));
}

// The medians compared; false when a benchmark did not run.
bool printVerdicts(const TimesReporter& r)
{
    const double core = r.at("coreStatus"), claimed = r.at("coreStatusClaimed");
    const double bare = r.at("bareStatus"), drain = r.at("bareStatus:drain");
    const double check = r.at("networkCheck"), connect = r.at("networkConnect");
    std::printf("\nStatus read over USB (DLE EOT 1 to 4), medians of 7 (min to max):\n");
    printFigure(r, "through the core", "coreStatus");
    printFigure(r, "through the core, claimed once", "coreStatusClaimed");
    printFigure(r, "bare libusb, the same drain read", "bareStatus");
    printFigure(r, "of which the drain read", "bareStatus:drain");
    if (core > 0 && bare > drain) {
        std::printf("  core / bare, both draining %d ms (goal <= 1.5): %.2f\n", StatusDrainMs,
                    core / bare);
        std::printf("  without the drain's time on either side: %.2f (claimed once: %.2f)\n",
                    (core - drain) / (bare - drain), (claimed - drain) / (bare - drain));
    }
    std::printf("\nNetwork check of a printer on %s:\n", qPrintable(Loopback));
    printFigure(r, "check (connect, status, close)", "networkCheck");
    printFigure(r, "connect and close alone", "networkConnect");
    if (check > 0 && connect > 0)
        std::printf("  beyond the connect (goal < 20 ms): %.2f ms\n", check - connect);
    return core > 0 && claimed > 0 && bare > drain && check > 0 && connect > 0;
}

} // namespace

int main(int argc, char** argv)
{
    g_printer = startBench(argc, argv, "bench_status", "port=1");
    QString error;
    g_tcpPort = g_printer ? g_printer->serve(Loopback, 0, &error) : 0;
    if (!g_tcpPort) {
        std::fprintf(stderr, "bench_status: no simulated printer: %s\n", qPrintable(error));
        return 1;
    }
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return printVerdicts(reporter) ? 0 : 1;
}
