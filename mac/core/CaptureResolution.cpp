#include "CaptureResolution.h"

#include <cstdio>

CaptureResolution CaptureResolution::getDefaultResolution()
{
    return CaptureResolution(640, 480);
}

std::string CaptureResolution::getPixelFormatString() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%dX%d", nResolutionWidth, nResolutionHeight);
    return text;
}

bool CaptureResolution::isEqual(const CaptureResolution &other) const
{
    return nResolutionWidth == other.nResolutionWidth &&
           nResolutionHeight == other.nResolutionHeight;
}
