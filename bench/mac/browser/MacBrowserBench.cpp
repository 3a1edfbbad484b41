// Speed of the Mac thumbnail strip, as ratios of medians against reference runs in the same
// process, the cases interleaved at random over repetitions:
//  - resetFileList of a folder of 10,000 files, against a bare readdir of it (goal < 20 ms);
//  - one paint of six rows of 2592 × 1944 JPEGs on the main thread, with their thumbnails
//    made and, right after the list was rebuilt, with placeholders (the rows are handed to
//    the worker), against one full-size decode of such a photo with bare libturbojpeg and
//    against the paint of the former design, which decoded the six rows inside it;
//  - a folder of 50 such photos opened in a shown strip and scrolled through page by page
//    until every thumbnail was drawn: the longest main-thread stall (1 ms heartbeat; goal
//    16 ms, reported, not asserted) and the time until all were shown.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QPainter>
#include <QRadialGradient>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include "bench/support/BenchFolders.h"
#include "bench/support/BenchReferences.h"
#include "bench/support/MainThreadStall.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/browser/ThumbnailMaker.h"
#include "platform/media/JpegEncoder.h"

namespace {

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;
constexpr int kRows = 6;
constexpr int kFiles = 10000;
constexpr int kFolderPhotos = 50;

QTemporaryDir *g_folder = nullptr;
std::string g_photos;  // six 5-megapixel photos
std::string g_crowded; // 10,000 files
std::string g_fifty;   // fifty 5-megapixel photos, kept across runs
std::vector<uint8_t> g_jpeg;

// A stained-slide picture with sensor grain, saved as the program saves photos (quality 100).
std::vector<uint8_t> photo(unsigned seed)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    image.fill(QColor(20, 18, 24));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QRadialGradient light(kWidth / 2.0, kHeight / 2.0, kHeight * 0.6);
        light.setColorAt(0, QColor(248, 244, 232));
        light.setColorAt(1, QColor(40, 36, 44));
        painter.setBrush(light);
        painter.setPen(Qt::NoPen);
        painter.drawRect(image.rect());
        std::minstd_rand random(seed);
        for (int i = 0; i < 400; ++i) {
            const QPointF centre(random() % kWidth, random() % kHeight);
            const double r = 20 + random() % 60;
            painter.setBrush(QColor(120 + random() % 100, 60, 140 + random() % 80, 140));
            painter.setPen(QPen(QColor(70, 30, 90), 3));
            painter.drawEllipse(centre, r, r * 0.8);
        }
    }
    std::minstd_rand grain(seed * 7 + 1);
    std::vector<uint8_t> bgr(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t *from = image.constScanLine(y);
        uint8_t *to = bgr.data() + static_cast<size_t>(kHeight - 1 - y) * kWidth * 3;
        for (int x = 0; x < kWidth; ++x) {
            const int noise = static_cast<int>(grain() % 9) - 4;
            for (int c = 0; c < 3; ++c)
                to[3 * x + c] =
                    static_cast<uint8_t>(std::clamp(from[3 * x + 2 - c] + noise, 0, 255));
        }
    }
    return benchfolders::encodePhoto(bgr, kWidth, kHeight);
}

void prepare()
{
    g_folder = new QTemporaryDir();
    g_photos = g_folder->path().toStdString() + "/photos";
    g_crowded = g_folder->path().toStdString() + "/crowded";
    std::filesystem::create_directories(g_photos);
    std::filesystem::create_directories(g_crowded);
    for (int i = 0; i < kRows; ++i) {
        const std::vector<uint8_t> jpeg = photo(static_cast<unsigned>(i + 1));
        if (i == 0)
            g_jpeg = jpeg;
        benchfolders::writeBytes(g_photos + "/SingleShot100" + std::to_string(i) + ".jpg", jpeg);
    }
    g_fifty = benchfolders::cachedPhotoFolder(
        "varnolet-bench-mac-50x2592x1944", "SingleShot", kFolderPhotos,
        [](int i) { return photo(static_cast<unsigned>(100 + i)); });
    // Photos and movies as the program names them, with a few files of other kinds.
    benchfolders::makeCrowdedFolder(g_crowded, "S20240305_", 0, kFiles, ".mov");
}

