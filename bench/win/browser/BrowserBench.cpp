// Speed of the thumbnail column, as ratios against reference runs in the same process:
//  - painting a column of six visible rows of 2592 × 1944 JPEGs, against one full-size
//    decode of the same file with bare libturbojpeg;
//  - RescanFolder of a folder with 10,000 files, against a bare readdir of that folder;
//  - a folder of 50 such photos opened in a fresh shown panel and paged through until every
//    thumbnail was drawn: the longest UI-thread stall (1 ms heartbeat; goal 16 ms, reported,
//    not asserted) and the time until all were shown, beside the former design's paint,
//    which decoded the six visible rows on the UI thread.
#include "win/common/AppServices.h"
#include "win/panes/CResourcesBrowserDlg.h"
#include "win/browser/ThumbnailDecoder.h"
#include "win/browser/ThumbnailLayout.h"

#include "bench/platform/MedianRatio.h"
#include "bench/support/BenchFolders.h"
#include "bench/support/BenchReferences.h"
#include "bench/support/MainThreadStall.h"
#include "bench/support/StderrMessages.h"
#include "platform/media/JpegEncoder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;
constexpr int kRows = 6;
constexpr int kFiles = 10000;
constexpr int kFolderPhotos = 50;

QTemporaryDir *g_folder = nullptr;
std::string g_photos;  // folder of the 5-megapixel photos
std::string g_crowded; // folder of 10,000 files
std::string g_fifty;   // fifty 5-megapixel photos, kept across runs
std::vector<uint8_t> g_jpeg;

// A microscope-like picture encoded as the program saves photos (quality 100, 4:4:4).
std::vector<uint8_t> MakePhoto(uint32_t seed)
{
    return benchfolders::encodePhoto(benchfolders::slideBgr(kWidth, kHeight, seed), kWidth,
                                     kHeight);
}

