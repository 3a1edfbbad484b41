#include "TestPatternRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace varnolet {

namespace {

constexpr uint8_t kTextBackground[3] = {40, 24, 16};
constexpr uint8_t kTextColour[3] = {80, 255, 255}; // yellow

// Segments a..g of a seven-segment digit: bit 0 = a (top) ... bit 6 = g (middle).
constexpr uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

uint8_t clampByte(double value)
{
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

// Small deterministic generator so every run draws the same slide.
struct Lcg
{
    uint32_t state;
    uint32_t next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int range(int low, int high)
    {
        return low + static_cast<int>(next() % static_cast<uint32_t>(high - low + 1));
    }
};

struct Rgb
{
    double r, g, b;
};

// Blends a colour into one top-down BGR pixel with coverage alpha (0..1).
void blend(uint8_t *p, const Rgb &c, double alpha)
{
    p[0] = static_cast<uint8_t>(p[0] + (c.b - p[0]) * alpha);
    p[1] = static_cast<uint8_t>(p[1] + (c.g - p[1]) * alpha);
    p[2] = static_cast<uint8_t>(p[2] + (c.r - p[2]) * alpha);
}

// A filled ellipse with a soft one-pixel edge, wrapped around horizontally (the slide is
// periodic in x) and clipped vertically at clipBottom.
void drawEllipse(std::vector<uint8_t> &tile, int w, int clipBottom, double cx, double cy, double rx,
                 double ry, const Rgb &colour)
{
    const int top = std::max(0, static_cast<int>(cy - ry - 1));
    const int bottom = std::min(clipBottom - 1, static_cast<int>(cy + ry + 1));
    const int left = static_cast<int>(cx - rx - 1);
    const int right = static_cast<int>(cx + rx + 1);
    for (int y = top; y <= bottom; ++y) {
        const double dy = (y + 0.5 - cy) / ry;
        for (int x = left; x <= right; ++x) {
            const double dx = (x + 0.5 - cx) / rx;
            // Distance to the edge in pixels, roughly: positive inside.
            const double inside = (1.0 - std::sqrt(dx * dx + dy * dy)) * std::min(rx, ry);
            if (inside <= -0.5)
                continue;
            const int wrapped = ((x % w) + w) % w;
            blend(&tile[(static_cast<size_t>(y) * w + wrapped) * 3], colour,
                  std::min(1.0, inside + 0.5));
        }
    }
}

// The slide, top-down BGR24: a pale stained background with cells, colour bars below.
void drawSlide(std::vector<uint8_t> &tile, int w, int h)
{
    const int barsTop = h - h / 6;
    for (int y = 0; y < h; ++y) {
        const double t = static_cast<double>(y) / std::max(1, h - 1);
        const uint8_t bgr[3] = {static_cast<uint8_t>(240 - 4 * t),
                                static_cast<uint8_t>(232 - 18 * t),
                                static_cast<uint8_t>(244 - 18 * t)};
        for (int x = 0; x < w; ++x)
            std::memcpy(&tile[(static_cast<size_t>(y) * w + x) * 3], bgr, 3);
    }

    Lcg random{0x5eed1234u};
    const int cellCount = std::max(12, (w * h) / 9000);
    for (int i = 0; i < cellCount; ++i) {
        const int radius = random.range(std::max(6, h / 60), std::max(10, h / 22));
        const int cx = random.range(0, w - 1);
        const int cy = random.range(radius, std::max(radius, barsTop - radius));
        const int tint = random.range(0, 40);
        const double rx = radius, ry = radius * 0.8;
        drawEllipse(tile, w, barsTop, cx, cy, rx, ry, Rgb{170, 80.0 + tint, 130});
        drawEllipse(tile, w, barsTop, cx, cy, rx - std::max(1, radius / 8),
                    ry - std::max(1, radius / 8), Rgb{232, 150.0 + tint, 196});
        drawEllipse(tile, w, barsTop, cx + radius / 5.0, cy - radius / 6.0, radius / 3.0,
                    radius / 3.0, Rgb{92, 48, 140.0 + tint});
    }

    // Colour bars along the bottom: white, yellow, cyan, green, magenta, red, blue.
    const uint8_t bars[][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                               {255, 0, 255},   {0, 0, 255},   {255, 0, 0}};
    const int barCount = static_cast<int>(std::size(bars));
    for (int y = barsTop; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(&tile[(static_cast<size_t>(y) * w + x) * 3], bars[x * barCount / w], 3);
}

// Brightness, contrast, hue and saturation as one colour transform per pixel.
void adjustColours(std::vector<uint8_t> &pixels, const PictureAdjustments &a)
{
    const double contrast = a.contrast / 32.0;
    const double saturation = a.saturation / 64.0;
    const double angle = a.hue * M_PI / 180.0;
    const double cosine = std::cos(angle) * saturation;
    const double sine = std::sin(angle) * saturation;
    const double brightness = a.brightness * 2.0;
    for (size_t i = 0; i + 2 < pixels.size(); i += 3) {
        const double b = pixels[i], g = pixels[i + 1], r = pixels[i + 2];
        const double y = 0.114 * b + 0.587 * g + 0.299 * r;
        const double cb = b - y, cr = r - y;
        const double y2 = (y - 128.0) * contrast + 128.0 + brightness;
        const double cb2 = cb * cosine - cr * sine;
        const double cr2 = cb * sine + cr * cosine;
        const double r2 = y2 + cr2, b2 = y2 + cb2;
        const double g2 = (y2 - 0.299 * r2 - 0.114 * b2) / 0.587;
        pixels[i] = clampByte(b2);
        pixels[i + 1] = clampByte(g2);
        pixels[i + 2] = clampByte(r2);
    }
}

// 3x3 box blur with horizontal wrap-around (the slide is periodic).
std::vector<uint8_t> boxBlur(const std::vector<uint8_t> &pixels, int w, int h)
{
    std::vector<uint8_t> out(pixels.size());
    const size_t row = static_cast<size_t>(w) * 3;
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - 1), y1 = std::min(h - 1, y + 1);
        for (int x = 0; x < w; ++x) {
            const int xs[3] = {(x + w - 1) % w, x, (x + 1) % w};
            for (int c = 0; c < 3; ++c) {
                int sum = 0, n = 0;
                for (int yy = y0; yy <= y1; ++yy)
                    for (int xx : xs) {
                        sum += pixels[yy * row + static_cast<size_t>(xx) * 3 + c];
                        ++n;
                    }
                out[y * row + static_cast<size_t>(x) * 3 + c] = static_cast<uint8_t>(sum / n);
            }
        }
    }
    return out;
}

void adjustSharpness(std::vector<uint8_t> &pixels, int w, int h, int sharpness)
{
    if (sharpness < 3) {
        for (int pass = 0; pass < 3 - sharpness; ++pass)
            pixels = boxBlur(pixels, w, h);
    } else if (sharpness > 3) {
        const std::vector<uint8_t> blurred = boxBlur(pixels, w, h);
        const double amount = (sharpness - 3) * 0.6;
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = clampByte(pixels[i] + amount * (pixels[i] - blurred[i]));
    }
}

} // namespace

