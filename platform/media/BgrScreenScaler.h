#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnolet {

// Scales a packed 24-bit BGR picture to the size it is painted at, bilinearly, straight into
// the screen's 32-bit format, in one pass over the source: for a live picture, this costs
// several times less than converting the frame at its own size and having the painter scale
// it. Samples sit at pixel centres and the edges repeat, as with a painter's smooth scaling,
// and like it, a picture shrunk to less than half shows every other pixel only (the capture
// session halves such frames first). Each channel is within 1 of the exact bilinear value,
// and a target of the source's own size is an exact copy. Tables and row buffers are kept
// between calls of the same sizes. Not thread-safe: one scaler per thread.
class BgrScreenScaler
{
public:
    // Writes targetWidth x targetHeight top-down pixels, bytes blue, green, red, 0xff
    // (QImage::Format_RGB32 in memory), rows targetStride bytes apart, from a source stored
    // bottom-up or top-down whose rows are exactly 3 x width bytes. Reads nothing outside the
    // source. False (nothing written) for an empty side or a stride below 4 x targetWidth.
    bool scale(const uint8_t *source, int width, int height, bool bottomUp, uint8_t *target,
               int targetWidth, int targetHeight, int targetStride);

private:
    // Which two source pixels or rows a target one lies between, and the second one's weight
    // out of 256.
    struct Tap
    {
        int first = 0;
        int second = 0;
        uint16_t weight = 0;
    };
    static std::vector<Tap> taps(int sourceSize, int targetSize);
    void prepare(int width, int height, int targetWidth, int targetHeight);
    // One source row enlarged across: 4 channels per target pixel, 256 times their value.
    void enlargeRow(const uint8_t *row, uint16_t *wide);

    int m_width = 0;
    int m_height = 0;
    int m_targetWidth = 0;
    int m_targetHeight = 0;
    std::vector<Tap> m_rows;
    std::vector<uint32_t> m_columnBytes; // per target pixel: byte offset of its first pixel
    // Per pair of target pixels: 4 lanes each of their first pixels' weights, then 4 each of
    // their second pixels'.
    std::vector<uint16_t> m_columnWeights;
    std::vector<uint8_t> m_paddedRow; // one source row, room to read 4 bytes per pixel
    std::vector<uint16_t> m_wide[2];  // the two source rows a target row lies between
    int m_wideRow[2] = {-1, -1};      // which picture rows they hold, this call
};

} // namespace varnolet
