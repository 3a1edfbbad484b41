// Frame-sink costs measured against the bare libraries in the same process:
//   SaveFrameAsJpeg of a 1600 × 1200 frame      vs  tjCompress2 of the same buffer, same settings
//   AppendMovieFrame at 640 × 480 (as the sink)  vs  libswscale + libavcodec + libavformat writing
//                                                    an AVI of the same frames directly
//   the preview sink's cost per frame when nothing is requested
// The ratios and the movie writer's frames per second (and × real time for a 30 fps camera)
// are printed after the runs.
#include "platform/media/JpegEncoder.h"
#include "bench/platform/MedianRatio.h"
#include "bench/support/StderrMessages.h"
#include "platform/media/AviMpeg4Writer.h"
#include "win/capture/AviMovieWriter.h"
#include "win/capture/CSampleGrabberCB.h"
#include "win/capture/CSampleGrabberOwner.h"
#include "win/common/AppServices.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

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
            p[2] =
                static_cast<uint8_t>(std::clamp(base + (cell ? -30 : 40) + noise(random), 0, 255));
        }
    }
    return frame;
}

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// The settings and texts the sinks and the writer work by; the per-user file in scratch().
AppServices &services()
{
    static AppServices services(
        varnolet::SystemPaths({.configHome = scratch().path().toStdString() + "/config"}));
    return services;
}

void BM_SaveFrameAsJpeg_1600x1200(benchmark::State &state)
{
    services().Settings().SetUsingCaptureSize(1600, 1200);
    CSampleGrabberCB &sink = CSampleGrabberCB::PreviewSink();
    sink.SetFrameSize(1600, 1200);
    sink.SetLargestSize(1600, 1200);
    const auto frame = realisticFrame(1600, 1200, 0);
    const std::string path = scratch().path().toStdString() + "/photo.jpg";
    for (auto _ : state) {
        if (!SaveFrameAsJpeg(sink, frame.data(), static_cast<long>(frame.size()), path, services(),
                             varnolet::bench::stderrMessages()))
            state.SkipWithError("save failed");
        state.PauseTiming();
        ::unlink(path.c_str());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveFrameAsJpeg_1600x1200)->Unit(benchmark::kMillisecond)->MinTime(1.0);

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
                        settings.turboSubsampling(), 100, varnolet::JpegEncoder::turboFlags()) != 0)
            state.SkipWithError("tjCompress2 failed");
        benchmark::DoNotOptimize(size);
    }
    tjFree(buffer);
    tjDestroy(handle);
}
BENCHMARK(BM_BareTjCompress2_1600x1200)->Unit(benchmark::kMillisecond)->MinTime(1.0);

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
    services().Settings().SetUsingCaptureSize(640, 480); // movie resolution 1: every frame admitted
    const auto &frames = movieFrames();
    const std::string path = scratch().path().toStdString() + "/movie.avi";
    ::unlink(path.c_str());
    CreateMovieWriter(path, std::make_shared<varnolet::SystemClock>(), services(),
                      varnolet::bench::stderrMessages());
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
BENCHMARK(BM_AppendMovieFrame_640x480)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The reference: libswscale, libavcodec's mpeg4 encoder and libavformat's AVI muxer called
// directly on the same bottom-up frames, at the same settings (intra only, quantizer 3),
// writing the same kind of file.
void BM_BareFfmpegAvi_640x480(benchmark::State &state)
{
    const auto &frames = movieFrames();
    const std::string path = scratch().path().toStdString() + "/bare.avi";
    const AVCodec *codec = avcodec_find_encoder_by_name("mpeg4");
    AVFormatContext *format = nullptr;
    if (!codec || avformat_alloc_output_context2(&format, nullptr, "avi", path.c_str()) < 0 ||
        avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        state.SkipWithError("no encoder or file");
        return;
    }
    AVStream *stream = avformat_new_stream(format, nullptr);
    AVCodecContext *context = avcodec_alloc_context3(codec);
    context->width = 640;
    context->height = 480;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 30};
    context->gop_size = 1;
    context->max_b_frames = 0;
    context->thread_count = 1;
    context->codec_tag = varnolet::AviMpeg4Writer::kCodecTag;
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = FF_QP2LAMBDA * 3;
    avcodec_open2(context, codec, nullptr);
    avcodec_parameters_from_context(stream->codecpar, context);
    stream->time_base = context->time_base;
    if (avformat_write_header(format, nullptr) < 0)
        state.SkipWithError("header failed");
    SwsContext *scaler = sws_getContext(640, 480, AV_PIX_FMT_BGR24, 640, 480, AV_PIX_FMT_YUV420P,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr);
    AVFrame *picture = av_frame_alloc();
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = 640;
    picture->height = 480;
    av_frame_get_buffer(picture, 0);
    AVPacket *packet = av_packet_alloc();
    int64_t pts = 0;
    for (auto _ : state) {
        const auto &frame = frames[static_cast<size_t>(pts) % frames.size()];
        // Bottom-up rows: start at the last row and step backwards.
        const uint8_t *const rows[1] = {frame.data() + static_cast<size_t>(479) * 640 * 3};
        const int strides[1] = {-640 * 3};
        av_frame_make_writable(picture);
        sws_scale(scaler, rows, strides, 0, 480, picture->data, picture->linesize);
        picture->pts = pts++;
        picture->pict_type = AV_PICTURE_TYPE_I;
        picture->quality = context->global_quality;
        avcodec_send_frame(context, picture);
        while (avcodec_receive_packet(context, packet) == 0) {
            packet->stream_index = stream->index;
            av_packet_rescale_ts(packet, context->time_base, stream->time_base);
            if (av_interleaved_write_frame(format, packet) < 0)
                state.SkipWithError("write failed");
        }
    }
    av_write_trailer(format);
    av_packet_free(&packet);
    av_frame_free(&picture);
    sws_freeContext(scaler);
    avcodec_free_context(&context);
    avio_closep(&format->pb);
    avformat_free_context(format);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareFfmpegAvi_640x480)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_PreviewSinkIdle(benchmark::State &state)
{
    static CSampleGrabberOwner owner(std::make_shared<varnolet::SystemClock>(),
                                     varnolet::bench::stderrMessages(),
                                     services()); // nothing requested
    CSampleGrabberCB &sink = CSampleGrabberCB::PreviewSink();
    sink.SetOwner(&owner);
    std::vector<uint8_t> frame(640 * 480 * 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(sink.BufferCB(0.0, frame.data(), static_cast<long>(frame.size())));
    sink.SetOwner(nullptr);
}
BENCHMARK(BM_PreviewSinkIdle);

} // namespace

