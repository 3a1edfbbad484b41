#include "platform/camera/CameraFormatPolicy.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

using namespace varnolet;

namespace {

std::vector<CameraFormat> microscopeFormats()
{
    // A typical camera: YUYV is slow at the large sizes, MJPEG keeps 30 fps.
    return {
        {V4L2_PIX_FMT_YUYV, 640, 480, 30.0},   {V4L2_PIX_FMT_YUYV, 1280, 720, 10.0},
        {V4L2_PIX_FMT_YUYV, 1600, 1200, 5.0},  {V4L2_PIX_FMT_MJPEG, 640, 480, 30.0},
        {V4L2_PIX_FMT_MJPEG, 1280, 720, 30.0}, {V4L2_PIX_FMT_MJPEG, 1600, 1200, 15.0},
    };
}

} // namespace

TEST(CameraFormatPolicy, PrefersTheFasterFormatAndUncompressedOnATie)
{
    const auto formats = microscopeFormats();
    auto chosen = CameraFormatPolicy::chooseFormat(formats, 1280, 720);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->pixelFormat, V4L2_PIX_FMT_MJPEG);
    EXPECT_DOUBLE_EQ(chosen->framesPerSecond, 30.0);

    chosen = CameraFormatPolicy::chooseFormat(formats, 1600, 1200);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->pixelFormat, V4L2_PIX_FMT_MJPEG);

    // Both 30 fps at 640x480: the uncompressed one, whatever the camera's order.
    chosen = CameraFormatPolicy::chooseFormat(formats, 640, 480);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->pixelFormat, V4L2_PIX_FMT_YUYV);
    std::vector<CameraFormat> reversed(formats.rbegin(), formats.rend());
    chosen = CameraFormatPolicy::chooseFormat(reversed, 640, 480);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->pixelFormat, V4L2_PIX_FMT_YUYV);
}

TEST(CameraFormatPolicy, NoChoiceForAnUnofferedSizeOrUnconvertibleFormat)
{
    EXPECT_FALSE(CameraFormatPolicy::chooseFormat(microscopeFormats(), 800, 600));
    EXPECT_FALSE(CameraFormatPolicy::chooseFormat({}, 640, 480));
    // H.264 is faster here but cannot be converted; YUYV is taken.
    const std::vector<CameraFormat> formats = {{V4L2_PIX_FMT_H264, 1920, 1080, 60.0},
                                               {V4L2_PIX_FMT_YUYV, 1920, 1080, 5.0}};
    const auto chosen = CameraFormatPolicy::chooseFormat(formats, 1920, 1080);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->pixelFormat, V4L2_PIX_FMT_YUYV);
}

TEST(CameraFormatPolicy, StepwiseRangesOfferCommonSizesOnTheirSteps)
{
    using Size = CameraFormatPolicy::Size;
    // 64-pixel width steps from 320x240 to 1920x1080: 352x288 (not on a step) is left out.
    auto sizes = CameraFormatPolicy::sizesInRange(320, 1920, 64, 240, 1080, 8);
    EXPECT_EQ(sizes.front(), Size(320, 240));
    EXPECT_EQ(sizes.back(), Size(1920, 1080));
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), Size(1280, 720)), sizes.end());
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), Size(640, 480)), sizes.end());
    EXPECT_EQ(std::find(sizes.begin(), sizes.end(), Size(352, 288)), sizes.end());
    EXPECT_EQ(std::find(sizes.begin(), sizes.end(), Size(1600, 1200)), sizes.end()); // too tall
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));

    // A continuous range with an odd maximum still offers its largest size once.
    sizes = CameraFormatPolicy::sizesInRange(1, 1000, 1, 1, 700, 1);
    EXPECT_EQ(sizes.back(), Size(1000, 700));
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), Size(1000, 700)), 1);
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), Size(800, 600)), sizes.end());

    // Nonsense ranges give nothing.
    EXPECT_TRUE(CameraFormatPolicy::sizesInRange(0, 0, 0, 0, 0, 0).empty());
    EXPECT_TRUE(CameraFormatPolicy::sizesInRange(640, 320, 1, 480, 240, 1).empty());
}

TEST(CameraFormatPolicy, FrameRatesAndNames)
{
    EXPECT_DOUBLE_EQ(CameraFormatPolicy::framesPerSecond(1, 30), 30.0);
    EXPECT_DOUBLE_EQ(CameraFormatPolicy::framesPerSecond(1001, 30000), 30000.0 / 1001.0);
    EXPECT_DOUBLE_EQ(CameraFormatPolicy::framesPerSecond(0, 30), 0.0);
    EXPECT_EQ(CameraFormatPolicy::fourccText(V4L2_PIX_FMT_MJPEG), "MJPG");
    EXPECT_TRUE(CameraFormatPolicy::isCompressed(V4L2_PIX_FMT_MJPEG));
    EXPECT_FALSE(CameraFormatPolicy::isCompressed(V4L2_PIX_FMT_YUYV));
}
