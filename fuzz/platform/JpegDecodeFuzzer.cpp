// Any bytes as a JPEG picture: the header read, a full decode into a QImage and into a BGR
// picture (compared pixel by pixel), and a DCT-scaled decode to a small thumbnail target.
// Each step uses a decoder of its own: libjpeg keeps the Huffman and quantisation tables a
// picture defined for the pictures after it, so a picture that lacks a table would decode
// differently depending on what the same decoder read before.
#include "FuzzerDefaults.h"

#include "platform/media/JpegDecoder.h"

#include <cstddef>
#include <cstdint>

using varnolet::BgrImage;
using varnolet::ImageResult;
using varnolet::ImageStatus;
using varnolet::JpegDecoder;

namespace {

// Full decodes of bigger pictures are skipped (they only cost time: the code path is the
// same as for small ones); pictures over JpegDecoder::kMaxPixels must always be refused.
constexpr long long kFullDecodePixels = 4LL * 1024 * 1024;
// Both full decodes, compared with each other, up to this size.
constexpr long long kCompareDecodePixels = 1024LL * 1024;

struct Target
{
    int width;
    int height;
};
constexpr Target kTargets[] = {{160, 120}, {96, 72}, {1, 1}, {40, 300}};

void checkScaled(const BgrImage &image, int width, int height, const Target &target)
{
    int expectedWidth = 0;
    int expectedHeight = 0;
    JpegDecoder::scaledSize(width, height, target.width, target.height, expectedWidth,
                            expectedHeight);
    FUZZ_CHECK(image.width == expectedWidth && image.height == expectedHeight);
    FUZZ_CHECK(image.width >= 1 && image.height >= 1);
    FUZZ_CHECK(image.width <= width && image.height <= height);
    FUZZ_CHECK(image.pixels.size() == static_cast<size_t>(image.width) * image.height * 3);
    // The scaled picture still covers the target fitted into the picture's aspect, so the
    // final smooth scaling only shrinks.
    const double widthRatio = static_cast<double>(target.width) / width;
    const double heightRatio = static_cast<double>(target.height) / height;
    const double needed = widthRatio < heightRatio ? widthRatio : heightRatio;
    if (needed < 1.0) {
        FUZZ_CHECK(image.width >= width * needed - 1e-6);
        FUZZ_CHECK(image.height >= height * needed - 1e-6);
    } else {
        FUZZ_CHECK(image.width == width && image.height == height);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzdefaults::addDefaults(argc, argv, {"-timeout=10", "-rss_limit_mb=2048", "-max_len=65536"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Target target = kTargets[size % (sizeof kTargets / sizeof kTargets[0])];
    const bool bottomUp = (size / 4) % 2 == 1;

    int width = -1;
    int height = -1;
    const ImageResult header = JpegDecoder().readSize(data, size, width, height);
    if (!header.ok()) {
        FUZZ_CHECK(width == 0 && height == 0);
        QImage image;
        FUZZ_CHECK(!JpegDecoder().decode(data, size, image).ok() && image.isNull());
        return 0;
    }
    FUZZ_CHECK(width > 0 && height > 0);
    const long long pixels = static_cast<long long>(width) * height;

    if (pixels > JpegDecoder::kMaxPixels) {
        QImage image;
        const ImageResult result = JpegDecoder().decode(data, size, image);
        FUZZ_CHECK(result.status == ImageStatus::OutOfMemory && image.isNull());
        BgrImage small;
        FUZZ_CHECK(
            !JpegDecoder().decode(data, size, small, bottomUp, target.width, target.height).ok());
        FUZZ_CHECK(small.isEmpty());
        return 0;
    }

    if (pixels <= kFullDecodePixels) {
        QImage image;
        const ImageResult result = JpegDecoder().decode(data, size, image);
        if (result.ok()) {
            FUZZ_CHECK(image.width() == width && image.height() == height);
            FUZZ_CHECK(image.format() == QImage::Format_RGB888);
        } else {
            FUZZ_CHECK(image.isNull());
        }
        if (result.ok() && pixels <= kCompareDecodePixels) {
            BgrImage bgr;
            const ImageResult again = JpegDecoder().decode(data, size, bgr, bottomUp);
            // The same data decodes the same way whatever the pixel layout asked for.
            FUZZ_CHECK(again.ok());
            FUZZ_CHECK(bgr.width == width && bgr.height == height && bgr.bottomUp == bottomUp);
            FUZZ_CHECK(bgr.pixels.size() == static_cast<size_t>(pixels) * 3);
            for (int y = 0; y < height; ++y) {
                const uint8_t *rgb = image.constScanLine(y);
                const uint8_t *row = bgr.row(y);
                for (int x = 0; x < width; ++x, rgb += 3, row += 3)
                    FUZZ_CHECK(rgb[0] == row[2] && rgb[1] == row[1] && rgb[2] == row[0]);
            }
        }
    }

    BgrImage small;
    const ImageResult scaled =
        JpegDecoder().decode(data, size, small, bottomUp, target.width, target.height);
    if (scaled.ok()) {
        FUZZ_CHECK(small.bottomUp == bottomUp);
        checkScaled(small, width, height, target);
    } else {
        FUZZ_CHECK(small.isEmpty());
    }
    return 0;
}
