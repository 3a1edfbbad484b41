// Frame-sink costs measured against the bare libraries in the same process:
//   SaveFrameAsJpeg of a 1600 × 1200 frame      vs  tjCompress2 of the same buffer, same settings
//   AppendMovieFrame at 640 × 480 (as the sink)  vs  sws_scale + mpeg4 encode of the same frames
//   the preview sink's cost per frame when nothing is requested
// The ratios and the movie writer's frames per second (and × real time for a 30 fps camera)
// are printed after the runs.
#include "platform/media/JpegEncoder.h"
#include "platform/media/Mpeg4FrameEncoder.h"
#include "win/capture/AviMovieWriter.h"
#include "win/capture/CSampleGrabberCB.h"
#include "win/capture/CSampleGrabberOwner.h"
#include "win/common/CSettingParams.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QTemporaryDir>

namespace {

// A microscope-like picture: smooth gradients, a few round shapes, mild sensor noise.
std::vector<uint8_t> realisticFrame(int width, int height, int number)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    std::mt19937 random(static_cast<unsigned>(number) * 7919u + 1u);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int cx = (x + number * 3) % 160 - 80;
            const int cy = y % 160 - 80;
            const bool cell = cx * cx + cy * cy < 50 * 50;
            uint8_t *p = frame.data() + (static_cast<size_t>(y) * width + x) * 3;
            const int base = 80 + (x * 100) / width + (y * 60) / height;
            p[0] = static_cast<uint8_t>(std::clamp(base + (cell ? 60 : 0) + noise(random), 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(base - 20 + noise(random), 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(base + (cell ? -30 : 40) + noise(random), 0, 255));
        }
    }
    return frame;
}

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