void TestPatternRenderer::setSize(int width, int height)
{
    if (width == m_width && height == m_height)
        return;
    m_width = width;
    m_height = height;
    m_dirty = true;
}

void TestPatternRenderer::setAdjustments(const PictureAdjustments &adjustments)
{
    if (adjustments == m_adjustments)
        return;
    m_adjustments = adjustments;
    m_dirty = true;
}

int TestPatternRenderer::markerSize() const
{
    return std::max(16, m_width / 40);
}

void TestPatternRenderer::rebuildSlide()
{
    m_dirty = false;
    m_stamps.clear();
    if (m_width <= 0 || m_height <= 0) {
        m_slide.clear();
        return;
    }
    const size_t row = static_cast<size_t>(m_width) * 3;
    std::vector<uint8_t> tile(row * static_cast<size_t>(m_height));
    drawSlide(tile, m_width, m_height);
    if (!m_adjustments.isNeutral()) {
        adjustColours(tile, m_adjustments);
        adjustSharpness(tile, m_width, m_height, m_adjustments.sharpness);
    }

    m_slide.resize(row * 2 * static_cast<size_t>(m_height));
    for (int y = 0; y < m_height; ++y) {
        const uint8_t *source = tile.data() + static_cast<size_t>(y) * row;
        const size_t bottomUp = static_cast<size_t>(m_height - 1 - y);
        std::memcpy(m_slide.data() + bottomUp * row, source, row);
        std::memcpy(m_slide.data() + (bottomUp + m_height) * row, source, row);
    }
}

void TestPatternRenderer::undoStamps()
{
    const size_t row = static_cast<size_t>(m_width) * 3;
    const size_t height = static_cast<size_t>(m_height);
    for (const Stamp &stamp : m_stamps) {
        for (int y = stamp.y; y < stamp.y + stamp.h; ++y) {
            // The frame's row is outside the run of rows its twin lies in, so the twin is clean.
            const size_t slideRow = m_offset + height - 1 - static_cast<size_t>(y);
            const size_t twin = slideRow < height ? slideRow + height : slideRow - height;
            const size_t start = static_cast<size_t>(stamp.x) * 3;
            std::memcpy(m_slide.data() + slideRow * row + start,
                        m_slide.data() + twin * row + start, static_cast<size_t>(stamp.w) * 3);
        }
    }
    m_stamps.clear();
}

