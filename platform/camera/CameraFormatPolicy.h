#pragma once

#include "CameraTypes.h"

#include <optional>
#include <utility>
#include <vector>

namespace varnolet {

// The choices a camera driver leaves to us, as pure functions so they are tested
// without hardware.
class CameraFormatPolicy
{
public:
    using Size = std::pair<int, int>;

    // The pixel format to use for a frame size: among the formats offered at exactly that
    // size (and convertible to BGR24), the one with the highest frame rate; on a tie the
    // uncompressed one; then the camera's first. None when no format has that size.
    static std::optional<CameraFormat> chooseFormat(const std::vector<CameraFormat> &formats,
                                                    int width, int height);

    // Frame sizes to offer for a stepwise or continuous range: the common camera sizes that
    // lie inside it on its steps, and the largest size of the range. Ascending by width,
    // then height.
    static std::vector<Size> sizesInRange(int minWidth, int maxWidth, int stepWidth, int minHeight,
                                          int maxHeight, int stepHeight);

    // Frames per second of a frame interval (numerator / denominator seconds); 0 when the
    // interval is empty.
    static double framesPerSecond(uint32_t numerator, uint32_t denominator);

    // MJPEG / JPEG and other formats that carry compressed frames.
    static bool isCompressed(uint32_t pixelFormat);
    // Formats libv4lconvert turns into BGR24.
    static bool isConvertible(uint32_t pixelFormat);
    // "YUYV", "MJPG", ...
    static std::string fourccText(uint32_t pixelFormat);
};

} // namespace varnolet
