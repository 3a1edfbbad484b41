// The per-frame path of a camera stream, from a dequeued buffer to the frame sink:
// conversion to BGR24 by libv4lconvert, the flip to bottom-up rows and the delivery call,
// against the bare libv4lconvert call on the same buffer; the former path (libv4lconvert,
// then a flip of the whole frame) as the before figure; and the live picture's reduced
// Motion-JPEG decode at 2592 x 1944 (shown at 1280 x 960 and at 640 x 480) against the bare
// full decode. Prints the ratios at the end.

#include "platform/camera/CameraSource.h"
#include "platform/camera/FrameConverter.h"
#include "bench/platform/BareV4lConvert.h"
#include "bench/platform/MedianRatio.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>

using namespace varnolet;

namespace {

// A camera-like picture: gradients, a grid and some noise, so JPEG has detail to code.
std::vector<uint8_t> testPicture(int width, int height)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = static_cast<int>((noise >> 16) & 15) - 8;
            const bool grid = (x % 64 < 2) || (y % 64 < 2);
            uint8_t *p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(std::clamp(x * 255 / width + n, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(grid ? 30 : y * 255 / height + n, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(
                128 + static_cast<int>(100 * std::sin(x * 0.02 + y * 0.01)) + n, 0, 255));
        }
    }
    return rgb;
}

std::vector<uint8_t> mjpegFrame(int width, int height)
{
    const std::vector<uint8_t> rgb = testPicture(width, height);
    tjhandle handle = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> out;
    if (tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_422, 85,
                    0) == 0)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

std::vector<uint8_t> yuyvFrame(int width, int height)
{
    const std::vector<uint8_t> rgb = testPicture(width, height);
    std::vector<uint8_t> yuyv(static_cast<size_t>(width) * height * 2);
    for (size_t i = 0, o = 0; i + 5 < rgb.size(); i += 6, o += 4) {
        auto luma = [](const uint8_t *p) {
            return static_cast<uint8_t>((66 * p[0] + 129 * p[1] + 25 * p[2] + 128) / 256 + 16);
        };
        const uint8_t *a = &rgb[i], *b = &rgb[i + 3];
        yuyv[o] = luma(a);
        yuyv[o + 1] = static_cast<uint8_t>((-38 * a[0] - 74 * a[1] + 112 * a[2] + 128) / 256 + 128);
        yuyv[o + 2] = luma(b);
        yuyv[o + 3] = static_cast<uint8_t>((112 * a[0] - 94 * a[1] - 18 * a[2] + 128) / 256 + 128);
    }
    return yuyv;
}

struct Case
{
    const char *name;
    uint32_t pixelFormat;
    int width;
    int height;
    std::vector<uint8_t> buffer;
};

Case &testCase(int index)
{
    static std::vector<Case> cases = [] {
        std::vector<Case> list;
        list.push_back({"YUYV_1280x720", V4L2_PIX_FMT_YUYV, 1280, 720, yuyvFrame(1280, 720)});
        list.push_back({"MJPEG_1920x1080", V4L2_PIX_FMT_MJPEG, 1920, 1080, mjpegFrame(1920, 1080)});
        list.push_back({"MJPEG_2592x1944", V4L2_PIX_FMT_MJPEG, 2592, 1944, mjpegFrame(2592, 1944)});
        return list;
    }();
    return cases[static_cast<size_t>(index)];
}

