// A camera frame painted at the size of the view, as VarnoletMac's view paints it: scaled by
// BgrScreenScaler straight into the screen format and copied into the backing store, against
// the former way, the frame converted at its own size by libswscale and scaled by Qt's
// painter with smooth scaling. Both paint into a QImage of the view's size, the backing
// store of the offscreen platform. Prints each size's ratio of medians.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

extern "C" {
#include <libswscale/swscale.h>
}

#include "bench/platform/MedianRatio.h"
#include "platform/media/BgrScreenScaler.h"

namespace {

struct Case
{
    int width, height, viewWidth, viewHeight;
};

// The sizes of the idle-preview benchmark's window: a 640 x 480 frame enlarged, a 1280 x 720
// one shrunk a little, and a 2048 x 1536 one after the capture session halved it.
const Case kCases[] = {{640, 480, 1013, 760}, {1280, 720, 1100, 619}, {1024, 768, 1013, 760}};

std::vector<uint8_t> noisyFrame(const Case &c)
{
    std::vector<uint8_t> frame(static_cast<size_t>(c.width) * c.height * 3);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    return frame;
}

void OneScalingPass(benchmark::State &state)
{
    const Case &c = kCases[state.range(0)];
    const std::vector<uint8_t> frame = noisyFrame(c);
    varnolet::BgrScreenScaler scaler;
    QImage picture(c.viewWidth, c.viewHeight, QImage::Format_RGB32);
    QImage backingStore(c.viewWidth, c.viewHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        if (!scaler.scale(frame.data(), c.width, c.height, true, picture.bits(), c.viewWidth,
                          c.viewHeight, static_cast<int>(picture.bytesPerLine())))
            state.SkipWithError("scaling failed");
        QPainter painter(&backingStore);
        painter.drawImage(QPoint(0, 0), picture);
    }
}

void ConvertAndPainterScaleReference(benchmark::State &state)
{
    const Case &c = kCases[state.range(0)];
    std::vector<uint8_t> frame = noisyFrame(c);
    frame.resize(frame.size() + 64); // libswscale may read past the last row
    SwsContext *context = sws_getContext(c.width, c.height, AV_PIX_FMT_BGR24, c.width, c.height,
                                         AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    QImage picture(c.width, c.height, QImage::Format_RGB32);
    QImage backingStore(c.viewWidth, c.viewHeight, QImage::Format_RGB32);
    const int rowBytes = c.width * 3;
    for (auto _ : state) {
        // Bottom-up rows, read upwards.
        const uint8_t *const planes[1] = {frame.data() +
                                          static_cast<size_t>(rowBytes) * (c.height - 1)};
        const int strides[1] = {-rowBytes};
        uint8_t *const targets[1] = {picture.bits()};
        const int targetStrides[1] = {static_cast<int>(picture.bytesPerLine())};
        sws_scale(context, planes, strides, 0, c.height, targets, targetStrides);
        QPainter painter(&backingStore);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(0, 0, c.viewWidth, c.viewHeight), picture);
    }
    sws_freeContext(context);
}

// Process CPU time: the painter's smooth scaling runs partly in Qt's pooled threads.
BENCHMARK(OneScalingPass)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(ConvertAndPainterScaleReference)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    varnolet::bench::InterleavedArguments arguments(argc, argv, 7);
    benchmark::Initialize(&arguments.argc(), arguments.argv());
    varnolet::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\nmedians of the process's CPU time per painted frame, and of real time:\n");
    for (int i = 0; i < 3; ++i) {
        const Case &c = kCases[i];
        const std::string ours = "OneScalingPass/" + std::to_string(i);
        const std::string reference = "ConvertAndPainterScaleReference/" + std::to_string(i);
        const double cpu = reporter.medianCpu(ours);
        const double referenceCpu = reporter.medianCpu(reference);
        const double real = reporter.medianReal(ours);
        const double referenceReal = reporter.medianReal(reference);
        if (cpu > 0 && referenceCpu > 0 && real > 0 && referenceReal > 0)
            std::printf("  %4d x %-4d in %4d x %-4d  CPU: one pass %.3f ms, convert and painter "
                        "%.3f ms, ratio %.3f; real time ratio %.3f\n",
                        c.width, c.height, c.viewWidth, c.viewHeight, cpu * 1e3, referenceCpu * 1e3,
                        cpu / referenceCpu, real / referenceReal);
    }
    return 0;
}
