#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnolet::test {

// One pixel's channels.
struct Bgr
{
    int b = 0;
    int g = 0;
    int r = 0;
};

// A bottom-up BGR24 camera frame whose upper half is red and lower half blue (as seen
// upright), with a green bar at column (frameNumber × 8) mod width, so consecutive frames
// differ and the picture's orientation can be checked after any round trip.
inline std::vector<uint8_t> makeTestFrame(int width, int height, int frameNumber = 0)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    const int bar = (frameNumber * 8) % width;
    for (int y = 0; y < height; ++y) {
        // Memory row r holds picture row height - 1 - r.
        uint8_t *row = frame.data() + static_cast<size_t>(height - 1 - y) * width * 3;
        const bool top = y < height / 2;
        for (int x = 0; x < width; ++x) {
            uint8_t *pixel = row + 3 * x;
            if (x >= bar && x < bar + 8) {
                pixel[0] = 0;
                pixel[1] = 220;
                pixel[2] = 0;
            } else {
                pixel[0] = top ? 20 : 220;
                pixel[1] = 20;
                pixel[2] = top ? 220 : 20;
            }
        }
    }
    return frame;
}

// Pixel (x, y) of the upright picture in a bottom-up BGR24 buffer.
inline Bgr pixelOfBottomUp(const std::vector<uint8_t> &frame, int width, int height, int x, int y)
{
    const uint8_t *pixel = frame.data() + (static_cast<size_t>(height - 1 - y) * width + x) * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

} // namespace varnolet::test
