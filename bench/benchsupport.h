#pragma once

// Before any Qt header: glib names a struct member "signals".
#include <umockdev.h>

#include "printerfields.h"
#include "simprinter.h"
#include "usb/printerhandle.h"

#include <QLoggingCategory>

#include <benchmark/benchmark.h>
#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Google Benchmark's arguments taken, the simulated bus started and one printer attached as the
// launcher's --printer fields describe it; nothing after saying why. The bus exists before the
// first libusb_init, or libusb never sees the printer.
inline sim::SimPrinter* startBench(int& argc, char** argv, const char* name, const char* fields)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return nullptr;
    sim::SimBus::instance();
    if (!umockdev_in_mock_environment()) {
        std::fprintf(stderr, "%s: run it under umockdev-wrapper\n", name);
        return nullptr;
    }
    sim::PrinterConfig config;
    sim::SimPrinter* printer =
        sim::parsePrinterFields(QString::fromLatin1(fields), 1, config, nullptr)
            ? sim::SimBus::instance().add(config)
            : nullptr;
    // The transport's debug lines would time the terminal, not the exchange.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    return printer;
}

// The simulated printer on a USB port, opened as a program that calls libusb directly would.
inline libusb_device_handle* openBarePrinter(libusb_context* ctx, int port)
{
    libusb_device** devs = nullptr;
    libusb_device_handle* dev = nullptr;
    const ssize_t n = libusb_get_device_list(ctx, &devs);
    for (ssize_t i = 0; i < n && !dev; ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(devs[i], &desc) == 0 &&
            desc.idVendor == PRINTER_VENDOR_ID && libusb_get_port_number(devs[i]) == port &&
            libusb_open(devs[i], &dev) != 0)
            dev = nullptr;
    }
    libusb_free_device_list(devs, 1);
    return dev;
}

inline double fastest(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

inline double slowest(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
}

// A shared machine's load comes and goes: repetitions give the spread, and the median is the
// figure to compare. The caller says which time: real or its own.
inline void repeated(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)
        ->Repetitions(7)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", fastest)
        ->ComputeStatistics("max", slowest);
}

// Keeps each benchmark's wall-clock time per iteration and its counters ("name:counter"), by
// aggregate ("median", "min", "max"; "" for a benchmark run once), so that ratios can follow the
// table.
class TimesReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const std::string& args = run.run_name.args;
            const std::string name = run.run_name.function_name + (args.empty() ? "" : "/" + args);
            if (run.error_occurred)
                continue;
            times[name][run.aggregate_name] = run.GetAdjustedRealTime();
            for (const auto& counter : run.counters)
                times[name + ":" + counter.first][run.aggregate_name] = counter.second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // 0 when the benchmark did not run or failed.
    double at(const std::string& name, const std::string& aggregate = "median") const
    {
        const auto b = times.find(name);
        if (b == times.end())
            return 0;
        const auto t = b->second.find(aggregate);
        return t == b->second.end() ? 0 : t->second;
    }

    std::map<std::string, std::map<std::string, double>> times;
};
