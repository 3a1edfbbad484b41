#include "platform/media/BgrHalving.h"
#include "tests/platform/media/TestFrames.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace varnolet;
using namespace varnolet::test;

namespace {

// The rounded 2 x 2 mean as the halving computes it: each column of the block first, then
// the two columns.
uint8_t blockMean(uint8_t topLeft, uint8_t topRight, uint8_t bottomLeft, uint8_t bottomRight)
{
    const int left = (topLeft + bottomLeft + 1) >> 1;
    const int right = (topRight + bottomRight + 1) >> 1;
    return static_cast<uint8_t>((left + right + 1) >> 1);
}

} // namespace

// Every byte of the result against the block it comes from, at widths that end inside and
// outside a 16-byte vector step and with odd sides, reading from a source whose last byte
// is followed by an unreadable page.
TEST(BgrHalving, EachPixelIsTheMeanOfItsBlockAndNothingPastTheSourceIsRead)
{
    const std::pair<int, int> sizes[] = {{2, 2},  {3, 3},  {5, 2},    {6, 4},   {11, 7},
                                         {33, 5}, {64, 2}, {1601, 9}, {2048, 6}};
    for (const auto &[width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const size_t bytes = static_cast<size_t>(width) * height * 3;
        GuardedBuffer source(bytes);
        ASSERT_NE(source.data(), nullptr);
        for (size_t i = 0; i < bytes; ++i)
            source.data()[i] = static_cast<uint8_t>((i * 37 + i / 7) & 0xff);
        const int halfWidth = width / 2;
        const int halfHeight = height / 2;
        std::vector<uint8_t> target(static_cast<size_t>(halfWidth) * halfHeight * 3 + 1, 0xab);
        ASSERT_TRUE(BgrHalving::halve(source.data(), width, height, target.data()));
        const size_t stride = static_cast<size_t>(width) * 3;
        int wrong = 0;
        for (int y = 0; y < halfHeight; ++y) {
            for (int x = 0; x < halfWidth; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const uint8_t *top = source.data() + 2 * y * stride + 6 * x + c;
                    const uint8_t expected =
                        blockMean(top[0], top[3], top[stride], top[stride + 3]);
                    if (target[(static_cast<size_t>(y) * halfWidth + x) * 3 + c] != expected)
                        ++wrong;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(target.back(), 0xab); // nothing written past the result

        // For the screen, from either row order: top-down 32-bit pixels with the same
        // means, rows a stride apart that is wider than the picture.
        for (const bool bottomUp : {false, true}) {
            const int screenStride = halfWidth * 4 + 8;
            std::vector<uint8_t> screen(static_cast<size_t>(screenStride) * halfHeight + 1, 0xab);
            ASSERT_TRUE(BgrHalving::halveForScreen(source.data(), width, height, bottomUp,
                                                   screen.data(), screenStride));
            int screenWrong = 0;
            for (int y = 0; y < halfHeight; ++y) {
                // Picture rows 2y and 2y + 1, counted from the top.
                const int firstRow = bottomUp ? height - 2 - 2 * y : 2 * y;
                for (int x = 0; x < halfWidth; ++x) {
                    const uint8_t *got =
                        screen.data() + static_cast<size_t>(y) * screenStride + 4 * x;
                    const uint8_t *top = source.data() + firstRow * stride + 6 * x;
                    for (int c = 0; c < 3; ++c)
                        if (got[c] !=
                            blockMean(top[c], top[c + 3], top[stride + c], top[stride + c + 3]))
                            ++screenWrong;
                    if (got[3] != 0xff)
                        ++screenWrong;
                }
                // The padding at the end of each row is left alone.
                if (screen[static_cast<size_t>(y) * screenStride + halfWidth * 4] != 0xab)
                    ++screenWrong;
            }
            EXPECT_EQ(screenWrong, 0) << (bottomUp ? "bottom-up" : "top-down");
        }
    }
}

TEST(BgrHalving, KeepsTheRowOrderAndRefusesSidesBelowTwo)
{
    // Bottom-up, red above blue as seen: the halved frame is bottom-up too.
    const auto frame = makeTestFrame(40, 20, 0);
    std::vector<uint8_t> half(20 * 10 * 3);
    ASSERT_TRUE(BgrHalving::halve(frame.data(), 40, 20, half.data()));
    EXPECT_EQ(pixelOfBottomUp(half, 20, 10, 15, 1).r, pixelOfBottomUp(frame, 40, 20, 30, 2).r);
    EXPECT_EQ(pixelOfBottomUp(half, 20, 10, 15, 8).b, pixelOfBottomUp(frame, 40, 20, 30, 17).b);
    EXPECT_GT(pixelOfBottomUp(half, 20, 10, 15, 1).r, 200);
    EXPECT_GT(pixelOfBottomUp(half, 20, 10, 15, 8).b, 200);

    std::vector<uint8_t> untouched(12, 7);
    const uint8_t pixels[12] = {};
    EXPECT_FALSE(BgrHalving::halve(pixels, 1, 4, untouched.data()));
    EXPECT_FALSE(BgrHalving::halve(pixels, 4, 1, untouched.data()));
    EXPECT_FALSE(BgrHalving::halve(nullptr, 4, 4, untouched.data()));
    EXPECT_FALSE(BgrHalving::halveForScreen(pixels, 4, 3, true, untouched.data(), 7));
    EXPECT_EQ(untouched, std::vector<uint8_t>(12, 7));
}
