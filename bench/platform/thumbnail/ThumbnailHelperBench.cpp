// A movie thumbnail made by the sandboxed helper against the same thumbnail made in the
// process (the first frame read and scaled into the box by MovieFrameReader, as the helper
// does it), as ratios of medians of real time from interleaved repetitions in one run:
//  - warm: one helper serves a folder of movies, one file per iteration (the steady state
//    of a browser showing a folder);
//  - cold: every iteration starts a new helper, has it make one thumbnail and ends it (the
//    first movie of a session, or the first after a helper died).
// The movies are written in the setup by the programs' own writers: AVI (VarnoletWin, fitted
// into its column's box) and QuickTime (VarnoletMac, fitted into 100 × 100), at 640 × 480 and
// 2592 × 1944.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "bench/platform/MedianRatio.h"
#include "bench/support/BenchFolders.h"
#include "platform/media/AviMpeg4Writer.h"
#include "platform/media/MovieFrameReader.h"
#include "platform/media/QuickTimeMovieWriter.h"
#include "platform/thumbnail/ThumbnailHelperClient.h"

namespace {

using varnolet::BgrImage;
using varnolet::FrameFit;
using varnolet::MovieContainer;
using varnolet::MovieFrameReader;
using varnolet::ThumbnailHelperClient;

constexpr int kMovies = 16; // files of one folder, each made once per pass
constexpr int kFrames = 3;

struct Size
{
    int width;
    int height;
};
constexpr Size kSizes[] = {{640, 480}, {2592, 1944}};

QTemporaryDir *g_folder = nullptr;
// Paths of the movies by (container, size index).
std::map<std::pair<int, int>, std::vector<std::string>> g_movies;

MovieContainer containerOf(int index)
{
    return index == 0 ? MovieContainer::Avi : MovieContainer::QuickTime;
}

// The box each program fits a movie into: the Win column (290 wide, as its benchmark panel
// is) and the Mac strip.
FrameFit fitOf(MovieContainer container)
{
    return container == MovieContainer::Avi ? FrameFit{290, 100} : FrameFit{100, 100};
}

bool writeAvi(const std::string &path, const std::vector<uint8_t> &bgr, Size size)
{
    varnolet::AviMpeg4Writer writer;
    if (writer.open(path, size.width, size.height) != 0)
        return false;
    for (int i = 0; i < kFrames; ++i)
        if (writer.writeFrame(bgr.data()) != 0)
            return false;
    return writer.close() == 0;
}

bool writeQuickTime(const std::string &path, const std::vector<uint8_t> &bgr, Size size)
{
    varnolet::QuickTimeMovieWriter writer;
    if (writer.start(path) != 0)
        return false;
    for (int i = 0; i < kFrames; ++i)
        if (writer.addFrame(bgr.data(), size.width, size.height, true) != 0)
            return false;
    return writer.finish(-1) == 0;
}

void prepare()
{
    g_folder = new QTemporaryDir();
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < static_cast<int>(std::size(kSizes)); ++s) {
            const Size size = kSizes[s];
            const std::string folder = g_folder->path().toStdString() + "/movies" +
                                       std::to_string(c) + "_" + std::to_string(s);
            std::filesystem::create_directories(folder);
            const std::vector<uint8_t> bgr = benchfolders::slideBgr(
                size.width, size.height, static_cast<uint32_t>(c * 10 + s + 1));
            std::vector<std::string> &paths = g_movies[{c, s}];
            for (int i = 0; i < kMovies; ++i) {
                const std::string path =
                    folder + "/Movie" + std::to_string(1000 + i) + (c == 0 ? ".avi" : ".mov");
                const bool written =
                    c == 0 ? writeAvi(path, bgr, size) : writeQuickTime(path, bgr, size);
                if (!written) {
                    std::fprintf(stderr, "cannot write %s\n", path.c_str());
                    std::exit(1);
                }
                paths.push_back(path);
            }
        }
    }
}

const std::vector<std::string> &moviesOf(const benchmark::State &state)
{
    return g_movies[{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))}];
}

void label(benchmark::State &state)
{
    const Size size = kSizes[state.range(1)];
    state.SetLabel(std::string(state.range(0) == 0 ? "avi " : "mov ") + std::to_string(size.width) +
                   "x" + std::to_string(size.height));
}

