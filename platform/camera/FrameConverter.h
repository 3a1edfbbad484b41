#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct v4l2_format;
struct v4lconvert_data;

namespace varnolet {

// Turns camera frames (YUYV, MJPEG, ...) into the programs' frame layout: 24-bit BGR,
// rows bottom-up, a row exactly 3 x width bytes. Conversion is libv4lconvert's; the flip
// to bottom-up rows is ours. Motion-JPEG goes straight into bottom-up rows through
// libturbojpeg (the same library libv4lconvert decodes with) once the stream's first frame
// showed that libv4lconvert adds nothing to it (no device quirk); that saves the flip, and
// allows decoding at a reduced size (DCT scaling) for a live picture shown small. One
// converter per stream; not thread-safe.
class FrameConverter
{
public:
    // deviceFd: the camera's descriptor, so libv4lconvert can apply the device's quirks;
    // -1 converts buffers without any device.
    explicit FrameConverter(int deviceFd = -1);
    ~FrameConverter();
    FrameConverter(const FrameConverter &) = delete;
    FrameConverter &operator=(const FrameConverter &) = delete;

    // Sets the source layout. bytesPerLine / sizeImage 0: computed for packed formats.
    // -EINVAL for a format that cannot be converted or an empty size; -ENOMEM when
    // libv4lconvert cannot be set up.
    int configure(uint32_t pixelFormat, int width, int height, uint32_t bytesPerLine = 0,
                  uint32_t sizeImage = 0);

    // Converts one frame into output(). 0, or a negative errno (-EAGAIN for a short or
    // corrupt compressed frame, which the caller should drop).
    int convert(const uint8_t *source, size_t length);

    // The smallest size the following frames are needed at: compressed frames are then
    // decoded at the smallest of 1/2, 1/4 and 1/8 of the frame size that still covers it in
    // both directions (see reducedSize). 0 x 0 (the default): full frames.
    void setReducedSize(int minimumWidth, int minimumHeight);
    // The size a frame of width x height is decoded at for a minimum size (the frame size
    // when no reduction covers it, or for a 0 x 0 minimum).
    static void reducedSize(int width, int height, int minimumWidth, int minimumHeight,
                            int &reducedWidth, int &reducedHeight);

    uint8_t *output() { return m_output.data(); }
    size_t outputSize() const { return static_cast<size_t>(m_outputWidth) * m_outputHeight * 3; }
    // The size of the last converted frame: the configured size, or less after a reduced
    // decode.
    int width() const { return m_outputWidth; }
    int height() const { return m_outputHeight; }
    bool isReduced() const { return m_outputWidth != m_width || m_outputHeight != m_height; }
    uint32_t pixelFormat() const { return m_pixelFormat; }
    // libv4lconvert's text for the last failure.
    std::string lastError() const { return m_lastError; }

private:
    struct Deleter
    {
        void operator()(v4lconvert_data *data) const;
    };

    static constexpr int kStripRows = 64;

    // Formats whose rows convert independently of each other (packed, no vertical
    // subsampling or filtering).
    static bool rowsAreIndependent(uint32_t pixelFormat);
    int convertInStrips(const uint8_t *source, size_t length, v4l2_format &sourceFormat,
                        v4l2_format &targetFormat);
    void flipInto(const uint8_t *topDown);
    int convertWithLibv4lconvert(const uint8_t *source, size_t length);
    // 0, or -1 when libturbojpeg cannot decode the frame (libv4lconvert then has its go).
    int decodeJpegDirect(const uint8_t *source, size_t length, int width, int height);
    int convertJpeg(const uint8_t *source, size_t length);

    std::unique_ptr<v4lconvert_data, Deleter> m_convert;
    uint32_t m_pixelFormat = 0;
    int m_width = 0;
    int m_height = 0;
    uint32_t m_bytesPerLine = 0;
    uint32_t m_sizeImage = 0;
    std::vector<uint8_t> m_scratch; // top-down BGR24 from libv4lconvert (a strip or a frame)
    std::vector<uint8_t> m_output;  // bottom-up BGR24
    std::string m_lastError;

    enum class DirectJpeg { Untried, Same, Differs };
    static constexpr int kDirectJpegChecks = 10; // frames compared before giving up
    DirectJpeg m_directJpeg = DirectJpeg::Untried;
    int m_directJpegChecks = 0;
    void *m_jpeg = nullptr; // tjhandle, made at the first compressed frame
    int m_minimumWidth = 0;
    int m_minimumHeight = 0;
    int m_outputWidth = 0;
    int m_outputHeight = 0;
};

} // namespace varnolet
