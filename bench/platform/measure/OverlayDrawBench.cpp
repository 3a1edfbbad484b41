// The measuring overlay's cost at 1600 x 1200 with the scale bar and a set of measurements
// (length, polyline, circle, angle, one being drawn), against a plain copy of the same
// frame in the same process:
// - per live frame: the overlay's layer put over the new frame (the scene unchanged);
// - per change of the scene (a click, the pointer moving while drawing): the layer drawn
//   anew and put over the frame;
// - per photo: the overlay burnt into the photo's bottom-up BGR frame.
// Prints the ratios and the milliseconds at the end.

#include "platform/camera/TestPatternRenderer.h"
#include "platform/measure/MeasureScene.h"
#include "platform/measure/OverlayLayer.h"
#include "platform/measure/OverlayPainter.h"
#include "bench/platform/MedianRatio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

using namespace varnolet;

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;

std::vector<uint8_t> &patternFrame()
{
    static std::vector<uint8_t> frame = [] {
        TestPatternRenderer renderer;
        renderer.setSize(kWidth, kHeight);
        std::vector<uint8_t> bytes(size_t(kWidth) * kHeight * 3);
        renderer.render(1, "12:00:00.000", bytes.data());
        return bytes;
    }();
    return frame;
}

// The live picture as the window holds it: 32-bit, top-down.
QImage livePicture()
{
    const std::vector<uint8_t> &frame = patternFrame();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t *in = frame.data() + size_t(kHeight - 1 - y) * kWidth * 3;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    return image;
}

MeasureScene scene()
{
    using Tool = Measurement::Tool;
    MeasureScene s;
    s.pictureSize = QSize(kWidth, kHeight);
    s.micrometresPerPixel = 0.8;
    s.diameterText = QStringLiteral("Diameter");
    s.areaText = QStringLiteral("Area");
    s.measurements = {
        {Tool::Line, {{200, 300}, {700, 350}}},
        {Tool::Polyline, {{800, 150}, {950, 280}, {1100, 230}, {1300, 350}}},
        {Tool::Circle, {{1000, 550}, {1150, 650}, {1000, 750}}},
        {Tool::Angle, {{300, 950}, {150, 820}, {450, 750}}},
    };
    s.drawing = {Tool::Polyline, {{400, 500}, {600, 600}, {650, 700}}};
    return s;
}

void OverlayOnLivePicture(benchmark::State &state)
{
    QImage target = livePicture();
    const MeasureScene measured = scene();
    OverlayLayer layer;
    for (auto _ : state) {
        QPainter painter(&target);
        layer.paint(painter, measured, QRect(0, 0, kWidth, kHeight), 13.0);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["layer_renders"] = layer.renders();
    state.counters["tiles"] = static_cast<double>(layer.tileCount());
}

void OverlayAfterASceneChange(benchmark::State &state)
{
    QImage target = livePicture();
    MeasureScene measured = scene();
    OverlayLayer layer;
    bool moved = false;
    for (auto _ : state) {
        // The pointer moved: the drawing's last point is elsewhere.
        measured.drawing.points.back() = QPointF(moved ? 650 : 660, 700);
        moved = !moved;
        QPainter painter(&target);
        layer.paint(painter, measured, QRect(0, 0, kWidth, kHeight), 13.0);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

void OverlayBurntIntoPhoto(benchmark::State &state)
{
    std::vector<uint8_t> frame = patternFrame();
    const MeasureScene measured = scene();
    for (auto _ : state) {
        OverlayPainter::burnIn(measured, frame.data(), kWidth, kHeight);
        benchmark::DoNotOptimize(frame.data());
    }
}

// The reference: copying the live picture once, the least any frame costs the window.
void CopyOfTheFrame(benchmark::State &state)
{
    const QImage source = livePicture();
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        std::memcpy(target.bits(), source.constBits(), size_t(source.sizeInBytes()));
        benchmark::DoNotOptimize(target.constBits());
    }
}

BENCHMARK(OverlayOnLivePicture)->Unit(benchmark::kMicrosecond);
BENCHMARK(OverlayAfterASceneChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(OverlayBurntIntoPhoto)->Unit(benchmark::kMicrosecond);
BENCHMARK(CopyOfTheFrame)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    // Text needs a GUI application; no display is needed.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);

    varnolet::bench::InterleavedArguments arguments(argc, argv, 9);
    benchmark::Initialize(&arguments.argc(), arguments.argv());
    varnolet::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double reference = reporter.medianCpu("CopyOfTheFrame");
    std::printf("\nmeasuring overlay at %d x %d, median CPU time (target per live frame < 1 ms):\n",
                kWidth, kHeight);
    for (const char *name :
         {"OverlayOnLivePicture", "OverlayAfterASceneChange", "OverlayBurntIntoPhoto"}) {
        const double ours = reporter.medianCpu(name);
        if (ours <= 0 || reference <= 0)
            continue;
        std::printf("  %-26s %8.3f ms  reference copy %8.3f ms  ratio %.2fx  [%zu repetitions]\n",
                    name, ours * 1e3, reference * 1e3, ours / reference,
                    reporter.repetitions(name));
    }
    return 0;
}
