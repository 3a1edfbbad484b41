#include "platform/camera/FrameConverter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <linux/videodev2.h>
#include <turbojpeg.h>

using namespace varnolet;

namespace {

// BGR pixel (x, y counted from the top) of a bottom-up frame.
const uint8_t *pixel(const FrameConverter &converter, const uint8_t *data, int x, int y)
{
    const size_t row = static_cast<size_t>(converter.width()) * 3;
    return data + static_cast<size_t>(converter.height() - 1 - y) * row +
           static_cast<size_t>(x) * 3;
}

std::vector<uint8_t> encodeJpeg(const std::vector<uint8_t> &rgb, int width, int height)
{
    tjhandle handle = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size,
                                   TJSAMP_422, 95, 0);
    std::vector<uint8_t> out;
    if (result == 0)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}

// The first third of a JPEG with bytes flipped all over it.
std::vector<uint8_t> corrupted(const std::vector<uint8_t> &jpeg)
{
    std::vector<uint8_t> garbage(jpeg.begin(), jpeg.begin() + jpeg.size() / 3);
    for (size_t i = 20; i < garbage.size(); i += 7)
        garbage[i] ^= 0x5A;
    return garbage;
}

} // namespace

TEST(FrameConverter, YuyvBecomesBottomUpBgr)
{
    const int w = 8, h = 4;
    std::vector<uint8_t> yuyv(static_cast<size_t>(w) * h * 2);
    // Top half white (Y 235), bottom half black (Y 16), no colour.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            yuyv[(y * w + x) * 2] = y < h / 2 ? 235 : 16;
            yuyv[(y * w + x) * 2 + 1] = 128;
        }
    FrameConverter converter;
    ASSERT_EQ(converter.configure(V4L2_PIX_FMT_YUYV, w, h), 0);
    ASSERT_EQ(converter.convert(yuyv.data(), yuyv.size()), 0);
    ASSERT_EQ(converter.outputSize(), static_cast<size_t>(w * h * 3));
    // The first row of the buffer is the bottom row of the picture: black.
    EXPECT_LT(converter.output()[0], 20);
    EXPECT_GT(pixel(converter, converter.output(), 0, 0)[0], 225);
    EXPECT_GT(pixel(converter, converter.output(), w - 1, 1)[2], 225);
    EXPECT_LT(pixel(converter, converter.output(), w - 1, h - 1)[1], 20);
}

TEST(FrameConverter, TallFramesKeepEveryRowInBottomUpOrder)
{
    // Taller than one conversion strip, and not a multiple of it.
    const int w = 4, h = 150;
    std::vector<uint8_t> yuyv(static_cast<size_t>(w) * h * 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            yuyv[(y * w + x) * 2] = static_cast<uint8_t>(20 + (y * 7) % 200); // grey level by row
            yuyv[(y * w + x) * 2 + 1] = 128;
        }
    FrameConverter converter;
    ASSERT_EQ(converter.configure(V4L2_PIX_FMT_YUYV, w, h), 0);
    ASSERT_EQ(converter.convert(yuyv.data(), yuyv.size()), 0);
    for (int y = 0; y < h; ++y) {
        const uint8_t *p = pixel(converter, converter.output(), w - 1, y);
        EXPECT_NEAR(p[1], 20 + (y * 7) % 200, 2) << "row " << y;
    }
    EXPECT_EQ(converter.convert(yuyv.data(), yuyv.size() - 1), -EAGAIN);
}

TEST(FrameConverter, Bgr24SourceIsOnlyFlippedAndStrideIsHonoured)
{
    const int w = 3, h = 2, stride = 12; // 9 bytes of pixels, 3 of padding per row
    std::vector<uint8_t> bgr(static_cast<size_t>(stride) * h, 0xEE);
    for (int x = 0; x < w; ++x) {
        bgr[x * 3 + 0] = 10; // top row: (10, 20, 30)
        bgr[x * 3 + 1] = 20;
        bgr[x * 3 + 2] = 30;
        bgr[stride + x * 3 + 0] = 40; // bottom row: (40, 50, 60)
        bgr[stride + x * 3 + 1] = 50;
        bgr[stride + x * 3 + 2] = 60;
    }
    FrameConverter converter;
    ASSERT_EQ(converter.configure(V4L2_PIX_FMT_BGR24, w, h, stride), 0);
    ASSERT_EQ(converter.convert(bgr.data(), bgr.size()), 0);
    const std::vector<uint8_t> expected = {40, 50, 60, 40, 50, 60, 40, 50, 60,
                                           10, 20, 30, 10, 20, 30, 10, 20, 30};
    EXPECT_EQ(std::vector<uint8_t>(converter.output(), converter.output() + converter.outputSize()),
              expected);
    // A truncated buffer is refused, not read past its end.
    EXPECT_EQ(converter.convert(bgr.data(), 10), -EAGAIN);
}