void Prepare()
{
    g_folder = new QTemporaryDir();
    g_photos = g_folder->path().toStdString() + "/photos";
    g_crowded = g_folder->path().toStdString() + "/crowded";
    std::filesystem::create_directories(g_photos);
    std::filesystem::create_directories(g_crowded);
    for (int i = 0; i < kRows + 2; ++i) {
        const std::vector<uint8_t> jpeg = MakePhoto(static_cast<uint32_t>(i + 1));
        if (i == 0)
            g_jpeg = jpeg;
        std::ofstream(g_photos + "/SingleShot000" + std::to_string(i) + ".jpg", std::ios::binary)
            .write(reinterpret_cast<const char *>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
    }
    g_fifty = benchfolders::cachedPhotoFolder(
        "varnolet-bench-win-50x2592x1944", "SingleShot", kFolderPhotos,
        [](int i) { return MakePhoto(static_cast<uint32_t>(100 + i)); });
    for (int i = 0; i < kFiles; ++i) {
        const char *extension = i % 10 == 0 ? ".avi" : (i % 10 == 1 ? ".txt" : ".jpg");
        std::ofstream(g_crowded + "/S20240305_" + std::to_string(10000 + i) + extension) << "x";
    }
}

// The panels' folders, settings and texts (the environment's).
const AppServices &services()
{
    static const AppServices services(varnolet::SystemPaths::fromEnvironment());
    return services;
}

// A shown panel with exactly six rows in its picture area.
CResourcesBrowserDlg &Panel()
{
    static CResourcesBrowserDlg *panel = [] {
        auto *created = new CResourcesBrowserDlg(services(), varnolet::bench::stderrMessages());
        created->resize(300, ThumbnailLayout::kRowPitch * (kRows - 1) + 50);
        created->show();
        QApplication::processEvents();
        return created;
    }();
    return *panel;
}

void BM_FullDecodeReference(benchmark::State &state)
{
    benchreference::fullDecode(state, g_jpeg, kWidth, kHeight);
}

// One row's picture on a decoding thread: DCT-scaled decode and the smooth scaling to the box.
void BM_DecodeOneRow(benchmark::State &state)
{
    ThumbnailDecoder decoder;
    const std::string path = g_photos + "/SingleShot0000.jpg";
    state.counters["file_MB"] = static_cast<double>(g_jpeg.size()) / (1024.0 * 1024.0);
    for (auto _ : state) {
        const Thumbnail thumbnail = decoder.Decode(path, 290);
        if (!thumbnail.decoded)
            state.SkipWithError("decode failed");
    }
}

// The whole paint on the UI thread with the pictures cached (the steady state: every
// scroll step and every repaint of the live window's neighbour).
void BM_PaintSixRowsCached(benchmark::State &state)
{
    CResourcesBrowserDlg &panel = Panel();
    panel.ShowFolder(g_photos, false);
    QImage target(panel.size(), QImage::Format_RGB32);
    panel.render(&target);
    panel.WaitForThumbnails(std::chrono::seconds(30));
    panel.render(&target);
    if (panel.PictureRects().size() != kRows)
        state.SkipWithError("six rows were not drawn");
    for (auto _ : state)
        panel.render(&target);
}

// The paint on the UI thread right after the folder was chosen: nothing cached, the rows
// are handed to the decoding threads.
void BM_PaintSixRowsUncachedUiThread(benchmark::State &state)
{
    CResourcesBrowserDlg &panel = Panel();
    panel.ShowFolder(g_photos, false);
    QImage target(panel.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        panel.WaitForThumbnails(std::chrono::seconds(30));
        panel.Cache().Clear();
        state.ResumeTiming();
        panel.render(&target);
    }
    panel.WaitForThumbnails(std::chrono::seconds(30));
}

// From an empty cache to all six rows drawn: the paint, the background decodes (DCT
// scaled, two threads) and the paint that draws them.
void BM_ColumnUncachedUntilDrawn(benchmark::State &state)
{
    CResourcesBrowserDlg &panel = Panel();
    panel.ShowFolder(g_photos, false);
    QImage target(panel.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        panel.Cache().Clear();
        panel.render(&target);
        panel.WaitForThumbnails(std::chrono::seconds(30));
        panel.render(&target);
        if (panel.PictureRects().size() != kRows)
            state.SkipWithError("six rows were not drawn");
    }
}

// The former design's paint: the six visible rows decoded on the UI thread inside it.
void BM_SixRowsDecodedOnUiThreadReference(benchmark::State &state)
{
    ThumbnailDecoder decoder;
    for (auto _ : state)
        for (int i = 0; i < kRows; ++i)
            if (!decoder.Decode(g_photos + "/SingleShot000" + std::to_string(i) + ".jpg", 290)
                     .decoded)
                state.SkipWithError("decode failed");
}

// True once the last paint happened at the present scroll place and drew every row there.
bool RowsShown(const CResourcesBrowserDlg &panel, int count)
{
    const int first = panel.FirstVisibleIndex();
    const int expected =
        std::min(ThumbnailLayout::VisibleRows(panel.PictureArea().height()), count - first);
    return first == ThumbnailLayout::FirstVisibleIndex(panel.Scroll().Position()) &&
           static_cast<int>(panel.PictureRects().size()) == expected;
}

// A fresh panel (nothing cached) opens the folder of fifty photos and is paged down, each
// page once its rows were drawn, until all fifty thumbnails were shown. The event loop runs
// as the program's does; the heartbeat measures its longest stall.
void BM_FolderOf50(benchmark::State &state)
{
    for (auto _ : state) {
        CResourcesBrowserDlg panel(services(), varnolet::bench::stderrMessages());
        panel.resize(300, ThumbnailLayout::kRowPitch * (kRows - 1) + 50);
        panel.show();
        const auto run = varnolet::bench::measureStalls(
            [&] { panel.ShowFolder(g_fifty, false); },
            [&] {
                if (!RowsShown(panel, kFolderPhotos))
                    return false;
                if (panel.Cache().Count() >= static_cast<size_t>(kFolderPhotos))
                    return true;
                if (panel.WaitForThumbnails(std::chrono::milliseconds(0)))
                    panel.ScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
                return false;
            },
            std::chrono::seconds(60));
        if (!varnolet::bench::reportStalls(state, run))
            break;
    }
}

void BM_ReaddirReference(benchmark::State &state)
{
    benchreference::readdirNames(state, g_crowded);
}

void BM_RescanFolder10000(benchmark::State &state)
{
    CResourcesBrowserDlg &panel = Panel();
    panel.ShowFolder(g_crowded, false);
    for (auto _ : state)
        panel.RescanFolder();
    state.counters["names"] = static_cast<double>(panel.Names().size());
}

BENCHMARK(BM_FullDecodeReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOneRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintSixRowsCached)->Unit(benchmark::kMillisecond);
// A fixed count: each iteration waits, untimed, about a quarter of a second for the decodes
// of the last one, so the library's own choice (enough iterations for half a second of a
// 0.1 ms paint) would run for many minutes.
BENCHMARK(BM_PaintSixRowsUncachedUiThread)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ColumnUncachedUntilDrawn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SixRowsDecodedOnUiThreadReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FolderOf50)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The same decodes on a thread beside an event loop with no window: the machine's own stalls.
void BM_FolderOf50DecodesAloneReference(benchmark::State &state)
{
    for (auto _ : state)
        if (!varnolet::bench::reportStalls(state, varnolet::bench::stallsBesideThumbnailDecodes(
                                                      g_fifty, std::chrono::seconds(60))))
            break;
}
BENCHMARK(BM_FolderOf50DecodesAloneReference)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_ReaddirReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RescanFolder10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // Every benchmark runs several times, interleaved at random with the others, so the
    // drift of a loaded machine hits references and measurements alike; each ratio is
    // between the medians of real time per iteration.
    varnolet::bench::InterleavedArguments arguments(argc, argv, 5);
    benchmark::Initialize(&arguments.argc(), arguments.argv());
    Prepare();
    varnolet::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double decode = reporter.medianReal("BM_FullDecodeReference");
    const double readdir = reporter.medianReal("BM_ReaddirReference");
    std::printf("\nmedians over %zu repetitions:\n",
                reporter.repetitions("BM_FullDecodeReference"));
    for (const char *name : {"BM_DecodeOneRow", "BM_PaintSixRowsCached",
                             "BM_PaintSixRowsUncachedUiThread", "BM_ColumnUncachedUntilDrawn"}) {
        const double measured = reporter.medianReal(name);
        if (measured > 0 && decode > 0)
            std::printf("  ratio %s / full decode = %.3f\n", name, measured / decode);
    }
    const double former = reporter.medianReal("BM_SixRowsDecodedOnUiThreadReference");
    if (reporter.repetitions("BM_FolderOf50") > 0)
        std::printf("  folder of %d photos opened: longest UI-thread stall %.3f ms (goal 16 ms; "
                    "the thread ran %.3f ms of it and waited %.3f ms for a core), %.0f stalls "
                    "over 16 ms, all shown after %.1f ms; the former design's paint of six "
                    "rows: %.3f ms\n",
                    kFolderPhotos, reporter.medianCounter("BM_FolderOf50", "max_stall_ms"),
                    reporter.medianCounter("BM_FolderOf50", "its_cpu_ms"),
                    reporter.medianCounter("BM_FolderOf50", "its_run_delay_ms"),
                    reporter.medianCounter("BM_FolderOf50", "stalls_over_16ms"),
                    reporter.medianCounter("BM_FolderOf50", "all_shown_ms"), former * 1e3);
    if (reporter.repetitions("BM_FolderOf50DecodesAloneReference") > 0)
        std::printf(
            "  the same decodes beside an event loop with no window: longest stall "
            "%.3f ms (ran %.3f ms, waited %.3f ms for a core), %.0f stalls over 16 ms\n",
            reporter.medianCounter("BM_FolderOf50DecodesAloneReference", "max_stall_ms"),
            reporter.medianCounter("BM_FolderOf50DecodesAloneReference", "its_cpu_ms"),
            reporter.medianCounter("BM_FolderOf50DecodesAloneReference", "its_run_delay_ms"),
            reporter.medianCounter("BM_FolderOf50DecodesAloneReference", "stalls_over_16ms"));
    const double rescan = reporter.medianReal("BM_RescanFolder10000");
    if (rescan > 0 && readdir > 0)
        std::printf("  ratio BM_RescanFolder10000 / readdir = %.2f\n", rescan / readdir);
    delete g_folder;
    return 0;
}
