// The per-frame path of a camera stream, from a dequeued buffer to the frame sink:
// conversion to BGR24 by libv4lconvert, the flip to bottom-up rows and the delivery call,
// against the bare libv4lconvert call on the same buffer. Prints the ratios at the end.

#include "platform/camera/CameraSource.h"
#include "platform/camera/FrameConverter.h"

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
            p[2] = static_cast<uint8_t>(std::clamp(128 + static_cast<int>(100 * std::sin(x * 0.02 + y * 0.01)) + n, 0, 255));
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
    if (tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_422, 85, 0) == 0)
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
        auto luma = [](const uint8_t *p) { return static_cast<uint8_t>((66 * p[0] + 129 * p[1] + 25 * p[2] + 128) / 256 + 16); };
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

int memoryIoctl(void *, int, unsigned long request, void *argument)
{
    if (request == VIDIOC_QUERYCAP) {
        auto *capability = static_cast<v4l2_capability *>(argument);
        std::memset(capability, 0, sizeof *capability);
        capability->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        capability->device_caps = capability->capabilities;
        return 0;
    }
    errno = EINVAL;
    return -1;
}

// The reference: one libv4lconvert call into a top-down BGR24 buffer.
void BareLibv4lconvert(benchmark::State &state)
{
    Case &c = testCase(static_cast<int>(state.range(0)));
    libv4l_dev_ops ops{};
    ops.ioctl = memoryIoctl;
    v4lconvert_data *data = v4lconvert_create_with_dev_ops(-1, nullptr, &ops);
    v4l2_format source{};
    source.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    source.fmt.pix.width = static_cast<uint32_t>(c.width);
    source.fmt.pix.height = static_cast<uint32_t>(c.height);
    source.fmt.pix.pixelformat = c.pixelFormat;
    source.fmt.pix.field = V4L2_FIELD_NONE;
    source.fmt.pix.bytesperline = c.pixelFormat == V4L2_PIX_FMT_YUYV ? static_cast<uint32_t>(c.width) * 2 : 0;
    source.fmt.pix.sizeimage = static_cast<uint32_t>(c.width * c.height * 3);
    v4l2_format target = source;
    target.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    target.fmt.pix.bytesperline = static_cast<uint32_t>(c.width) * 3;
    std::vector<uint8_t> out(static_cast<size_t>(c.width) * c.height * 3);
    for (auto _ : state) {
        const int written = v4lconvert_convert(data, &source, &target, c.buffer.data(), static_cast<int>(c.buffer.size()),
                                               out.data(), static_cast<int>(out.size()));
        if (written < 0)
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(c.name);
    v4lconvert_destroy(data);
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

// Console output plus the ratios of ours against the reference, case by case.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            // With repetitions the median stands for the case, else the single run.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median)
                continue;
            auto &table = run.benchmark_name().rfind("BareLibv4lconvert", 0) == 0 ? m_reference : m_ours;
            if (median || !table.count(run.report_label) || !m_fromMedian[run.report_label + run.benchmark_name()])
                table[run.report_label] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            if (median)
                m_fromMedian[run.report_label + run.benchmark_name()] = true;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        // CPU time is what one core spends per frame; real time also counts waiting for a
        // core on a busy machine.
        std::printf("\nper-frame path against bare libv4lconvert, CPU time per frame (target <= 1.15x):\n");
        for (const auto &[label, ours] : m_ours) {
            const auto reference = m_reference.find(label);
            if (reference == m_reference.end())
                continue;
            std::printf("  %-16s ours %8.3f ms  reference %8.3f ms  ratio %.3fx  (real-time ratio %.3fx)  "
                        "%.1f frames/s on one core\n",
                        label.c_str(), ours.second, reference->second.second, ours.second / reference->second.second,
                        ours.first / reference->second.first, 1000.0 / ours.second);
        }
    }

private:
    // label -> (real, CPU) milliseconds per frame
    std::map<std::string, std::pair<double, double>> m_reference, m_ours;
    std::map<std::string, bool> m_fromMedian;
};

} // namespace

BENCHMARK(BareLibv4lconvert)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FramePathToSink)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
