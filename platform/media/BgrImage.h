#pragma once

#include <cstdint>
#include <vector>

#include <QImage>

namespace varnolet {

// A packed 24-bit picture, three bytes per pixel in blue, green, red order, each row exactly
// 3 × width bytes. Camera frames are stored bottom-up (the first row in memory is the
// bottom row of the picture); decoded pictures say which order they use.
struct BgrImage
{
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    std::vector<uint8_t> pixels;

    bool isEmpty() const { return width <= 0 || height <= 0 || pixels.empty(); }
    int stride() const { return width * 3; }
    // Row y of the picture counted from the top, whatever the memory order.
    const uint8_t *row(int y) const
    {
        return pixels.data() + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride();
    }
    // An upright RGB copy for painting.
    QImage toQImage() const;
};

} // namespace varnolet
