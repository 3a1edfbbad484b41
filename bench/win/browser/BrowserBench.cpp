// Speed of the thumbnail column, as ratios against reference runs in the same process:
//  - painting a column of six visible rows of 2592 × 1944 JPEGs, against one full-size
//    decode of the same file with bare libturbojpeg;
//  - RescanFolder of a folder with 10,000 files, against a bare readdir of that folder.
#include "win/panes/CResourcesBrowserDlg.h"
#include "win/browser/ThumbnailDecoder.h"
#include "win/browser/ThumbnailLayout.h"

#include "bench/platform/MedianRatio.h"
#include "bench/support/BenchReferences.h"
#include "platform/media/JpegEncoder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

namespace {

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;
constexpr int kRows = 6;
constexpr int kFiles = 10000;

QTemporaryDir *g_folder = nullptr;
std::string g_photos;  // folder of the 5-megapixel photos
std::string g_crowded; // folder of 10,000 files
std::vector<uint8_t> g_jpeg;

// A microscope-like picture: smooth shading, round cell-like spots and sensor grain,
// encoded as the program saves photos (quality 100, 4:4:4).
std::vector<uint8_t> MakePhoto(uint32_t seed)
{
    std::vector<uint8_t> bgr(static_cast<size_t>(kWidth) * kHeight * 3);
    std::minstd_rand random(seed);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t *pixel = &bgr[(static_cast<size_t>(y) * kWidth + x) * 3];
            const int cx = (x % 240) - 120;
            const int cy = (y % 240) - 120;
            const int spot = cx * cx + cy * cy < 70 * 70 ? 50 : 0;
            const int grain = static_cast<int>(random() % 8) + spot;
            pixel[0] = static_cast<uint8_t>((x * 200 / kWidth + grain) & 0xFF);
            pixel[1] = static_cast<uint8_t>((y * 180 / kHeight + grain) & 0xFF);
            pixel[2] =
                static_cast<uint8_t>(((x + y) * 90 / (kWidth + kHeight) + 120 + grain) & 0xFF);
        }
    }
    varnolet::JpegEncoder encoder;
    if (!encoder.encode(bgr.data(), kWidth, kHeight).ok())
        std::abort();
    return std::vector<uint8_t>(encoder.data(), encoder.data() + encoder.size());
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
    for (int i = 0; i < kFiles; ++i) {
        const char *extension = i % 10 == 0 ? ".avi" : (i % 10 == 1 ? ".txt" : ".jpg");
        std::ofstream(g_crowded + "/S20240305_" + std::to_string(10000 + i) + extension) << "x";
    }
}

// A shown panel with exactly six rows in its picture area.
CResourcesBrowserDlg &Panel()
{
    static CResourcesBrowserDlg *panel = [] {
        auto *created = new CResourcesBrowserDlg();
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
BENCHMARK(BM_PaintSixRowsUncachedUiThread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColumnUncachedUntilDrawn)->Unit(benchmark::kMillisecond);
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
    const double rescan = reporter.medianReal("BM_RescanFolder10000");
    if (rescan > 0 && readdir > 0)
        std::printf("  ratio BM_RescanFolder10000 / readdir = %.2f\n", rescan / readdir);
    delete g_folder;
    return 0;
}
