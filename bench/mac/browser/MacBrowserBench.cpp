// Speed of the Mac thumbnail strip, as ratios of medians against reference runs in the same
// process, the cases interleaved at random over repetitions:
//  - resetFileList of a folder of 10,000 files, against a bare readdir of it (goal < 20 ms);
//  - one paint of six rows of 2592 × 1944 JPEGs, with the thumbnails cached and uncached,
//    against one full-size decode of such a photo with bare libturbojpeg.
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
#include <QTemporaryDir>

#include "bench/support/BenchFolders.h"
#include "bench/support/BenchReferences.h"
#include "mac/ui/FileBrowserView.h"
#include "mac/browser/ThumbnailMaker.h"
#include "platform/media/JpegEncoder.h"

namespace {

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;
constexpr int kRows = 6;
constexpr int kFiles = 10000;

QTemporaryDir *g_folder = nullptr;
std::string g_photos;  // six 5-megapixel photos
std::string g_crowded; // 10,000 files
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
    s.area.viewport()->render(&target);
    if (s.view->drawingResourcesItems().size() != kRows)
        state.SkipWithError("six rows were not drawn");
    for (auto _ : state)
        s.area.viewport()->render(&target);
}

void PaintSixRowsUncached(benchmark::State &state)
{
    Strip &s = strip();
    s.view->updateFiles(g_photos);
    QImage target(s.area.viewport()->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        s.view->resetFileList();
        state.ResumeTiming();
        s.area.viewport()->render(&target);
    }
    if (s.view->thumbnailAttempts() != kRows || s.view->drawingResourcesItems().size() != kRows)
        state.SkipWithError("six rows were not decoded and drawn");
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
BENCHMARK(PaintSixRowsUncached)->Unit(benchmark::kMillisecond)->UseRealTime();
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
        ratio("PaintSixRowsUncached", "FullDecodeReference");
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