int main(int argc, char **argv)
{
    // Each side runs several times, the two sides interleaved at random, so the drift of a
    // loaded machine hits both alike; ratios are between the medians of CPU time (user +
    // system of the process, so file writing counts; wall time on the shared build machines
    // measures the other jobs too).
    varnolet::bench::InterleavedArguments arguments(argc, argv, 7);
    benchmark::Initialize(&arguments.argc(), arguments.argv());
    varnolet::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double save = reporter.medianCpu("BM_SaveFrameAsJpeg_1600x1200");
    const double bareJpeg = reporter.medianCpu("BM_BareTjCompress2_1600x1200");
    const double append = reporter.medianCpu("BM_AppendMovieFrame_640x480");
    const double bareAvi = reporter.medianCpu("BM_BareFfmpegAvi_640x480");
    const double idle = reporter.medianCpu("BM_PreviewSinkIdle");
    std::printf("\nmedians over %zu repetitions:\n",
                reporter.repetitions("BM_AppendMovieFrame_640x480"));
    if (save > 0 && bareJpeg > 0)
        std::printf("SaveFrameAsJpeg 1600x1200 / bare tjCompress2: %.3fx (target <= 1.10)\n",
                    save / bareJpeg);
    if (append > 0 && bareAvi > 0) {
        std::printf("AppendMovieFrame 640x480: %.1f fps (CPU), bare FFmpeg AVI %.1f fps, ratio "
                    "%.3f (target >= 0.90)\n",
                    1.0 / append, 1.0 / bareAvi, bareAvi / append);
        std::printf(
            "AppendMovieFrame 640x480: %.1fx real time for a 30 fps camera (target >= 10)\n",
            1.0 / append / 30.0);
    }
    if (idle > 0)
        std::printf("Preview sink, nothing requested: %.2f ns CPU per frame\n", idle * 1e9);
    return 0;
}