// A strip whose viewport shows exactly six rows.
struct Strip
{
    QScrollArea area;
    FileBrowserView *view;
    Strip()
    {
        area.setFrameShape(QFrame::NoFrame);
        area.setWidgetResizable(true);
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view = new FileBrowserView();
        area.setWidget(view);
        area.resize(300, FileBrowserView::kRowHeight * kRows);
        area.show();
        QApplication::processEvents();
    }
};

Strip &strip()
{
    static Strip *made = new Strip();
    return *made;
}

void FullDecodeReference(benchmark::State &state)
{
    benchreference::fullDecode(state, g_jpeg, kWidth, kHeight);
}

void OneThumbnail(benchmark::State &state)
{
    ThumbnailMaker maker;
    const std::string path = g_photos + "/SingleShot1000.jpg";
    for (auto _ : state)
        if (maker.imageThumbnail(path).isNull())
            state.SkipWithError("no thumbnail");
}

void PaintSixRowsCached(benchmark::State &state)
{
    Strip &s = strip();
    s.view->updateFiles(g_photos);
    QImage target(s.area.viewport()->size(), QImage::Format_RGB32);
    // The first paint asks the worker for the rows; the next one draws them.
    s.area.viewport()->render(&target);
    if (!s.view->waitForThumbnails(std::chrono::seconds(30)))
        state.SkipWithError("the worker did not make the rows");
    s.area.viewport()->render(&target);
    if (s.view->drawingResourcesItems().size() != kRows)
        state.SkipWithError("six rows were not drawn");
    for (auto _ : state)
        s.area.viewport()->render(&target);
}

// The main thread's paint right after the list was rebuilt: six placeholders drawn and the
// six rows handed to the worker (the cost a folder's first paint has now).
void PaintSixRowsPlaceholders(benchmark::State &state)
{
    Strip &s = strip();
    s.view->updateFiles(g_photos);
    QImage target(s.area.viewport()->size(), QImage::Format_RGB32);
    int asked = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.view->resetFileList();
        state.ResumeTiming();
        s.area.viewport()->render(&target);
        asked = s.view->pendingThumbnails();
    }
    if (asked != kRows)
        state.SkipWithError("six rows were not asked for");
    // The placeholders stood for real rows: they are drawn once the worker made them.
    if (!s.view->waitForThumbnails(std::chrono::seconds(30)))
        state.SkipWithError("the worker did not make the rows");
    s.area.viewport()->render(&target);
    if (s.view->drawingResourcesItems().size() != kRows)
        state.SkipWithError("six rows were not drawn");
}

// The former design's paint: the six visible rows decoded on the main thread inside it.
void SixRowsDecodedInPaintReference(benchmark::State &state)
{
    ThumbnailMaker maker;
    for (auto _ : state)
        for (int i = 0; i < kRows; ++i)
            if (maker.imageThumbnail(g_photos + "/SingleShot100" + std::to_string(i) + ".jpg")
                    .isNull())
                state.SkipWithError("no thumbnail");
}

// True once the last paint drew every row it covers at the strip's present scroll place.
bool rowsShown(const FileBrowserView &view)
{
    const int first = FileBrowserView::getIndexOfFilesToDrawing(view.visibleRect().y());
    const int expected = std::min(view.getDrawingImageCount(), view.getFilesCount() - first);
    const auto &drawn = view.drawingResourcesItems();
    return first < view.getFilesCount() && static_cast<int>(drawn.size()) == expected &&
           drawn.count(view.filesName()[static_cast<size_t>(first)]) == 1;
}

// A fresh strip (nothing made yet) opens the folder of fifty photos and is scrolled a page
// at a time, each page once its rows were drawn, until all fifty thumbnails were shown. The
// event loop runs as the program's does; the heartbeat measures its longest stall.
void FolderOf50(benchmark::State &state)
{
    for (auto _ : state) {
        Strip s;
        QScrollBar *bar = s.area.verticalScrollBar();
        const auto run = varnolet::bench::measureStalls(
            [&] { s.view->updateFiles(g_fifty); },
            [&] {
                if (!rowsShown(*s.view))
                    return false;
                if (s.view->thumbnailAttempts() >= kFolderPhotos)
                    return true;
                if (s.view->pendingThumbnails() == 0)
                    bar->setValue(bar->value() + s.area.viewport()->height());
                return false;
            },
            std::chrono::seconds(60));
        if (!varnolet::bench::reportStalls(state, run))
            break;
    }
}

