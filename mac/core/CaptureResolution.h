#pragma once

#include <cstdint>
#include <string>

// A capture frame size in pixels.
class CaptureResolution
{
public:
    CaptureResolution() = default;
    CaptureResolution(int32_t width, int32_t height)
        : nResolutionWidth(width)
        , nResolutionHeight(height)
    {
    }

    int32_t nResolutionWidth = 0;
    int32_t nResolutionHeight = 0;

    // 640 x 480.
    static CaptureResolution getDefaultResolution();
    // "%dX%d" of width and height, e.g. "640X480".
    std::string getPixelFormatString() const;
    bool isEqual(const CaptureResolution &other) const;
};
