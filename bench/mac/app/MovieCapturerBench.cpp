// VarnoletMac's recording and capture costs against the bare libraries, in one process:
//   addImageToMovie: at 640 × 480 and 320 × 240   vs  sws_scale to YUV 4:2:0 + avcodec mpeg4
//                                                     encode of the same frames (no file)
//   the capture thread's frame at 1600 × 1200       vs  a bare bicubic sws_scale of the same
//   delivered as a 640 × 480 pixel buffer              frame to 640 × 480
// The runs are repeated and interleaved at random (so a loaded machine slows both sides
// alike); the ratios of the median CPU times are printed at the end.
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include "mac/controller/CaptureSession.h"
#include "mac/controller/MovieCapturer.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/CameraTypes.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/media/BgrImage.h"
#include "platform/system/Clock.h"

namespace {

// A microscope-like picture: smooth gradients, round cells, mild sensor noise.
varnolet::BgrImage realisticFrame(int width, int height, int number)
{
    varnolet::BgrImage frame;
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(static_cast<size_t>(width) * height * 3);
    std::mt19937 random(static_cast<unsigned>(number) * 7919u + 1u);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int cx = (x + number * 3) % 160 - 80;
            const int cy = y % 160 - 80;
            const bool cell = cx * cx + cy * cy < 50 * 50;
            uint8_t *p = frame.pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
            const int base = 80 + (x * 100) / width + (y * 60) / height;
            p[0] = static_cast<uint8_t>(std::clamp(base + (cell ? 60 : 0) + noise(random), 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(base - 20 + noise(random), 0, 255));
            p[2] =
                static_cast<uint8_t>(std::clamp(base + (cell ? -30 : 40) + noise(random), 0, 255));
        }
    return frame;
}

constexpr int kFrames = 16;

const std::vector<varnolet::BgrImage> &frames(int width)
{
    static std::map<int, std::vector<varnolet::BgrImage>> cache;
    auto &list = cache[width];
    if (list.empty())
        for (int i = 0; i < kFrames; ++i)
            list.push_back(realisticFrame(width, width * 3 / 4, i));
    return list;
}

void BM_AddImageToMovie(benchmark::State &state)
{
    const int width = static_cast<int>(state.range(0));
    const auto &list = frames(width);
    QTemporaryDir folder;
    const varnolet::SystemClock clock;
    MovieCapturer capturer(clock);
    capturer.setFilePath(folder.filePath("bench.mov").toStdString());
    if (!capturer.startRecording()) {
        state.SkipWithError("no movie file");
        return;
    }
    size_t index = 0;
    for (auto _ : state)
        capturer.addImageToMovie(&list[index++ % list.size()]);
    if (capturer.framesCaptured() != static_cast<int>(state.iterations()))
        state.SkipWithError("frames were dropped");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddImageToMovie)->Arg(640)->Arg(320)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The bare library: the same conversion and the same intra-only fixed-quantizer encoder.
void BM_BareMpeg4Encode(benchmark::State &state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    const auto &list = frames(width);
    const AVCodec *codec = avcodec_find_encoder_by_name("mpeg4");
    AVCodecContext *context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!context) {
        state.SkipWithError("no mpeg4 encoder");
        return;
    }
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 600};
    context->gop_size = 1;
    context->max_b_frames = 0;
    context->thread_count = 1;
    context->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_GLOBAL_HEADER;
    context->global_quality = FF_QP2LAMBDA * 3;
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    SwsContext *converter =
        sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, AV_PIX_FMT_YUV420P,
                       SWS_BILINEAR, nullptr, nullptr, nullptr);
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (avcodec_open2(context, codec, nullptr) < 0 || av_frame_get_buffer(frame, 0) < 0 ||
        !converter) {
        state.SkipWithError("encoder refused the settings");
    } else {
        int64_t pts = 0;
        size_t bytes = 0;
        const int stride = width * 3;
        for (auto _ : state) {
            const varnolet::BgrImage &image = list[static_cast<size_t>(pts) % list.size()];
            av_frame_make_writable(frame);
            const uint8_t *planes[1] = {image.pixels.data() +
                                        static_cast<ptrdiff_t>(height - 1) * stride};
            const int strides[1] = {-stride};
            sws_scale(converter, planes, strides, 0, height, frame->data, frame->linesize);
            frame->pts = pts;
            pts += 30;
            frame->pict_type = AV_PICTURE_TYPE_I;
            frame->quality = context->global_quality;
            avcodec_send_frame(context, frame);
            while (avcodec_receive_packet(context, packet) == 0) {
                bytes += static_cast<size_t>(packet->size);
                av_packet_unref(packet);
            }
        }
        benchmark::DoNotOptimize(bytes);
        state.SetItemsProcessed(state.iterations());
    }
    sws_freeContext(converter);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
}
BENCHMARK(BM_BareMpeg4Encode)->Arg(640)->Arg(320)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_CaptureThreadFrame_1600x1200(benchmark::State &state)
{
    static const varnolet::BgrImage big = realisticFrame(1600, 1200, 0);
    varnolet::VirtualCameraHub noCameras(std::make_shared<varnolet::SystemClock>());
    CaptureSession session(std::make_shared<varnolet::CameraEnumerator>(noCameras));
    session.setPixelBufferSize(640, 480);
    varnolet::CameraFrame frame;
    frame.data = const_cast<uint8_t *>(big.pixels.data());
    frame.length = big.pixels.size();
    frame.width = 1600;
    frame.height = 1200;
    for (auto _ : state) {
        PixelBufferRef buffer = session.makePixelBuffer(frame);
        if (!buffer)
            state.SkipWithError("no pixel buffer");
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_CaptureThreadFrame_1600x1200)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_BareBicubicScale_1600x1200(benchmark::State &state)
{
    static const varnolet::BgrImage big = realisticFrame(1600, 1200, 0);
    std::vector<uint8_t> target(640 * 480 * 3);
    SwsContext *scaler = sws_getContext(1600, 1200, AV_PIX_FMT_BGR24, 640, 480, AV_PIX_FMT_BGR24,
                                        SWS_BICUBIC, nullptr, nullptr, nullptr);
    const uint8_t *planes[1] = {big.pixels.data()};
    const int sourceStrides[1] = {1600 * 3};
    uint8_t *targets[1] = {target.data()};
    const int targetStrides[1] = {640 * 3};
    for (auto _ : state) {
        sws_scale(scaler, planes, sourceStrides, 0, 1200, targets, targetStrides);
        benchmark::DoNotOptimize(target.data());
    }
    sws_freeContext(scaler);
}
BENCHMARK(BM_BareBicubicScale_1600x1200)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps the median CPU time per iteration of every benchmark. CPU time (user + system of
// the process, so writing the movie counts) because the shared machines are loaded.
class MedianReporter final : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_seconds[run.run_name.str()] =
                    run.GetAdjustedCPUTime() / unitsPerSecond(run.time_unit);
            else if (run.run_type == Run::RT_Iteration && run.iterations > 0 &&
                     !m_seconds.count(run.run_name.str()))
                m_single[run.run_name.str()] = run.cpu_accumulated_time / run.iterations;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double seconds(const std::string &name) const
    {
        const auto median = m_seconds.find(name);
        if (median != m_seconds.end())
            return median->second;
        const auto single = m_single.find(name);
        return single == m_single.end() ? 0.0 : single->second;
    }

private:
    static double unitsPerSecond(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kSecond:
            return 1.0;
        case benchmark::kMillisecond:
            return 1e3;
        case benchmark::kMicrosecond:
            return 1e6;
        case benchmark::kNanosecond:
            return 1e9;
        }
        return 1.0;
    }
    std::map<std::string, double> m_seconds;
    std::map<std::string, double> m_single;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    // Repeated and interleaved unless the command line says otherwise.
    std::vector<char *> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    const auto given = [&](const char *flag) {
        return std::any_of(arguments.begin(), arguments.end(),
                           [flag](const char *a) { return std::string(a).rfind(flag, 0) == 0; });
    };
    if (!given("--benchmark_repetitions"))
        arguments.push_back(repetitions.data());
    if (!given("--benchmark_enable_random_interleaving"))
        arguments.push_back(interleaving.data());
    if (!given("--benchmark_report_aggregates_only"))
        arguments.push_back(aggregates.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (int width : {640, 320}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(width * 3 / 4);
        const double ours =
            reporter.seconds("BM_AddImageToMovie/" + std::to_string(width) + "/min_time:2.000");
        const double bare =
            reporter.seconds("BM_BareMpeg4Encode/" + std::to_string(width) + "/min_time:2.000");
        if (ours > 0 && bare > 0)
            std::printf("addImageToMovie %s: %.1f fps (median CPU), bare mpeg4 encode %.1f fps, "
                        "ratio %.3f (goal >= 0.90)\n",
                        size.c_str(), 1.0 / ours, 1.0 / bare, bare / ours);
    }
    const double frame = reporter.seconds("BM_CaptureThreadFrame_1600x1200/min_time:2.000");
    const double scale = reporter.seconds("BM_BareBicubicScale_1600x1200/min_time:2.000");
    if (frame > 0 && scale > 0)
        std::printf("capture thread, 1600x1200 frame to a 640x480 pixel buffer: %.2f ms CPU "
                    "(bare bicubic sws_scale %.2f ms, ratio %.3f)\n",
                    frame * 1e3, scale * 1e3, frame / scale);
    return 0;
}
