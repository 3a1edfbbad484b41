// Costs of showing the live picture: the whole path of the main window (virtual camera,
// capture thread, preview sink, picture area, paint) per frame on screen, split into the
// source's own drawing (the virtual camera's picture, which a real camera does not cost),
// the rest of the capture thread and the main thread; the window's cost (capture thread
// without the source, plus the main thread) is set against the bare YUYV-to-BGR conversion
// (libv4lconvert called directly) a real camera's capture thread does for one 1600 x 1200
// frame, measured in the same process between the preview's seconds. Also: frames shown
// versus delivered, arrival-to-paint latency, resident memory over a minute of preview, and
// the idle preview's CPU share at 640 x 480, 1280 x 720 and 2048 x 1536.
#include <linux/videodev2.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>

#include "bench/platform/BareV4lConvert.h"
#include "bench/platform/MedianRatio.h"
#include "bench/support/PreviewBench.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/TestPatternRenderer.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"
#include "win/common/AppServices.h"
#include "win/app/CMainViewerDlg.h"
#include "win/app/CPictureArea.h"
#include "win/app/CPreviewWindow.h"
#include "win/common/CSettingParams.h"

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;

using varnolet::bench::namedThreadsCpuSeconds;
using varnolet::bench::processCpuSeconds;
using varnolet::bench::runEventsFor;
using varnolet::bench::sourceSecondsPerFrame;
using varnolet::bench::threadCpuSeconds;

// VmRSS or VmHWM of this process, in MB.
double statusMegabytes(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stod(line.substr(prefix.size())) / 1024.0;
    }
    return 0.0;
}

// A YUYV buffer of a 1600 x 1200 camera frame.
const std::vector<uint8_t> &yuyvFrame()
{
    static const std::vector<uint8_t> frame = [] {
        std::vector<uint8_t> bytes(static_cast<size_t>(kWidth) * kHeight * 2);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 7);
        return bytes;
    }();
    return frame;
}

// CPU seconds of one bare libv4lconvert YUYV-to-BGR24 conversion, averaged over a batch,
// on this thread only (the capture thread keeps running meanwhile).
double bareConversionSeconds(varnolet::bench::BareV4lConvert &bare)
{
    constexpr int kBatch = 6;
    const double start = threadCpuSeconds();
    for (int i = 0; i < kBatch; ++i)
        bare.convert(yuyvFrame().data(), yuyvFrame().size());
    return (threadCpuSeconds() - start) / kBatch;
}

// The program's folders, settings and texts, made by main() before any benchmark runs.
AppServices *g_services = nullptr;

// The main window previewing the virtual camera (at 1600 x 1200 unless told).
struct Previewing
{
    explicit Previewing(int width = kWidth, int height = kHeight)
    {
        hub.plug();
        window = std::make_unique<CMainViewerDlg>(
            clock, varnolet::bench::stderrMessages(), *g_services, hub,
            std::make_shared<varnolet::bench::VirtualOnlyEnumerator>(hub));
        window->resize(1100, 760);
        window->show();
        runEventsFor(0.5);
        window->OpenCameraAt(0, width, height);
        runEventsFor(1.0);
        area = window->PreviewWindow()->PictureArea();
    }
    // The clock and the virtual cameras outlive the window.
    const std::shared_ptr<const varnolet::Clock> clock = std::make_shared<varnolet::SystemClock>();
    varnolet::VirtualCameraHub hub{clock};
    std::unique_ptr<CMainViewerDlg> window;
    CPictureArea *area = nullptr;
};

