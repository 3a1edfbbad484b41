// Writes the small valid inputs the platform fuzzers start from:
//   make_platform_fuzz_seeds <seeds folder>
// JPEG pictures from libturbojpeg, AVI and QuickTime movies from the project's writers, and
// camera buffers (YUYV and MJPEG) in the camera fuzzer's layout (one setup byte first).
#include "platform/media/AviMpeg4Writer.h"
#include "platform/media/QuickTimeMovieWriter.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <turbojpeg.h>

namespace {

namespace fs = std::filesystem;

// Smooth gradients with a few sharp edges, so the encoders produce more than flat blocks.
std::vector<uint8_t> pattern(int width, int height, int seed)
{
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = static_cast<uint8_t>(((x / 4 + y / 4 + seed) % 2) ? 230 : 20);
        }
    return bgr;
}

bool writeBytes(const fs::path &path, const std::vector<uint8_t> &bytes)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<uint8_t> jpeg(int width, int height, int subsampling, int quality, int flags)
{
    const std::vector<uint8_t> bgr = pattern(width, height, width);
    tjhandle handle = tjInitCompress();
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> bytes;
    if (handle && tjCompress2(handle, bgr.data(), width, width * 3, height, TJPF_BGR, &buffer,
                              &size, subsampling, quality, flags) == 0)
        bytes.assign(buffer, buffer + size);
    tjFree(buffer);
    if (handle)
        tjDestroy(handle);
    return bytes;
}

bool avi(const fs::path &path, int width, int height, int frames)
{
    varnolet::AviMpeg4Writer writer;
    if (writer.open(path.string(), width, height) != 0)
        return false;
    for (int i = 0; i < frames; ++i) {
        const std::vector<uint8_t> bgr = pattern(width, height, i);
        if (writer.writeFrame(bgr.data()) != 0)
            return false;
    }
    return writer.close() == 0;
}

bool quickTime(const fs::path &path, int width, int height, int frames)
{
    std::error_code ignored;
    fs::remove(path, ignored); // finish() never replaces a file
    varnolet::QuickTimeMovieWriter writer;
    if (writer.start(path.string()) != 0)
        return false;
    for (int i = 0; i < frames; ++i) {
        const std::vector<uint8_t> bgr = pattern(width, height, i);
        if (writer.addFrame(bgr.data(), width, height, true) != 0)
            return false;
    }
    return writer.finish(-1) == 0;
}

// One setup byte (bit 0: MJPEG, bits 1-3: size index, bit 4: padded rows), then the buffer.
std::vector<uint8_t> cameraBuffer(uint8_t setup, const std::vector<uint8_t> &frame)
{
    std::vector<uint8_t> bytes{setup};
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}

std::vector<uint8_t> yuyv(int width, int height, int bytesPerLine)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(bytesPerLine) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t *p = &bytes[static_cast<size_t>(y) * bytesPerLine + x * 2];
            p[0] = static_cast<uint8_t>(16 + (x + y) * 219 / (width + height));
            p[1] = static_cast<uint8_t>(x % 2 ? 90 + y * 7 : 200 - x * 5);
        }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seeds folder>\n", argv[0]);
        return 2;
    }
    const fs::path root(argv[1]);
    const fs::path jpegs = root / "fuzz_media_jpeg_decode";
    const fs::path movies = root / "fuzz_media_first_frame";
    const fs::path camera = root / "fuzz_camera_convert";
    const fs::path fragments = root / "fuzz_media_fragment_scan";
    for (const fs::path &folder : {jpegs, movies, camera, fragments})
        fs::create_directories(folder);

    bool ok = true;
    ok &= writeBytes(jpegs / "gray_8x8.jpg", jpeg(8, 8, TJSAMP_GRAY, 90, 0));
    ok &= writeBytes(jpegs / "420_16x16.jpg", jpeg(16, 16, TJSAMP_420, 85, 0));
    ok &= writeBytes(jpegs / "444_33x17.jpg", jpeg(33, 17, TJSAMP_444, 95, 0));
    ok &= writeBytes(jpegs / "422_40x30_progressive.jpg",
                     jpeg(40, 30, TJSAMP_422, 80, TJFLAG_PROGRESSIVE));
    ok &= writeBytes(jpegs / "440_24x96.jpg", jpeg(24, 96, TJSAMP_440, 75, 0));

    ok &= avi(movies / "two_frames_16x16.avi", 16, 16, 2);
    ok &= avi(movies / "one_frame_32x24.avi", 32, 24, 1);
    ok &= quickTime(movies / "two_frames_16x16.mov", 16, 16, 2);
    // Rows that are not a multiple of 16 pixels: libswscale's converters write past the end
    // of such rows, which once corrupted the heap behind a tightly sized picture.
    ok &= avi(movies / "one_frame_40x24.avi", 40, 24, 1);
    ok &= quickTime(movies / "one_frame_56x48.mov", 56, 48, 1);
    // A recording of two fragments (25 frames at the nominal 1/20 s), whole and as a kill
    // leaves it: cut inside its second fragment.
    ok &= quickTime(fragments / "two_fragments_8x8.mov", 8, 8, 25);
    if (ok) {
        std::error_code error;
        const auto size = fs::file_size(fragments / "two_fragments_8x8.mov", error);
        fs::copy_file(fragments / "two_fragments_8x8.mov", fragments / "cut_8x8.mov",
                      fs::copy_options::overwrite_existing, error);
        if (!error)
            fs::resize_file(fragments / "cut_8x8.mov", size - size / 5, error);
        ok &= !error;
    }

    // Size indexes as in the fuzzer: 0 = 16x8, 1 = 32x24, 2 = 8x72, 6 = 3x3.
    ok &= writeBytes(camera / "yuyv_16x8", cameraBuffer(0 << 1, yuyv(16, 8, 32)));
    ok &= writeBytes(camera / "yuyv_8x72_padded",
                     cameraBuffer(0x10 | 2 << 1, yuyv(8, 72, 8 * 2 + 8)));
    ok &= writeBytes(camera / "yuyv_3x3", cameraBuffer(6 << 1, yuyv(3, 3, 6)));
    ok &= writeBytes(camera / "yuyv_32x24_short", cameraBuffer(1 << 1, yuyv(32, 20, 64)));
    ok &=
        writeBytes(camera / "mjpeg_16x8", cameraBuffer(1 | 0 << 1, jpeg(16, 8, TJSAMP_422, 85, 0)));
    ok &= writeBytes(camera / "mjpeg_32x24",
                     cameraBuffer(1 | 1 << 1, jpeg(32, 24, TJSAMP_420, 70, 0)));
    ok &=
        writeBytes(camera / "mjpeg_8x72", cameraBuffer(1 | 2 << 1, jpeg(8, 72, TJSAMP_444, 90, 0)));
    // The live picture's reduced decode (bit 5).
    ok &= writeBytes(camera / "mjpeg_160x120_reduced",
                     cameraBuffer(0x20 | 1 | 7 << 1, jpeg(160, 120, TJSAMP_422, 80, 0)));
    ok &= writeBytes(camera / "mjpeg_64x48_reduced",
                     cameraBuffer(0x20 | 1 | 5 << 1, jpeg(64, 48, TJSAMP_420, 85, 0)));
    if (!ok) {
        std::fprintf(stderr, "some seeds could not be written\n");
        return 1;
    }
    return 0;
}
