#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnolet {

// The scale of a calibrated photo as other programs read it: the JFIF density in dots per
// centimetre, and an Exif block with XResolution/YResolution (rationals), ResolutionUnit 3
// (centimetre) and an ImageDescription text.
struct JpegScaleInfo
{
    double pixelsPerCentimetre = 0.0;
    std::string description; // UTF-8; cut to kLongestDescription bytes

    static constexpr size_t kLongestDescription = 1024;
    bool isValid() const;
};

class JpegScaleMetadata
{
public:
    // The JPEG with its JFIF density set and an Exif segment inserted after the JFIF
    // segment; none when the bytes do not start with SOI + JFIF APP0 or the scale is not
    // valid.
    static std::optional<std::vector<uint8_t>> apply(const uint8_t *jpeg, size_t size,
                                                     const JpegScaleInfo &scale);

    // The rational a resolution is written as: numerator / denominator, both within 32 bits,
    // reduced.
    static void rational(double value, uint32_t &numerator, uint32_t &denominator);
};

} // namespace varnolet
