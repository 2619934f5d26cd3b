#include "protocol/logo.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QRandomGenerator>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int Width = 1024;
constexpr int Height = 952; // the largest single logo the printer takes at this width

// A photograph-like picture: a gradient with noise, so neither conversion meets only one value.
const QImage& rgbPicture()
{
    static const QImage picture = [] {
        QImage image(Width, Height, QImage::Format_RGB32);
        QRandomGenerator random(952);
        for (int y = 0; y < Height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < Width; ++x) {
                const int base = (x + y) * 255 / (Width + Height);
                const int noise = int(random.bounded(64)) - 32;
                line[x] = qRgb(qBound(0, base + noise, 255), qBound(0, base, 255),
                               qBound(0, 255 - base, 255));
            }
        }
        return image;
    }();
    return picture;
}

void imageBlock(benchmark::State& state)
{
    const QImage grey = rgbPicture().convertToFormat(QImage::Format_Grayscale8);
    for (auto _ : state) {
        QByteArray block = logo::buildImageBlock(grey.constBits(), grey.width(), grey.height(),
                                                 grey.bytesPerLine());
        benchmark::DoNotOptimize(block.data());
    }
}

void toolkitGreyscale(benchmark::State& state)
{
    const QImage& rgb = rgbPicture();
    for (auto _ : state) {
        QImage grey = rgb.convertToFormat(QImage::Format_Grayscale8);
        benchmark::DoNotOptimize(grey.constBits());
    }
}

// The toolkit converts large images on its thread pool: wall-clock time is what the user waits for,
// the CPU time of the whole process is the work done. Both are compared.
BENCHMARK(imageBlock)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(toolkitGreyscale)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

struct Times
{
    double real = 0;
    double cpu = 0;
};

// Keeps each benchmark's times per iteration so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                     run.GetAdjustedCPUTime()};
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, Times> times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto ours = reporter.times.find("imageBlock");
    const auto toolkit = reporter.times.find("toolkitGreyscale");
    if (ours == reporter.times.end() || toolkit == reporter.times.end() ||
        toolkit->second.real <= 0 || toolkit->second.cpu <= 0)
        return 0;
    std::printf(
        "\n%dx%d image block vs. the toolkit's greyscale conversion from RGB32 (goal <= 0.5):\n",
        Width, Height);
    std::printf("  ratio, wall-clock time:      %.3f\n", ours->second.real / toolkit->second.real);
    std::printf("  ratio, process CPU time:     %.3f\n", ours->second.cpu / toolkit->second.cpu);
    return 0;
}
