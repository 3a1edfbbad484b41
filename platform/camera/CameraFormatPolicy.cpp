#include "CameraFormatPolicy.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <linux/videodev2.h>

namespace varnolet {

namespace {

// Sizes microscope and web cameras commonly offer.
constexpr CameraFormatPolicy::Size kCommonSizes[] = {
    {160, 120},   {176, 144},   {320, 240},   {352, 288},   {640, 360},   {640, 480},
    {800, 448},   {800, 600},   {960, 540},   {1024, 576},  {1024, 768},  {1280, 720},
    {1280, 800},  {1280, 960},  {1280, 1024}, {1600, 900},  {1600, 1200}, {1920, 1080},
    {2048, 1536}, {2560, 1440}, {2592, 1944}, {3264, 2448}, {3840, 2160},
};

bool onStep(int value, int minimum, int maximum, int step)
{
    if (value < minimum || value > maximum)
        return false;
    return step <= 1 || (value - minimum) % step == 0;
}

} // namespace

std::optional<CameraFormat>
CameraFormatPolicy::chooseFormat(const std::vector<CameraFormat> &formats, int width, int height)
{
    std::optional<CameraFormat> best;
    for (const CameraFormat &format : formats) {
        if (format.width != width || format.height != height || !isConvertible(format.pixelFormat))
            continue;
        if (!best) {
            best = format;
            continue;
        }
        const double difference = format.framesPerSecond - best->framesPerSecond;
        if (difference > 0.01)
            best = format;
        else if (std::fabs(difference) <= 0.01 && isCompressed(best->pixelFormat) &&
                 !isCompressed(format.pixelFormat))
            best = format;
    }
    return best;
}

std::vector<CameraFormatPolicy::Size> CameraFormatPolicy::sizesInRange(int minWidth, int maxWidth,
                                                                       int stepWidth, int minHeight,
                                                                       int maxHeight,
                                                                       int stepHeight)
{
    std::vector<Size> sizes;
    if (minWidth <= 0 || minHeight <= 0 || maxWidth < minWidth || maxHeight < minHeight)
        return sizes;
    for (const Size &size : kCommonSizes) {
        if (onStep(size.first, minWidth, maxWidth, stepWidth) &&
            onStep(size.second, minHeight, maxHeight, stepHeight))
            sizes.push_back(size);
    }
    const Size largest{maxWidth, maxHeight};
    if (std::find(sizes.begin(), sizes.end(), largest) == sizes.end())
        sizes.push_back(largest);
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

double CameraFormatPolicy::framesPerSecond(uint32_t numerator, uint32_t denominator)
{
    if (numerator == 0 || denominator == 0)
        return 0.0;
    return static_cast<double>(denominator) / static_cast<double>(numerator);
}

bool CameraFormatPolicy::isCompressed(uint32_t pixelFormat)
{
    switch (pixelFormat) {
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
    case V4L2_PIX_FMT_H264:
    case V4L2_PIX_FMT_HEVC:
    case V4L2_PIX_FMT_MPEG:
        return true;
    default:
        return false;
    }
}

bool CameraFormatPolicy::isConvertible(uint32_t pixelFormat)
{
    switch (pixelFormat) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_NV21:
    case V4L2_PIX_FMT_NV16:
    case V4L2_PIX_FMT_NV61:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_RGB565:
    case V4L2_PIX_FMT_GREY:
    case V4L2_PIX_FMT_SBGGR8:
    case V4L2_PIX_FMT_SGBRG8:
    case V4L2_PIX_FMT_SGRBG8:
    case V4L2_PIX_FMT_SRGGB8:
        return true;
    default:
        return false;
    }
}

std::string CameraFormatPolicy::fourccText(uint32_t pixelFormat)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((pixelFormat >> (8 * i)) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

} // namespace varnolet
