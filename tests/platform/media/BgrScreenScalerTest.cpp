#include "platform/media/BgrScreenScaler.h"
#include "tests/platform/media/TestFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace varnolet;
using namespace varnolet::test;

namespace {

// Bilinear interpolation in doubles: target pixel t's centre at (t + 1/2) S / T - 1/2 in
// source pixels, clamped to the outermost centres.
struct Position
{
    int first;
    int second;
    double weight;
};

Position positionOf(int t, int sourceSize, int targetSize)
{
    const double at = std::clamp((t + 0.5) * sourceSize / targetSize - 0.5, 0.0,
                                 static_cast<double>(sourceSize - 1));
    const int first = std::min(static_cast<int>(at), sourceSize - 1);
    return {first, std::min(first + 1, sourceSize - 1), at - first};
}

} // namespace

// Every channel of the result against the exact bilinear value of a noisy source, which
// is the hardest case for rounding, in both row orders, reading from a source whose last
// byte is followed by an unreadable page and writing rows wider than the picture.
TEST(BgrScreenScaler, EachPixelIsWithinOneOfTheExactBilinearValueAndNothingOutsideIsTouched)
{
    struct Case
    {
        int width, height, targetWidth, targetHeight;
    };
    const Case cases[] = {
        {1, 1, 7, 5}, // one pixel fills the target
        {2, 2, 3, 3}, // odd target widths end outside a vector step
        {3, 2, 17, 9},         {33, 7, 50, 11}, {5, 40, 5, 61}, // tall: rows only
        {640, 480, 1013, 760}, // the live picture in a window of 1100 x 760
        {10, 10, 7, 7},        // smaller: still the bilinear value at each centre
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " to " << c.targetWidth
                                        << "x" << c.targetHeight);
        const size_t bytes = static_cast<size_t>(c.width) * c.height * 3;
        GuardedBuffer source(bytes);
        ASSERT_NE(source.data(), nullptr);
        for (size_t i = 0; i < bytes; ++i)
            source.data()[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        const size_t stride = static_cast<size_t>(c.width) * 3;
        const int targetStride = c.targetWidth * 4 + 12;
        BgrScreenScaler scaler; // one scaler for both orders: its kept rows must not leak
        for (const bool bottomUp : {false, true}) {
            std::vector<uint8_t> target(static_cast<size_t>(targetStride) * c.targetHeight, 0xab);
            ASSERT_TRUE(scaler.scale(source.data(), c.width, c.height, bottomUp, target.data(),
                                     c.targetWidth, c.targetHeight, targetStride));
            int worst = 0;
            int wrong = 0;
            for (int y = 0; y < c.targetHeight; ++y) {
                const Position row = positionOf(y, c.height, c.targetHeight);
                const auto stored = [&](int pictureRow) {
                    return source.data() +
                           static_cast<size_t>(bottomUp ? c.height - 1 - pictureRow : pictureRow) *
                               stride;
                };
                for (int x = 0; x < c.targetWidth; ++x) {
                    const Position column = positionOf(x, c.width, c.targetWidth);
                    const uint8_t *got =
                        target.data() + static_cast<size_t>(y) * targetStride + 4 * x;
                    for (int channel = 0; channel < 3; ++channel) {
                        const auto at = [&](int pictureRow, int sourceColumn) {
                            return static_cast<double>(
                                stored(pictureRow)[3 * sourceColumn + channel]);
                        };
                        const double topValue = at(row.first, column.first) * (1 - column.weight) +
                                                at(row.first, column.second) * column.weight;
                        const double bottomValue =
                            at(row.second, column.first) * (1 - column.weight) +
                            at(row.second, column.second) * column.weight;
                        const double exact = topValue * (1 - row.weight) + bottomValue * row.weight;
                        worst = std::max(
                            worst, static_cast<int>(std::lround(std::fabs(got[channel] - exact))));
                    }
                    if (got[3] != 0xff)
                        ++wrong;
                }
                for (int pad = c.targetWidth * 4; pad < targetStride; ++pad)
                    if (target[static_cast<size_t>(y) * targetStride + pad] != 0xab)
                        ++wrong;
            }
            EXPECT_LE(worst, 1) << (bottomUp ? "bottom-up" : "top-down");
            EXPECT_EQ(wrong, 0) << (bottomUp ? "bottom-up" : "top-down");
        }
    }
}

TEST(BgrScreenScaler, TheSameSizeIsAnExactCopyUprightAndBadSizesWriteNothing)
{
    // Bottom-up, red above blue as seen: the result is top-down, red at the top.
    const int width = 41;
    const int height = 20;
    const auto frame = makeTestFrame(width, height, 2);
    std::vector<uint8_t> target(static_cast<size_t>(width) * height * 4);
    BgrScreenScaler scaler;
    ASSERT_TRUE(
        scaler.scale(frame.data(), width, height, true, target.data(), width, height, width * 4));
    int different = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Bgr expected = pixelOfBottomUp(frame, width, height, x, y);
            const uint8_t *got = target.data() + (static_cast<size_t>(y) * width + x) * 4;
            if (got[0] != expected.b || got[1] != expected.g || got[2] != expected.r)
                ++different;
        }
    EXPECT_EQ(different, 0);
    EXPECT_GT(target[2], 200); // red, top left

    std::vector<uint8_t> untouched(64, 7);
    EXPECT_FALSE(scaler.scale(frame.data(), width, height, true, untouched.data(), 4, 4, 15));
    EXPECT_FALSE(scaler.scale(frame.data(), 0, height, true, untouched.data(), 4, 4, 16));
    EXPECT_FALSE(scaler.scale(frame.data(), width, height, true, untouched.data(), 4, 0, 16));
    EXPECT_FALSE(scaler.scale(nullptr, width, height, true, untouched.data(), 4, 4, 16));
    EXPECT_EQ(untouched, std::vector<uint8_t>(64, 7));
}
