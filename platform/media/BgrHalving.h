#pragma once

#include <cstdint>

namespace varnolet {

// Halves a packed 24-bit BGR picture in both directions: each result pixel is the rounded
// mean of a 2 x 2 block. A last odd row or column is dropped. Rows are halved in the order
// they are stored, so a bottom-up picture gives a bottom-up result. Vector code for the
// bulk of each row; reads nothing outside the source's width x height x 3 bytes.
class BgrHalving
{
public:
    // The result holds (width / 2) x (height / 2) pixels, rows exactly 3 x (width / 2)
    // bytes. False (nothing written) when either side is below 2.
    static bool halve(const uint8_t *source, int width, int height, uint8_t *target);
    // For the screen: the halved picture as top-down 32-bit pixels, bytes blue, green, red,
    // 0xff (QImage::Format_RGB32 in memory), rows targetStride bytes apart, from a source
    // stored bottom-up or top-down. False (nothing written) for a side below 2 or a stride
    // below 4 x (width / 2).
    static bool halveForScreen(const uint8_t *source, int width, int height, bool bottomUp,
                               uint8_t *target, int targetStride);
};

} // namespace varnolet
