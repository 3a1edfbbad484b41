#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnolet::test {

// The picture the emulated camera sends: a band of 16 cells along the top that spell the
// frame number in binary (most significant bit on the left, white for 1), and below it four
// grey bars getting brighter to the right. Coarse enough to survive YUYV and JPEG, and
// telling apart a picture that is upside down, mirrored or of another frame.
class UvcTestPattern
{
public:
    static std::vector<uint8_t> yuyv(int width, int height, uint32_t number);
    static std::vector<uint8_t> mjpeg(int width, int height, uint32_t number);

    // Reads the frame number from a bottom-up BGR24 picture (rows exactly 3 x width bytes);
    // none, with what is wrong in problem, when the bars or the band do not check out.
    static std::optional<uint32_t> readBottomUpBgr(const uint8_t *bgr, int width, int height,
                                                   std::string *problem = nullptr);

private:
    // The grey of the picture at (x, y), top-down, as RGB level.
    static uint8_t level(int width, int height, int x, int y, uint32_t number);
};

} // namespace varnolet::test
