// Any bytes as a camera buffer for the frame converter, in MJPEG or YUYV at a few small
// sizes. The first byte picks the setup: bit 0 the format (0 YUYV, 1 MJPEG), bits 1-3 the
// size, bit 4 padded YUYV rows; the rest is the buffer. Every buffer is also converted
// shortened, and converted again afterwards to check that a refused frame leaves the
// converter usable. YUYV frames are compared with one whole-frame libv4lconvert pass.
// A corrupt MJPEG frame may decode differently the second time: libv4lconvert keeps one
// libjpeg decompressor per stream, and libjpeg keeps the tables a frame defined for the
// frames after it, so a corrupt frame is not compared with itself; instead a complete
// frame afterwards must convert (at the latest on its second try) exactly as on a fresh
// converter. Bit 5 then asks for reduced frames (the live picture's decode at a smaller
// scale): the buffer and the complete frame convert again, never past the output, at the
// full size or at the reduced size the converter names for it.
#include "FuzzerDefaults.h"

#include "platform/camera/FrameConverter.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>

using varnolet::FrameConverter;

namespace {

struct Size
{
    int width;
    int height;
};
// Small sizes, one taller than the converter's 64-row strips, odd ones and one-row ones.
constexpr Size kSizes[] = {{16, 8}, {32, 24}, {8, 72}, {6, 2},
                           {2, 1},  {64, 48}, {3, 3},  {160, 120}};
constexpr uint32_t kRowPadding = 8;

int deviceFreeIoctl(void *, int, unsigned long request, void *argument)
{
    if (request == VIDIOC_QUERYCAP) {
        auto *capability = static_cast<v4l2_capability *>(argument);
        std::memset(capability, 0, sizeof *capability);
        std::strncpy(reinterpret_cast<char *>(capability->driver), "fuzz",
                     sizeof capability->driver - 1);
        capability->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        capability->device_caps = capability->capabilities;
        return 0;
    }
    errno = EINVAL;
    return -1;
}

struct ConvertDeleter
{
    void operator()(v4lconvert_data *data) const { v4lconvert_destroy(data); }
};

v4lconvert_data *referenceConverter()
{
    static const libv4l_dev_ops ops = [] {
        libv4l_dev_ops o{};
        o.ioctl = deviceFreeIoctl;
        return o;
    }();
    static std::unique_ptr<v4lconvert_data, ConvertDeleter> convert(
        v4lconvert_create_with_dev_ops(-1, nullptr, &ops));
    return convert.get();
}

// The whole YUYV frame in one libv4lconvert call, rows top-down. False when it refuses.
bool referenceYuyv(const uint8_t *source, size_t length, int width, int height,
                   uint32_t bytesPerLine, std::vector<uint8_t> &topDown)
{
    v4l2_format sourceFormat{};
    sourceFormat.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    sourceFormat.fmt.pix.width = static_cast<uint32_t>(width);
    sourceFormat.fmt.pix.height = static_cast<uint32_t>(height);
    sourceFormat.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    sourceFormat.fmt.pix.field = V4L2_FIELD_NONE;
    sourceFormat.fmt.pix.bytesperline = bytesPerLine;
    sourceFormat.fmt.pix.sizeimage = bytesPerLine * static_cast<uint32_t>(height);
    v4l2_format targetFormat = sourceFormat;
    targetFormat.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    targetFormat.fmt.pix.bytesperline = static_cast<uint32_t>(width) * 3;
    targetFormat.fmt.pix.sizeimage = static_cast<uint32_t>(width * height * 3);
    topDown.assign(targetFormat.fmt.pix.sizeimage, 0);
    const size_t used = std::min<size_t>(length, sourceFormat.fmt.pix.sizeimage);
    return v4lconvert_convert(referenceConverter(), &sourceFormat, &targetFormat,
                              const_cast<uint8_t *>(source), static_cast<int>(used), topDown.data(),
                              static_cast<int>(topDown.size())) == static_cast<int>(topDown.size());
}

// A complete MJPEG frame of each size, made once.
const std::vector<uint8_t> &completeFrame(int sizeIndex)
{
    static std::vector<uint8_t> frames[sizeof kSizes / sizeof kSizes[0]];
    std::vector<uint8_t> &frame = frames[sizeIndex];
    if (frame.empty()) {
        const Size size = kSizes[sizeIndex];
        std::vector<uint8_t> bgr(static_cast<size_t>(size.width) * size.height * 3);
        for (size_t i = 0; i < bgr.size(); ++i)
            bgr[i] = static_cast<uint8_t>(i * 37 % 251);
        tjhandle handle = tjInitCompress();
        unsigned char *jpeg = nullptr;
        unsigned long length = 0;
        FUZZ_CHECK(handle &&
                   tjCompress2(handle, bgr.data(), size.width, size.width * 3, size.height,
                               TJPF_BGR, &jpeg, &length, TJSAMP_422, 85, 0) == 0);
        frame.assign(jpeg, jpeg + length);
        tjFree(jpeg);
        tjDestroy(handle);
    }
    return frame;
}

std::vector<uint8_t> convertFresh(const std::vector<uint8_t> &mjpeg, const Size &size)
{
    FrameConverter converter;
    FUZZ_CHECK(converter.configure(V4L2_PIX_FMT_MJPEG, size.width, size.height) == 0);
    FUZZ_CHECK(converter.convert(mjpeg.data(), mjpeg.size()) == 0);
    return std::vector<uint8_t>(converter.output(), converter.output() + converter.outputSize());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzdefaults::addDefaults(argc, argv, {"-timeout=10", "-rss_limit_mb=1024", "-max_len=65536"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t setup = data[0];
    const bool mjpeg = setup & 1;
    const Size frame = kSizes[(setup >> 1) & 7];
    const bool padded = !mjpeg && (setup & 0x10);
    // A copy of exactly the buffer's length, so that reading past its end is caught.
    const std::vector<uint8_t> buffer(data + 1, data + size);
    const size_t length = buffer.size();

    FrameConverter converter;
    const uint32_t bytesPerLine = padded ? static_cast<uint32_t>(frame.width) * 2 + kRowPadding : 0;
    FUZZ_CHECK(converter.configure(mjpeg ? V4L2_PIX_FMT_MJPEG : V4L2_PIX_FMT_YUYV, frame.width,
                                   frame.height, bytesPerLine) == 0);
    const size_t frameBytes = static_cast<size_t>(frame.width) * frame.height * 3;
    FUZZ_CHECK(converter.outputSize() == frameBytes);

    const int first = converter.convert(length ? buffer.data() : nullptr, length);
    FUZZ_CHECK(first <= 0);
    FUZZ_CHECK(converter.width() == frame.width && converter.height() == frame.height);
    FUZZ_CHECK(converter.outputSize() == frameBytes);
    const std::vector<uint8_t> firstOutput(converter.output(), converter.output() + frameBytes);

    const size_t needed =
        static_cast<size_t>(padded ? bytesPerLine : frame.width * 2) * frame.height;
    if (!mjpeg) {
        if (length < needed) {
            FUZZ_CHECK(first == (length == 0 ? -EINVAL : -EAGAIN));
        } else {
            FUZZ_CHECK(first == 0);
            std::vector<uint8_t> topDown;
            FUZZ_CHECK(referenceYuyv(buffer.data(), length, frame.width, frame.height,
                                     padded ? bytesPerLine : static_cast<uint32_t>(frame.width) * 2,
                                     topDown));
            const size_t row = static_cast<size_t>(frame.width) * 3;
            for (int y = 0; y < frame.height; ++y)
                FUZZ_CHECK(std::memcmp(firstOutput.data() +
                                           row * static_cast<size_t>(frame.height - 1 - y),
                                       topDown.data() + row * static_cast<size_t>(y), row) == 0);
        }
    }

    // A shortened buffer, in its own allocation: refused or converted, never read past.
    if (length > 1) {
        const std::vector<uint8_t> shortened(
            buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length / 2));
        const int second = converter.convert(shortened.data(), shortened.size());
        FUZZ_CHECK(second <= 0);
        if (!mjpeg)
            FUZZ_CHECK((second == 0) == (shortened.size() >= needed));
    }

    const int third = converter.convert(length ? buffer.data() : nullptr, length);
    FUZZ_CHECK(third <= 0);
    FUZZ_CHECK(converter.outputSize() == frameBytes);
    if (!mjpeg) {
        // The whole buffer again gives what it gave the first time.
        FUZZ_CHECK(third == first);
        if (first == 0)
            FUZZ_CHECK(std::memcmp(converter.output(), firstOutput.data(), frameBytes) == 0);
        return 0;
    }
    // Whatever came before, a complete frame converts as it does on a fresh converter.
    const int sizeIndex = (setup >> 1) & 7;
    const std::vector<uint8_t> &complete = completeFrame(sizeIndex);
    static std::vector<uint8_t> expected[sizeof kSizes / sizeof kSizes[0]];
    if (expected[sizeIndex].empty())
        expected[sizeIndex] = convertFresh(complete, frame);
    // After a frame whose header gives another size, libv4lconvert refuses the next frame
    // once more (-EAGAIN) while it resets its decompressor; a second try must succeed.
    if (converter.convert(complete.data(), complete.size()) != 0)
        FUZZ_CHECK(converter.convert(complete.data(), complete.size()) == 0);
    FUZZ_CHECK(std::memcmp(converter.output(), expected[sizeIndex].data(), frameBytes) == 0);
    if (!(setup & 0x20))
        return 0;

    const int minimumWidth = std::max(1, frame.width / 3);
    const int minimumHeight = std::max(1, frame.height / 3);
    int reducedWidth = 0, reducedHeight = 0;
    FrameConverter::reducedSize(frame.width, frame.height, minimumWidth, minimumHeight,
                                reducedWidth, reducedHeight);
    FUZZ_CHECK(reducedWidth >= minimumWidth && reducedHeight >= minimumHeight);
    FUZZ_CHECK(reducedWidth <= frame.width && reducedHeight <= frame.height);
    converter.setReducedSize(minimumWidth, minimumHeight);
    auto sizeIsFullOrReduced = [&] {
        const bool full = converter.width() == frame.width && converter.height() == frame.height;
        const bool reduced =
            converter.width() == reducedWidth && converter.height() == reducedHeight;
        FUZZ_CHECK(full || reduced);
        FUZZ_CHECK(converter.isReduced() == !full);
        FUZZ_CHECK(converter.outputSize() ==
                   static_cast<size_t>(converter.width()) * converter.height() * 3);
    };
    FUZZ_CHECK(converter.convert(length ? buffer.data() : nullptr, length) <= 0);
    sizeIsFullOrReduced();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (converter.convert(complete.data(), complete.size()) == 0)
            sizeIsFullOrReduced();
    }
    return 0;
}