// The same decodes on a thread beside an event loop with no window: the machine's own stalls.
void FolderOf50DecodesAloneReference(benchmark::State &state)
{
    for (auto _ : state)
        if (!varnolet::bench::reportStalls(state, varnolet::bench::stallsBesideThumbnailDecodes(
                                                      g_fifty, std::chrono::seconds(60))))
            break;
}

void ReaddirReference(benchmark::State &state)
{
    benchreference::readdirNames(state, g_crowded);
}

void ResetFileList10000(benchmark::State &state)
{
    Strip &s = strip();
    s.view->updateFiles(g_crowded);
    for (auto _ : state)
        s.view->resetFileList();
    state.counters["names"] = static_cast<double>(s.view->getFilesCount());
}

BENCHMARK(FullDecodeReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OneThumbnail)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PaintSixRowsCached)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PaintSixRowsPlaceholders)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SixRowsDecodedInPaintReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FolderOf50)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(FolderOf50DecodesAloneReference)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(ReaddirReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ResetFileList10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Console output, then each case's median as a ratio to its reference's median.
class RatioReporter final : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string name = run.run_name.function_name;
            if (median || (run.run_type == Run::RT_Iteration && !m_fromMedian[name]))
                m_ms[name] = run.GetAdjustedRealTime();
            if ((name == "FolderOf50" || name == "FolderOf50DecodesAloneReference") &&
                (median || (run.run_type == Run::RT_Iteration && !m_fromMedian[name])))
                m_folder[name] = run.counters;
            if (median)
                m_fromMedian[name] = true;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nmedians (ms) and ratios:\n");
        ratio("ResetFileList10000", "ReaddirReference");
        ratio("OneThumbnail", "FullDecodeReference");
        ratio("PaintSixRowsCached", "FullDecodeReference");
        ratio("PaintSixRowsPlaceholders", "FullDecodeReference");
        ratio("PaintSixRowsPlaceholders", "PaintSixRowsCached");
        ratio("PaintSixRowsPlaceholders", "SixRowsDecodedInPaintReference");
        if (m_folder.count("FolderOf50")) {
            benchmark::UserCounters &folder = m_folder["FolderOf50"];
            std::printf("  folder of %d photos opened: longest main-thread stall %.3f ms "
                        "(goal 16 ms; the thread ran %.3f ms of it and waited %.3f ms for a "
                        "core), %.0f stalls over 16 ms, all shown after %.1f ms; the former "
                        "design's paint of six rows: %.3f ms\n",
                        kFolderPhotos, static_cast<double>(folder["max_stall_ms"]),
                        static_cast<double>(folder["its_cpu_ms"]),
                        static_cast<double>(folder["its_run_delay_ms"]),
                        static_cast<double>(folder["stalls_over_16ms"]),
                        static_cast<double>(folder["all_shown_ms"]),
                        m_ms["SixRowsDecodedInPaintReference"]);
        }
        if (m_folder.count("FolderOf50DecodesAloneReference")) {
            benchmark::UserCounters &alone = m_folder["FolderOf50DecodesAloneReference"];
            std::printf("  the same decodes beside an event loop with no window: longest stall "
                        "%.3f ms (ran %.3f ms, waited %.3f ms for a core), %.0f stalls over "
                        "16 ms\n",
                        static_cast<double>(alone["max_stall_ms"]),
                        static_cast<double>(alone["its_cpu_ms"]),
                        static_cast<double>(alone["its_run_delay_ms"]),
                        static_cast<double>(alone["stalls_over_16ms"]));
        }
    }

private:
    void ratio(const std::string &ours, const std::string &reference)
    {
        if (!m_ms.count(ours) || !m_ms.count(reference))
            return;
        std::printf("  %-22s %9.3f ms   %-20s %9.3f ms   ratio %.3f\n", ours.c_str(), m_ms[ours],
                    reference.c_str(), m_ms[reference], m_ms[ours] / m_ms[reference]);
    }

    std::map<std::string, double> m_ms;
    std::map<std::string, bool> m_fromMedian;
    std::map<std::string, benchmark::UserCounters> m_folder; // medians of the stall runs
};

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // Repetitions in random order, reported as aggregates, unless asked otherwise.
    std::vector<char *> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    bool given = false;
    for (int i = 1; i < argc; ++i)
        given = given || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    if (!given) {
        args.push_back(repetitions.data());
        args.push_back(interleaving.data());
        args.push_back(aggregates.data());
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    prepare();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    delete g_folder;
    return 0;
}
