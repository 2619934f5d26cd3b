#include "benchsupport.h"
#include "usb/query.h"

#include <benchmark/benchmark.h>
#include <libusb.h>

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

// A full-speed printer that sends no zero-length packet after a full one, holding a station
// (30-byte name, 23-byte password) whose reply fills exactly one 64-byte packet: the reply a
// single 264-byte read used to wait 3 s for.
const char PrinterFields[] = "port=1,max-packet=64,zlp=no,sta-name=shop-network-on-the-2nd-floor2,"
                             "sta-password=counter-password-2024-a";
const QByteArray StationQuery = buildGetFrame(CONNECT_AP_INFORMATION);
constexpr int Budget = 3000;

double g_slowestMs = 0;

void note(const QElapsedTimer& clock)
{
    g_slowestMs = std::max(g_slowestMs, double(clock.nsecsElapsed()) / 1e6);
}

// The whole command as the tool runs it: find the printer, one exchange, give the record back.
void toolQuery(benchmark::State& state)
{
    unsigned char out[QueryBufferSize];
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        ScopedPrinterHandle handle;
        if (handle.open(1) != 0 || GetPrinterInfo(handle.get(), CONNECT_AP_INFORMATION, out) != 0)
            state.SkipWithError("the query failed");
        note(clock);
    }
}

// The same reply read with bare libusb, packet by packet, by a program that knows the endpoints
// and trusts the length byte.
bool bareExchange(libusb_device_handle* dev)
{
    QByteArray frame = StationQuery;
    unsigned char reply[264];
    int done = 0;
    int n = 0;
    if (libusb_bulk_transfer(dev, 0x01, reinterpret_cast<unsigned char*>(frame.data()),
                             frame.size(), &n, Budget) != 0)
        return false;
    while (done < 6 || done < 9 + reply[5]) {
        if (done + 64 > int(sizeof reply) ||
            libusb_bulk_transfer(dev, 0x81, reply + done, 64, &n, Budget) != 0)
            return false;
        done += n;
    }
    return true;
}

void bareLibusb(benchmark::State& state)
{
    for (auto _ : state) {
        libusb_context* ctx = nullptr;
        bool ok = libusb_init(&ctx) == 0;
        libusb_device_handle* dev = ok ? openBarePrinter(ctx, 1) : nullptr;
        ok = dev && libusb_set_auto_detach_kernel_driver(dev, 1) >= 0 &&
             libusb_claim_interface(dev, 0) == 0;
        ok = ok && bareExchange(dev);
        if (dev) {
            libusb_release_interface(dev, 0);
            libusb_close(dev);
        }
        libusb_exit(ctx);
        if (!ok)
            state.SkipWithError("the bare exchange failed");
    }
}

BENCHMARK(toolQuery)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(bareLibusb)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (!startBench(argc, argv, "bench_query", PrinterFields))
        return 1;
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double ours = reporter.at("toolQuery", "");
    const double bare = reporter.at("bareLibusb", "");
    if (ours <= 0 || bare <= 0)
        return 1;
    std::printf("\nA station query whose reply fills a 64-byte packet, no zero-length packet:\n");
    std::printf("  ratio to bare libusb, wall-clock time (goal <= 1.5): %.3f\n", ours / bare);
    std::printf("  slowest query: %.1f ms (the time-out is %d ms)\n", g_slowestMs, Budget);
    return g_slowestMs < Budget ? 0 : 1;
}
