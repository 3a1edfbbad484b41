#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnolet {

// Picture controls of the virtual camera, in V4L2-like units.
struct PictureAdjustments
{
    int brightness = 0;  // -64..64
    int contrast = 32;   // 0..64, 32 = unchanged
    int hue = 0;         // -180..180 degrees
    int saturation = 64; // 0..128, 64 = unchanged
    int sharpness = 3;   // 0..7, 3 = unchanged; lower blurs, higher sharpens

    bool isNeutral() const
    {
        return brightness == 0 && contrast == 32 && hue == 0 && saturation == 64 && sharpness == 3;
    }
    bool operator==(const PictureAdjustments &other) const = default;
};

// Draws the virtual camera's test picture: a slide of stained cells over colour bars that
// moves slowly down through the picture, fixed corner markers, and the frame number and
// time as large digits. The slide is drawn (and adjusted) once per size or control change,
// twice over in one buffer, so each frame is a run of its rows: a frame costs the small
// overlays stamped on that run and undone before the next one, not a copy of the picture.
// Output rows are bottom-up BGR24.
class TestPatternRenderer
{
public:
    // Corner markers (top-left red, bottom-left blue), never adjusted, so tests can find
    // them: BGR byte values.
    static constexpr uint8_t kTopLeftMarker[3] = {0, 0, 255};
    static constexpr uint8_t kBottomLeftMarker[3] = {255, 0, 0};

    void setSize(int width, int height);
    void setAdjustments(const PictureAdjustments &adjustments);
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Side of the square corner markers at the current size.
    int markerSize() const;

    // The picture of frame frameNumber in the renderer's own memory (3 x width x height
    // bytes, bottom-up), valid until the next call or change of size or controls; null
    // without a size. clock is the time text drawn under the frame number
    // ("12:34:56.789"; digits, ':' and '.'). Callers only read it: the overlays are undone
    // on the next call, other writes would stay in the slide.
    uint8_t *frame(uint64_t frameNumber, const std::string &clock);
    // The same picture copied into target (3 x width x height bytes).
    void render(uint64_t frameNumber, const std::string &clock, uint8_t *target);

private:
    struct Stamp
    {
        int x, y, w, h; // picture coordinates from the top, clipped
    };

    void rebuildSlide();
    void undoStamps();
    void fillRect(uint8_t *target, int x, int y, int w, int h, const uint8_t bgr[3]);
    int drawText(uint8_t *target, int x, int y, int digitHeight, const std::string &text);
    int drawDigit(uint8_t *target, int x, int y, int digitHeight, char c);

    int m_width = 0;
    int m_height = 0;
    PictureAdjustments m_adjustments;
    bool m_dirty = true;
    // Bottom-up BGR24, 2 x height rows: the slide's rows twice over. A frame is the run of
    // height rows from m_offset; each of its rows has an untouched twin height rows away.
    std::vector<uint8_t> m_slide;
    size_t m_offset = 0;         // first row of the last frame
    std::vector<Stamp> m_stamps; // overlays drawn on the last frame
};

} // namespace varnolet