void BM_SaveFrameAsJpeg_1600x1200(benchmark::State &state)
{
    SetUsingCaptureSize(1600, 1200);
    CSampleGrabberCB &sink = CSampleGrabberCB::PreviewSink();
    sink.SetFrameSize(1600, 1200);
    sink.SetLargestSize(1600, 1200);
    const auto frame = realisticFrame(1600, 1200, 0);
    const std::string path = scratch().path().toStdString() + "/photo.jpg";
    for (auto _ : state) {
        if (!SaveFrameAsJpeg(sink, frame.data(), static_cast<long>(frame.size()), path))
            state.SkipWithError("save failed");
        state.PauseTiming();
        ::unlink(path.c_str());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveFrameAsJpeg_1600x1200)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_BareTjCompress2_1600x1200(benchmark::State &state)
{
    const auto frame = realisticFrame(1600, 1200, 0);
    varnolet::JpegEncoder settings(100);
    tjhandle handle = tjInitCompress();
    unsigned long capacity = tjBufSize(1600, 1200, settings.turboSubsampling());
    unsigned char *buffer = tjAlloc(static_cast<int>(capacity));
    for (auto _ : state) {
        unsigned long size = capacity;
        if (tjCompress2(handle, frame.data(), 1600, 1600 * 3, 1200, TJPF_BGR, &buffer, &size,
                        settings.turboSubsampling(), 100, varnolet::JpegEncoder::turboFlags())
            != 0)
            state.SkipWithError("tjCompress2 failed");
        benchmark::DoNotOptimize(size);
    }
    tjFree(buffer);
    tjDestroy(handle);
}
BENCHMARK(BM_BareTjCompress2_1600x1200)->Unit(benchmark::kMillisecond)->MinTime(3.0);

constexpr int kMovieFrames = 16;

std::vector<std::vector<uint8_t>> &movieFrames()
{
    static std::vector<std::vector<uint8_t>> frames = [] {
        std::vector<std::vector<uint8_t>> list;
        for (int i = 0; i < kMovieFrames; ++i)
            list.push_back(realisticFrame(640, 480, i));
        return list;
    }();
    return frames;
}

void BM_AppendMovieFrame_640x480(benchmark::State &state)
{
    SetUsingCaptureSize(640, 480); // movie resolution 1: every frame admitted
    const auto &frames = movieFrames();
    const std::string path = scratch().path().toStdString() + "/movie.avi";
    ::unlink(path.c_str());
    CreateMovieWriter(path);
    size_t index = 0;
    for (auto _ : state) {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        AviMovieWriter *writer = OpenMovieWriter();
        benchmark::DoNotOptimize(writer->CurrentMovieBytes());
        const auto &frame = frames[index++ % frames.size()];
        if (writer->AppendMovieFrame(640, 480, frame.data(), frame.size()) != 0)
            state.SkipWithError("append failed");
    }
    CloseMovieWriter();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendMovieFrame_640x480)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_BareMpeg4Encode_640x480(benchmark::State &state)
{
    const auto &frames = movieFrames();
    varnolet::Mpeg4FrameEncoder encoder;
    varnolet::Mpeg4FrameEncoder::Settings settings;
    settings.width = 640;
    settings.height = 480;
    settings.codecTag = varnolet::AviMpeg4Writer::kCodecTag;
    if (encoder.open(settings) < 0) {
        state.SkipWithError("no encoder");
        return;
    }
    int64_t pts = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        const auto &frame = frames[static_cast<size_t>(pts) % frames.size()];
        encoder.encode(frame.data(), true, pts++, [&bytes](AVPacket *packet) {
            bytes += static_cast<size_t>(packet->size);
            return 0;
        });
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareMpeg4Encode_640x480)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_PreviewSinkIdle(benchmark::State &state)
{
    static CSampleGrabberOwner owner; // nothing requested
    CSampleGrabberCB &sink = CSampleGrabberCB::PreviewSink();
    sink.SetOwner(&owner);
    std::vector<uint8_t> frame(640 * 480 * 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(sink.BufferCB(0.0, frame.data(), static_cast<long>(frame.size())));
    sink.SetOwner(nullptr);
}
BENCHMARK(BM_PreviewSinkIdle);

// Keeps every run's CPU time per iteration, for the ratios printed at the end. CPU time
// (user + system of the process, so file writing counts) is used because the shared build
// machines are loaded and wall time there measures the other jobs too.
class RatioReporter final : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                m_seconds[run.benchmark_name()] = run.cpu_accumulated_time / run.iterations;
        ConsoleReporter::ReportRuns(runs);
    }
    double seconds(const std::string &name) const
    {
        const auto found = m_seconds.find(name);
        return found == m_seconds.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> m_seconds;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double save = reporter.seconds("BM_SaveFrameAsJpeg_1600x1200/min_time:3.000");
    const double bareJpeg = reporter.seconds("BM_BareTjCompress2_1600x1200/min_time:3.000");
    const double append = reporter.seconds("BM_AppendMovieFrame_640x480/min_time:3.000");
    const double bareMpeg4 = reporter.seconds("BM_BareMpeg4Encode_640x480/min_time:3.000");
    const double idle = reporter.seconds("BM_PreviewSinkIdle");
    if (save > 0 && bareJpeg > 0)
        std::printf("SaveFrameAsJpeg 1600x1200 / bare tjCompress2: %.3fx (target <= 1.10)\n", save / bareJpeg);
    if (append > 0 && bareMpeg4 > 0) {
        std::printf("AppendMovieFrame 640x480: %.1f fps (CPU), bare encode %.1f fps, ratio %.3f (target >= 0.90)\n",
                    1.0 / append, 1.0 / bareMpeg4, bareMpeg4 / append);
        std::printf("AppendMovieFrame 640x480: %.1fx real time for a 30 fps camera (target >= 10)\n",
                    1.0 / append / 30.0);
    }
    if (idle > 0)
        std::printf("Preview sink, nothing requested: %.2f ns CPU per frame\n", idle * 1e9);
    return 0;
}