void TestPatternRenderer::fillRect(uint8_t *target, int x, int y, int w, int h,
                                   const uint8_t bgr[3])
{
    const int left = std::max(0, x), right = std::min(m_width, x + w);
    const int top = std::max(0, y), bottom = std::min(m_height, y + h);
    if (left >= right || top >= bottom)
        return;
    // A digit's segments lie inside the text box: undoing the box undoes them too.
    const auto inside = [&](const Stamp &s) {
        return left >= s.x && right <= s.x + s.w && top >= s.y && bottom <= s.y + s.h;
    };
    if (std::none_of(m_stamps.begin(), m_stamps.end(), inside))
        m_stamps.push_back(Stamp{left, top, right - left, bottom - top});
    const size_t row = static_cast<size_t>(m_width) * 3;
    for (int yy = top; yy < bottom; ++yy) {
        // Row yy from the top is row (height - 1 - yy) of the bottom-up buffer.
        uint8_t *p =
            target + static_cast<size_t>(m_height - 1 - yy) * row + static_cast<size_t>(left) * 3;
        for (int xx = left; xx < right; ++xx, p += 3) {
            p[0] = bgr[0];
            p[1] = bgr[1];
            p[2] = bgr[2];
        }
    }
}

int TestPatternRenderer::drawDigit(uint8_t *target, int x, int y, int digitHeight, char c)
{
    const int w = digitHeight / 2;
    const int t = std::max(2, digitHeight / 8);
    const int half = digitHeight / 2;
    if (c == ':') {
        fillRect(target, x, y + half / 2, t, t, kTextColour);
        fillRect(target, x, y + half + half / 2, t, t, kTextColour);
        return t * 2;
    }
    if (c == '.') {
        fillRect(target, x, y + digitHeight - t, t, t, kTextColour);
        return t * 2;
    }
    if (c < '0' || c > '9')
        return w / 2; // anything else is a blank
    const uint8_t s = kSegments[c - '0'];
    if (s & 0x01)
        fillRect(target, x, y, w, t, kTextColour); // a
    if (s & 0x02)
        fillRect(target, x + w - t, y, t, half, kTextColour); // b
    if (s & 0x04)
        fillRect(target, x + w - t, y + half, t, digitHeight - half, kTextColour); // c
    if (s & 0x08)
        fillRect(target, x, y + digitHeight - t, w, t, kTextColour); // d
    if (s & 0x10)
        fillRect(target, x, y + half, t, digitHeight - half, kTextColour); // e
    if (s & 0x20)
        fillRect(target, x, y, t, half, kTextColour); // f
    if (s & 0x40)
        fillRect(target, x, y + half - t / 2, w, t, kTextColour); // g
    return w + t * 2;
}

int TestPatternRenderer::drawText(uint8_t *target, int x, int y, int digitHeight,
                                  const std::string &text)
{
    int cursor = x;
    for (char c : text)
        cursor += drawDigit(target, cursor, y, digitHeight, c);
    return cursor - x;
}

uint8_t *TestPatternRenderer::frame(uint64_t frameNumber, const std::string &clock)
{
    if (m_dirty)
        rebuildSlide();
    if (m_slide.empty())
        return nullptr;
    undoStamps();

    // The slide moves a few rows per frame, through the whole picture every few seconds.
    const int speed = std::max(2, m_height / 160);
    m_offset = static_cast<size_t>((frameNumber * static_cast<uint64_t>(speed)) %
                                   static_cast<uint64_t>(m_height));
    uint8_t *target = m_slide.data() + m_offset * static_cast<size_t>(m_width) * 3;

    const int marker = markerSize();
    fillRect(target, 0, 0, marker, marker, kTopLeftMarker);
    fillRect(target, 0, m_height - marker, marker, marker, kBottomLeftMarker);

    char number[24];
    std::snprintf(number, sizeof number, "%07llu", static_cast<unsigned long long>(frameNumber));
    const int digitHeight = std::max(16, m_height / 20);
    const int margin = digitHeight / 4;
    const int left = marker + margin * 2;
    const int boxWidth = (digitHeight / 2 + std::max(2, digitHeight / 8) * 2) * 13 + margin * 2;
    fillRect(target, left, margin, boxWidth, digitHeight * 2 + margin * 3, kTextBackground);
    drawText(target, left + margin, margin * 2, digitHeight, number);
    drawText(target, left + margin, margin * 3 + digitHeight, digitHeight, clock);
    return target;
}

void TestPatternRenderer::render(uint64_t frameNumber, const std::string &clock, uint8_t *target)
{
    const uint8_t *picture = frame(frameNumber, clock);
    if (picture && target)
        std::memcpy(target, picture, static_cast<size_t>(m_width) * m_height * 3);
}

} // namespace varnolet