void BM_BareYuyvConversion_1600x1200(benchmark::State &state)
{
    varnolet::bench::BareV4lConvert bare(V4L2_PIX_FMT_YUYV, kWidth, kHeight);
    if (!bare.isReady()) {
        state.SkipWithError("libv4lconvert cannot convert YUYV");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(bare.convert(yuyvFrame().data(), yuyvFrame().size()));
}
BENCHMARK(BM_BareYuyvConversion_1600x1200)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Ten seconds of preview in one-second windows, each followed by a batch of bare
// conversions, so both sides see the same machine: CPU time of the whole process per frame
// that reached the screen, as the median over the windows of its ratio to one bare
// conversion; frames shown against frames delivered; latency.
void BM_PreviewPath_1600x1200_30fps(benchmark::State &state)
{
    varnolet::bench::BareV4lConvert bare(V4L2_PIX_FMT_YUYV, kWidth, kHeight);
    Previewing preview;
    if (g_services->Settings().GetUsingSettings().captureWidth != kWidth) {
        state.SkipWithError("the camera did not open at 1600 x 1200");
        return;
    }
    for (auto _ : state) {
        preview.area->resetStatistics();
        std::vector<double> ratios;
        std::vector<double> references;
        std::vector<double> perShownFrame;
        std::vector<double> sourcePerFrame;
        std::vector<double> capturePerFrame;
        std::vector<double> mainPerFrame;
        std::vector<double> windowPerFrame;
        std::vector<double> windowRatios;
        for (int window = 0; window < 10; ++window) {
            const auto before = preview.area->statistics();
            const double cpuStart = processCpuSeconds();
            const double cameraStart = namedThreadsCpuSeconds("VirtualCamera");
            const double mainStart = threadCpuSeconds();
            runEventsFor(1.0);
            const double cpu = processCpuSeconds() - cpuStart;
            const double camera = namedThreadsCpuSeconds("VirtualCamera") - cameraStart;
            const double main = threadCpuSeconds() - mainStart;
            const auto after = preview.area->statistics();
            const double reference = bareConversionSeconds(bare);
            const double source = sourceSecondsPerFrame(kWidth, kHeight);
            const uint64_t shown = after.shown - before.shown;
            const uint64_t delivered = after.delivered - before.delivered;
            if (shown == 0 || delivered == 0 || reference <= 0)
                continue;
            perShownFrame.push_back(cpu / static_cast<double>(shown));
            references.push_back(reference);
            ratios.push_back(perShownFrame.back() / reference);
            // The camera thread draws every delivered frame; what is left of it is the
            // capture thread's own work.
            const double capture = camera - source * static_cast<double>(delivered);
            sourcePerFrame.push_back(source);
            capturePerFrame.push_back(capture / static_cast<double>(delivered));
            mainPerFrame.push_back(main / static_cast<double>(shown));
            windowPerFrame.push_back((capture + main) / static_cast<double>(shown));
            windowRatios.push_back(windowPerFrame.back() / reference);
        }
        const CPictureArea::Statistics s = preview.area->statistics();
        using varnolet::bench::MedianReporter;
        state.counters["cpu_ms_per_shown_frame"] = MedianReporter::median(perShownFrame) * 1000.0;
        state.counters["bare_conversion_ms"] = MedianReporter::median(references) * 1000.0;
        state.counters["ratio_to_bare_conversion"] = MedianReporter::median(ratios);
        state.counters["source_ms_per_frame"] = MedianReporter::median(sourcePerFrame) * 1000.0;
        state.counters["capture_ms_per_frame"] = MedianReporter::median(capturePerFrame) * 1000.0;
        state.counters["main_ms_per_shown_frame"] = MedianReporter::median(mainPerFrame) * 1000.0;
        state.counters["window_ms_per_shown_frame"] =
            MedianReporter::median(windowPerFrame) * 1000.0;
        state.counters["window_ratio_to_bare_conversion"] = MedianReporter::median(windowRatios);
        state.counters["delivered"] = static_cast<double>(s.delivered);
        state.counters["shown"] = static_cast<double>(s.shown);
        state.counters["dropped"] = static_cast<double>(s.dropped);
        state.counters["latency_avg_ms"] = s.shown ? s.latencySumUs / 1000.0 / s.shown : 0.0;
        state.counters["latency_max_ms"] = s.latencyMaxUs / 1000.0;
    }
}
BENCHMARK(BM_PreviewPath_1600x1200_30fps)->Iterations(1)->Unit(benchmark::kSecond);

// The idle preview at a frame size: the whole process's share of one core, and the share of
// the source's drawing within it, as medians of one-second windows.
void BM_IdlePreview(benchmark::State &state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    Previewing preview(width, height);
    if (g_services->Settings().GetUsingSettings().captureWidth != width) {
        state.SkipWithError("the camera did not open at the size asked for");
        return;
    }
    for (auto _ : state) {
        std::vector<double> process;
        std::vector<double> source;
        std::vector<double> shownPerSecond;
        for (int window = 0; window < 6; ++window) {
            const uint64_t shownBefore = preview.area->statistics().shown;
            const double cpuStart = processCpuSeconds();
            QElapsedTimer wall;
            wall.start();
            runEventsFor(1.0);
            const double seconds = wall.elapsed() / 1000.0;
            process.push_back((processCpuSeconds() - cpuStart) / seconds);
            shownPerSecond.push_back(
                static_cast<double>(preview.area->statistics().shown - shownBefore) / seconds);
            source.push_back(sourceSecondsPerFrame(width, height) * 30.0);
        }
        using varnolet::bench::MedianReporter;
        state.counters["process_percent_of_core"] = MedianReporter::median(process) * 100.0;
        state.counters["source_percent_of_core"] = MedianReporter::median(source) * 100.0;
        state.counters["without_source_percent"] =
            (MedianReporter::median(process) - MedianReporter::median(source)) * 100.0;
        state.counters["shown_per_second"] = MedianReporter::median(shownPerSecond);
    }
}
BENCHMARK(BM_IdlePreview)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Args({2048, 1536})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// A minute of preview: peak resident memory, and the mean of the first and the last ten
// seconds' samples.
void BM_PreviewMemory_60s(benchmark::State &state)
{
    Previewing preview;
    for (auto _ : state) {
        std::vector<double> samples;
        for (int second = 0; second < 60; ++second) {
            runEventsFor(1.0);
            samples.push_back(statusMegabytes("VmRSS"));
        }
        double first = 0, last = 0;
        for (int i = 0; i < 10; ++i) {
            first += samples[i] / 10;
            last += samples[samples.size() - 10 + i] / 10;
        }
        state.counters["peak_rss_mb"] = statusMegabytes("VmHWM");
        state.counters["rss_first10s_mb"] = first;
        state.counters["rss_last10s_mb"] = last;
        state.counters["growth_mb"] = last - first;
        state.counters["shown"] = static_cast<double>(preview.area->statistics().shown);
    }
}
BENCHMARK(BM_PreviewMemory_60s)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    varnolet::bench::PreviewBenchApplication application(argc, argv, VARNOLET_RUNTIME_DIR "/");
    AppServices services(varnolet::SystemPaths(
        {.documents = application.documents(), .program = application.programFolder()}));
    // Settings as a new user has them (no config.ini yet): saving below the documents.
    services.Settings().LoadSettingsFrom(application.documents() + "/config.ini");
    g_services = &services;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