// The reference: the same file opened as the client opens it, its first frame read and
// fitted into the box in this process.
void BM_InProcess(benchmark::State &state)
{
    const std::vector<std::string> &movies = moviesOf(state);
    const MovieContainer container = containerOf(static_cast<int>(state.range(0)));
    size_t next = 0;
    for (auto _ : state) {
        const std::string &path = movies[next++ % movies.size()];
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        BgrImage picture;
        const int status =
            MovieFrameReader::readFirstFrame(fd, container, picture, false, fitOf(container));
        ::close(fd);
        if (status != 0 || picture.isEmpty()) {
            state.SkipWithError("no first frame");
            break;
        }
        benchmark::DoNotOptimize(picture.pixels.data());
    }
    label(state);
}

// One helper, started before the timing, serving the folder file after file.
void BM_HelperWarm(benchmark::State &state)
{
    const std::vector<std::string> &movies = moviesOf(state);
    const FrameFit fit = fitOf(containerOf(static_cast<int>(state.range(0))));
    ThumbnailHelperClient client;
    if (client.firstFrame(movies.back(), fit).status != 0) {
        state.SkipWithError("the helper made no thumbnail");
        return;
    }
    size_t next = 0;
    for (auto _ : state) {
        const auto result = client.firstFrame(movies[next++ % movies.size()], fit);
        if (result.status != 0 || result.picture.isEmpty()) {
            state.SkipWithError("the helper made no thumbnail");
            break;
        }
        benchmark::DoNotOptimize(result.picture.pixels.data());
    }
    state.counters["starts"] = client.starts();
    label(state);
}

// A new helper per iteration: start, one thumbnail, end.
void BM_HelperCold(benchmark::State &state)
{
    const std::vector<std::string> &movies = moviesOf(state);
    const FrameFit fit = fitOf(containerOf(static_cast<int>(state.range(0))));
    size_t next = 0;
    for (auto _ : state) {
        ThumbnailHelperClient client;
        const auto result = client.firstFrame(movies[next++ % movies.size()], fit);
        if (result.status != 0 || result.picture.isEmpty()) {
            state.SkipWithError("the helper made no thumbnail");
            break;
        }
        benchmark::DoNotOptimize(result.picture.pixels.data());
    }
    label(state);
}

void arguments(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgNames({"container", "size"});
    for (int c = 0; c < 2; ++c)
        for (int s = 0; s < static_cast<int>(std::size(kSizes)); ++s)
            benchmark->Args({c, s});
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_InProcess)->Apply(arguments);
BENCHMARK(BM_HelperWarm)->Apply(arguments);
BENCHMARK(BM_HelperCold)->Apply(arguments);

} // namespace

int main(int argc, char **argv)
{
    varnolet::bench::InterleavedArguments arguments(argc, argv, 5);
    benchmark::Initialize(&arguments.argc(), arguments.argv());
    prepare();
    varnolet::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    size_t repetitions = 0;
    for (const auto &[key, paths] : g_movies)
        repetitions =
            std::max(repetitions,
                     reporter.repetitions("BM_InProcess/container:" + std::to_string(key.first) +
                                          "/size:" + std::to_string(key.second)));
    std::printf("\nmedians of real time over %zu repetitions (goal: warm helper / in process "
                "<= 1.5):\n",
                repetitions);
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < static_cast<int>(std::size(kSizes)); ++s) {
            const std::string args =
                "/container:" + std::to_string(c) + "/size:" + std::to_string(s);
            const double inProcess = reporter.medianReal("BM_InProcess" + args);
            const double warm = reporter.medianReal("BM_HelperWarm" + args);
            const double cold = reporter.medianReal("BM_HelperCold" + args);
            if (inProcess <= 0)
                continue;
            std::printf("  %s %4dx%-4d in process %7.3f ms", c == 0 ? "avi" : "mov",
                        kSizes[s].width, kSizes[s].height, inProcess * 1e3);
            if (warm > 0)
                std::printf("  warm helper %7.3f ms ratio %.3f", warm * 1e3, warm / inProcess);
            if (cold > 0)
                std::printf("  cold helper %7.3f ms ratio %.3f", cold * 1e3, cold / inProcess);
            if (warm > 0 && cold > 0)
                std::printf("  (start-up %.3f ms)", (cold - warm) * 1e3);
            std::printf("\n");
        }
    }
    delete g_folder;
    return 0;
}
