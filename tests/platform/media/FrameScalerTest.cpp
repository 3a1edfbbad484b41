#include "platform/media/FrameScaler.h"
#include "tests/platform/media/TestFrames.h"

#include <gtest/gtest.h>

using namespace varnolet;
using namespace varnolet::test;

TEST(FrameScaler, KeepsBottomUpLayoutAndColours)
{
    const auto frame = makeTestFrame(1600, 1200, 50); // bar at x 400..407
    std::vector<uint8_t> scaled(640 * 480 * 3);
    FrameScaler scaler;
    ASSERT_TRUE(scaler.scale(frame.data(), 1600, 1200, scaled.data(), 640, 480));
    const Bgr top = pixelOfBottomUp(scaled, 640, 480, 300, 20);
    const Bgr bottom = pixelOfBottomUp(scaled, 640, 480, 300, 460);
    EXPECT_NEAR(top.r, 220, 6);
    EXPECT_NEAR(top.b, 20, 6);
    EXPECT_NEAR(bottom.b, 220, 6);
    EXPECT_NEAR(bottom.r, 20, 6);
    EXPECT_GT(pixelOfBottomUp(scaled, 640, 480, 161, 100).g, 150); // 400 × 0.4
    EXPECT_LT(pixelOfBottomUp(scaled, 640, 480, 200, 100).g, 40);

    // The same scaler serves another pair of sizes afterwards.
    std::vector<uint8_t> up(2000 * 1500 * 3);
    ASSERT_TRUE(scaler.scale(frame.data(), 1600, 1200, up.data(), 2000, 1500));
    EXPECT_NEAR(pixelOfBottomUp(up, 2000, 1500, 1000, 10).r, 220, 6);
}