// The reference: one libv4lconvert call into a top-down BGR24 buffer.
void BareLibv4lconvert(benchmark::State &state)
{
    Case &c = testCase(static_cast<int>(state.range(0)));
    varnolet::bench::BareV4lConvert bare(c.pixelFormat, c.width, c.height);
    for (auto _ : state) {
        if (bare.convert(c.buffer.data(), c.buffer.size()) < 0)
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(bare.output());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(c.name);
}

// The path before Motion-JPEG went straight into bottom-up rows: libv4lconvert's top-down
// picture, flipped row by row into the frame buffer.
void FormerPathWithFlip(benchmark::State &state)
{
    Case &c = testCase(static_cast<int>(state.range(0)));
    varnolet::bench::BareV4lConvert bare(c.pixelFormat, c.width, c.height);
    std::vector<uint8_t> flipped(static_cast<size_t>(c.width) * c.height * 3);
    const size_t row = static_cast<size_t>(c.width) * 3;
    for (auto _ : state) {
        if (bare.convert(c.buffer.data(), c.buffer.size()) < 0)
            state.SkipWithError("conversion failed");
        for (int y = 0; y < c.height; ++y)
            std::memcpy(flipped.data() + row * static_cast<size_t>(c.height - 1 - y),
                        bare.output() + row * static_cast<size_t>(y), row);
        benchmark::DoNotOptimize(flipped.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(c.name);
}

// The live picture of the 5 MP Motion-JPEG camera, decoded at the scale shown
// (range(1) x range(2)) while only previewing.
void ReducedForPreview(benchmark::State &state)
{
    Case &c = testCase(2);
    FrameConverter converter;
    if (converter.configure(c.pixelFormat, c.width, c.height) < 0 ||
        converter.convert(c.buffer.data(), c.buffer.size()) != 0) { // the stream's first frame
        state.SkipWithError("configure failed");
        return;
    }
    converter.setReducedSize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        if (converter.convert(c.buffer.data(), c.buffer.size()) != 0) {
            state.SkipWithError("conversion failed");
            break;
        }
        benchmark::DoNotOptimize(converter.output());
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(converter.width()) + "x" + std::to_string(converter.height()));
}

// Ours: the capture thread's work per frame, up to and including the sink call.
void FramePathToSink(benchmark::State &state)
{
    Case &c = testCase(static_cast<int>(state.range(0)));
    FrameConverter converter;
    if (converter.configure(c.pixelFormat, c.width, c.height) < 0) {
        state.SkipWithError("configure failed");
        return;
    }
    uint64_t touched = 0;
    const CameraSource::FrameCallback sink = [&touched](const CameraFrame &frame) {
        touched += frame.data[frame.length / 2]; // the sink reads the frame
    };
    uint64_t sequence = 0;
    for (auto _ : state) {
        if (converter.convert(c.buffer.data(), c.buffer.size()) != 0) {
            state.SkipWithError("conversion failed");
            break;
        }
        CameraFrame frame;
        frame.data = converter.output();
        frame.length = converter.outputSize();
        frame.width = converter.width();
        frame.height = converter.height();
        frame.sequence = sequence++;
        frame.sampleTime = static_cast<double>(frame.sequence) / 30.0;
        sink(frame);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(touched);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(c.name);
}

} // namespace

BENCHMARK(BareLibv4lconvert)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FramePathToSink)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FormerPathWithFlip)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReducedForPreview)
    ->Args({1280, 960})
    ->Args({640, 480})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char **argv)
{
    // Both sides of every case run several times in random interleaved order, so the
    // drift of a loaded machine hits both alike; the ratios are between medians.
    varnolet::bench::InterleavedArguments arguments(argc, argv, 9);
    benchmark::Initialize(&arguments.argc(), arguments.argv());
    varnolet::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // CPU time is what one core spends per frame; real time also counts waiting for a core
    // on a busy machine.
    std::printf("\nper-frame path against bare libv4lconvert, median CPU time per frame (target <= "
                "1.10x; before: the former path with its flip):\n");
    for (int index = 0; index < 3; ++index) {
        char oursName[64];
        char referenceName[64];
        std::snprintf(oursName, sizeof oursName, "FramePathToSink/%d", index);
        std::snprintf(referenceName, sizeof referenceName, "BareLibv4lconvert/%d", index);
        const double ours = reporter.medianCpu(oursName);
        const double reference = reporter.medianCpu(referenceName);
        if (ours <= 0 || reference <= 0)
            continue;
        const double oursReal = reporter.medianReal(oursName);
        const double referenceReal = reporter.medianReal(referenceName);
        char formerName[64];
        std::snprintf(formerName, sizeof formerName, "FormerPathWithFlip/%d", index);
        const double former = reporter.medianCpu(formerName);
        std::printf(
            "  %-16s ours %8.3f ms  reference %8.3f ms  ratio %.3fx  (real-time ratio %.3fx)  "
            "before %.3fx  %.1f frames/s on one core  [%zu repetitions each]\n",
            testCase(index).name, ours * 1e3, reference * 1e3, ours / reference,
            referenceReal > 0 ? oursReal / referenceReal : 0.0, former / reference, 1.0 / ours,
            reporter.repetitions(oursName));
    }
    const double fullDecode = reporter.medianCpu("BareLibv4lconvert/2");
    std::printf("\nlive picture of MJPEG 2592x1944, decoded at the scale shown, against the bare "
                "full decode (before: a full decode, 1.00x or more):\n");
    for (const char *shown : {"1280/960", "640/480"}) {
        const double reduced = reporter.medianCpu(std::string("ReducedForPreview/") + shown);
        if (reduced > 0 && fullDecode > 0)
            std::printf("  shown at %-9s %8.3f ms  bare full decode %8.3f ms  ratio %.3fx\n", shown,
                        reduced * 1e3, fullDecode * 1e3, reduced / fullDecode);
    }
    return 0;
}
