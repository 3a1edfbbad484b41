#pragma once

#include "platform/system/AtomicFile.h"
#include "ImageStatus.h"
#include "JpegScaleMetadata.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnolet {

// JPEG encoding of camera frames with libturbojpeg. The input is 24-bit BGR with rows
// bottom-up (the frame layout of the capture path); the library reads it upright without a
// flipping copy. Not thread-safe: one encoder per thread.
//
// Chroma is kept at full resolution (4:4:4) by default: microscope pictures are full of fine
// coloured edges (stained cells, fibres) that 4:2:0 smears, and at quality 100 the extra cost
// is small.
class JpegEncoder
{
public:
    enum class Subsampling { Full444, Half420 };

    explicit JpegEncoder(int quality = 100, Subsampling subsampling = Subsampling::Full444);
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder &) = delete;
    JpegEncoder &operator=(const JpegEncoder &) = delete;

    // Encodes into the encoder's own buffer (reused between calls), see data()/size().
    ImageResult encode(const uint8_t *bgrBottomUp, int width, int height);
    const uint8_t *data() const { return m_scaled ? m_withScale.data() : m_buffer; }
    size_t size() const { return m_scaled ? m_withScale.size() : m_size; }

    // The scale later encodings carry in their JFIF density and Exif block; none (the
    // default) writes the library's plain output.
    void setScaleInfo(std::optional<JpegScaleInfo> scale) { m_scale = std::move(scale); }

    // Encodes and writes the file; the final path never holds a truncated file, and an
    // existing file is kept unless mode says otherwise (the result is then SystemError
    // with EEXIST).
    ImageResult save(const std::string &path, const uint8_t *bgrBottomUp, int width, int height,
                     AtomicFile::Mode mode = AtomicFile::Mode::KeepExisting);

    // False when the library could not give an encoder (nothing can be encoded).
    bool isAvailable() const { return m_handle != nullptr; }
    int quality() const { return m_quality; }
    Subsampling subsampling() const { return m_subsampling; }
    // The turbojpeg subsampling and flags used, so a reference run can use the very same.
    int turboSubsampling() const;
    static int turboFlags();

private:
    void *m_handle = nullptr; // tjhandle
    int m_quality;
    Subsampling m_subsampling;
    unsigned char *m_buffer = nullptr; // tjAlloc'ed, m_capacity bytes
    unsigned long m_capacity = 0;
    size_t m_size = 0;
    std::optional<JpegScaleInfo> m_scale;
    std::vector<uint8_t> m_withScale; // the output with the scale's segments, when m_scaled
    bool m_scaled = false;
};

} // namespace varnolet
