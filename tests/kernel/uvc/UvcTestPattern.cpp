#include "UvcTestPattern.h"

#include <cstdlib>

#include <turbojpeg.h>

namespace varnolet::test {

namespace {

constexpr int kBits = 16;
constexpr uint8_t kBars[4] = {30, 100, 170, 240};
constexpr int kTolerance = 28;

// Limited-range luma of an RGB grey.
uint8_t lumaOf(uint8_t grey)
{
    return static_cast<uint8_t>(16 + (grey * 219 + 127) / 255);
}

} // namespace

uint8_t UvcTestPattern::level(int width, int height, int x, int y, uint32_t number)
{
    if (y < height / 4) {
        const int cell = x * kBits / width;
        return ((number >> (kBits - 1 - cell)) & 1u) ? 255 : 0;
    }
    return kBars[x * 4 / width];
}

std::vector<uint8_t> UvcTestPattern::yuyv(int width, int height, uint32_t number)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 2);
    uint8_t *out = bytes.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; x += 2) {
            *out++ = lumaOf(level(width, height, x, y, number));
            *out++ = 128;
            *out++ = lumaOf(level(width, height, x + 1, y, number));
            *out++ = 128;
        }
    }
    return bytes;
}

std::vector<uint8_t> UvcTestPattern::mjpeg(int width, int height, uint32_t number)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t grey = level(width, height, x, y, number);
            uint8_t *p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
            p[0] = p[1] = p[2] = grey;
        }
    }
    tjhandle handle = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> result;
    if (handle && tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size,
                              TJSAMP_422, 85, 0) == 0)
        result.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    if (handle)
        tjDestroy(handle);
    return result;
}

std::optional<uint32_t> UvcTestPattern::readBottomUpBgr(const uint8_t *bgr, int width, int height,
                                                        std::string *problem)
{
    auto fail = [&](const std::string &text) -> std::optional<uint32_t> {
        if (problem)
            *problem = text;
        return std::nullopt;
    };
    if (!bgr || width < 64 || height < 16)
        return fail("no picture");
    // The grey at top-down (x, y); all three channels must agree.
    auto sample = [&](int x, int y, int &grey) {
        const uint8_t *p = bgr + (static_cast<size_t>(height - 1 - y) * width + x) * 3;
        grey = (p[0] + p[1] + p[2]) / 3;
        return std::abs(p[0] - grey) <= kTolerance && std::abs(p[1] - grey) <= kTolerance &&
               std::abs(p[2] - grey) <= kTolerance;
    };
    const int barRow = height * 5 / 8;
    for (int bar = 0; bar < 4; ++bar) {
        const int x = (2 * bar + 1) * width / 8;
        int grey = 0;
        if (!sample(x, barRow, grey) || std::abs(grey - kBars[bar]) > kTolerance)
            return fail("bar " + std::to_string(bar) + " is " + std::to_string(grey) + ", not " +
                        std::to_string(kBars[bar]));
    }
    uint32_t number = 0;
    const int bandRow = height / 8;
    for (int cell = 0; cell < kBits; ++cell) {
        const int x = (2 * cell + 1) * width / (2 * kBits);
        int grey = 0;
        if (!sample(x, bandRow, grey) || (grey > kTolerance && grey < 255 - kTolerance))
            return fail("number cell " + std::to_string(cell) + " is " + std::to_string(grey));
        number = (number << 1) | (grey > 127 ? 1u : 0u);
    }
    return number;
}

} // namespace varnolet::test
