#include "platform/media/FrameScaler.h"
#include "tests/platform/media/TestFrames.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// Camera buffers are exactly 3 × width × height bytes; libswscale's packed-RGB readers load
// whole words and would run past the last row.
TEST(FrameScaler, NeverReadsPastTheSourceFrame)
{
    struct Case
    {
        int sw, sh, tw, th;
    } cases[] = {{1600, 1200, 640, 480}, {641, 479, 320, 240}, {640, 480, 1281, 719},
                 {2, 2, 1, 1},           {1, 1, 3, 3},         {1280, 720, 640, 480}};
    for (const Case &c : cases) {
        const auto frame = makeTestFrame(c.sw, c.sh, 7);
        GuardedBuffer source(frame.size());
        ASSERT_NE(source.data(), nullptr);
        std::copy(frame.begin(), frame.end(), source.data());
        GuardedBuffer target(static_cast<size_t>(c.tw) * c.th * 3);
        ASSERT_NE(target.data(), nullptr);
        FrameScaler scaler;
        EXPECT_TRUE(scaler.scale(source.data(), c.sw, c.sh, target.data(), c.tw, c.th))
            << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th;
    }
    // The padded last row gives the same picture as scaling a roomy copy.
    const auto frame = makeTestFrame(1600, 1200, 50);
    GuardedBuffer source(frame.size());
    std::copy(frame.begin(), frame.end(), source.data());
    std::vector<uint8_t> roomy(frame);
    roomy.resize(frame.size() + 4096);
    std::vector<uint8_t> a(640 * 480 * 3), b(640 * 480 * 3);
    FrameScaler first, second;
    ASSERT_TRUE(first.scale(source.data(), 1600, 1200, a.data(), 640, 480));
    ASSERT_TRUE(second.scale(roomy.data(), 1600, 1200, b.data(), 640, 480));
    EXPECT_EQ(a, b);
}