TEST(FrameConverter, MjpegDecodesUprightAndCorruptFramesAreRefused)
{
    const int w = 64, h = 48;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            // Top half red, bottom half blue.
            p[0] = y < h / 2 ? 255 : 0;
            p[1] = 0;
            p[2] = y < h / 2 ? 0 : 255;
        }
    const std::vector<uint8_t> jpeg = encodeJpeg(rgb, w, h);
    ASSERT_FALSE(jpeg.empty());

    FrameConverter converter;
    ASSERT_EQ(converter.configure(V4L2_PIX_FMT_MJPEG, w, h), 0);
    ASSERT_EQ(converter.convert(jpeg.data(), jpeg.size()), 0) << converter.lastError();
    const uint8_t *top = pixel(converter, converter.output(), w / 2, 4);
    const uint8_t *bottom = pixel(converter, converter.output(), w / 2, h - 4);
    EXPECT_GT(top[2], 200); // red
    EXPECT_LT(top[0], 60);
    EXPECT_GT(bottom[0], 200); // blue
    EXPECT_LT(bottom[2], 60);

    const std::vector<uint8_t> garbage = corrupted(jpeg);
    EXPECT_LT(converter.convert(garbage.data(), garbage.size()), 0);
    const std::vector<uint8_t> noise(500, 0x42);
    EXPECT_LT(converter.convert(noise.data(), noise.size()), 0);
}

TEST(FrameConverter, RefusesUnusableSetups)
{
    FrameConverter converter;
    EXPECT_EQ(converter.configure(V4L2_PIX_FMT_H264, 640, 480), -EINVAL);
    EXPECT_EQ(converter.configure(V4L2_PIX_FMT_YUYV, 0, 480), -EINVAL);
    uint8_t byte = 0;
    EXPECT_EQ(converter.convert(&byte, 1), -EINVAL); // not configured
    ASSERT_EQ(converter.configure(V4L2_PIX_FMT_YUYV, 16, 16), 0);
    EXPECT_EQ(converter.convert(nullptr, 0), -EINVAL);
}

struct ReducedSizeCase
{
    int width, height, minimumWidth, minimumHeight, expectedWidth, expectedHeight;
};

class FrameConverterReducedSize : public ::testing::TestWithParam<ReducedSizeCase>
{
};

TEST_P(FrameConverterReducedSize, PicksTheSmallestScaleThatCoversTheShownSize)
{
    const ReducedSizeCase c = GetParam();
    int w = 0, h = 0;
    FrameConverter::reducedSize(c.width, c.height, c.minimumWidth, c.minimumHeight, w, h);
    EXPECT_EQ(w, c.expectedWidth);
    EXPECT_EQ(h, c.expectedHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Scales, FrameConverterReducedSize,
    ::testing::Values(ReducedSizeCase{2592, 1944, 0, 0, 2592, 1944},      // full frames asked
                      ReducedSizeCase{2592, 1944, 1200, 900, 1296, 972},  // a half covers it
                      ReducedSizeCase{2592, 1944, 1297, 900, 2592, 1944}, // a half is too narrow
                      ReducedSizeCase{2592, 1944, 640, 480, 648, 486},    // a quarter
                      ReducedSizeCase{2592, 1944, 300, 200, 324, 243},    // an eighth
                      ReducedSizeCase{1920, 1080, 800, 600, 1920,
                                      1080},                      // the height rules out a half
                      ReducedSizeCase{100, 75, 10, 10, 13, 10})); // sides round up

TEST(FrameConverter, MjpegDecodesReducedOnlyWhileAskedAndLikeTheFullPicture)
{
    const int w = 256, h = 192;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = y < h / 2 ? 250 : 10; // top half red, bottom half blue
            p[1] = static_cast<uint8_t>(x);
            p[2] = y < h / 2 ? 10 : 250;
        }
    const std::vector<uint8_t> jpeg = encodeJpeg(rgb, w, h);
    ASSERT_FALSE(jpeg.empty());

    // The reference: libturbojpeg's own full-size, top-down picture.
    std::vector<uint8_t> expected(rgb.size());
    tjhandle handle = tjInitDecompress();
    ASSERT_EQ(
        tjDecompress2(handle, jpeg.data(), jpeg.size(), expected.data(), w, 0, h, TJPF_BGR, 0), 0);
    tjDestroy(handle);

    FrameConverter converter;
    ASSERT_EQ(converter.configure(V4L2_PIX_FMT_MJPEG, w, h), 0);
    converter.setReducedSize(60, 40);
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(converter.convert(jpeg.data(), jpeg.size()), 0) << converter.lastError();
        if (frame == 0) {
            // The stream's first frame is always whole (it shows whether decoding directly
            // gives the same picture).
            EXPECT_FALSE(converter.isReduced());
            continue;
        }
        EXPECT_TRUE(converter.isReduced());
        EXPECT_EQ(converter.width(), 64);
        EXPECT_EQ(converter.height(), 48);
        EXPECT_EQ(converter.outputSize(), 64u * 48u * 3u);
        EXPECT_GT(pixel(converter, converter.output(), 32, 2)[2], 200);  // red on top
        EXPECT_GT(pixel(converter, converter.output(), 32, 45)[0], 200); // blue below
    }

    // Full frames again: every byte as the library decodes it, in bottom-up rows.
    converter.setReducedSize(0, 0);
    ASSERT_EQ(converter.convert(jpeg.data(), jpeg.size()), 0);
    EXPECT_FALSE(converter.isReduced());
    ASSERT_EQ(converter.outputSize(), expected.size());
    const size_t row = static_cast<size_t>(w) * 3;
    for (int y = 0; y < h; ++y)
        ASSERT_EQ(
            std::memcmp(converter.output() + (h - 1 - y) * row, expected.data() + y * row, row), 0)
            << "row " << y;

    // A corrupt frame while reduced is still refused.
    converter.setReducedSize(60, 40);
    const std::vector<uint8_t> garbage = corrupted(jpeg);
    EXPECT_LT(converter.convert(garbage.data(), garbage.size()), 0);
}
