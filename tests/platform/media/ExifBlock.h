#pragma once

#include <cstdint>
#include <vector>

namespace varnolet::test {

// An APP1 Exif segment whose first directory holds the orientation tag (or, with
// orientation 0, only another tag), in Intel or Motorola byte order.
inline std::vector<uint8_t> exifSegment(int orientation, bool bigEndian)
{
    std::vector<uint8_t> tiff;
    tiff.reserve(64);
    auto put16 = [&](uint16_t v) {
        if (bigEndian) {
            tiff.push_back(static_cast<uint8_t>(v >> 8));
            tiff.push_back(static_cast<uint8_t>(v));
        } else {
            tiff.push_back(static_cast<uint8_t>(v));
            tiff.push_back(static_cast<uint8_t>(v >> 8));
        }
    };
    auto put32 = [&](uint32_t v) {
        if (bigEndian) {
            put16(static_cast<uint16_t>(v >> 16));
            put16(static_cast<uint16_t>(v));
        } else {
            put16(static_cast<uint16_t>(v));
            put16(static_cast<uint16_t>(v >> 16));
        }
    };
    const char *order = bigEndian ? "MM\0*" : "II*\0";
    for (int i = 0; i < 4; ++i)
        tiff.push_back(static_cast<uint8_t>(order[i]));
    put32(8);
    put16(2);
    // ImageWidth (0x0100) first, so the orientation is not the first entry.
    put16(0x0100);
    put16(3);
    put32(1);
    put16(640);
    put16(0);
    put16(orientation > 0 ? 0x0112 : 0x0101);
    put16(3);
    put32(1);
    put16(static_cast<uint16_t>(orientation > 0 ? orientation : 480));
    put16(0);
    put32(0); // no next directory

    std::vector<uint8_t> segment;
    segment.reserve(10 + tiff.size());
    const size_t length = 2 + 6 + tiff.size();
    const uint8_t head[] = {0xFF,
                            0xE1,
                            static_cast<uint8_t>(length >> 8),
                            static_cast<uint8_t>(length),
                            'E',
                            'x',
                            'i',
                            'f',
                            0,
                            0};
    for (uint8_t byte : head)
        segment.push_back(byte);
    for (uint8_t byte : tiff)
        segment.push_back(byte);
    return segment;
}

// The JPEG with the Exif segment put right after its start-of-image marker.
inline std::vector<uint8_t> withExif(const std::vector<uint8_t> &jpeg, int orientation,
                                     bool bigEndian = false)
{
    const std::vector<uint8_t> segment = exifSegment(orientation, bigEndian);
    std::vector<uint8_t> result;
    result.reserve(jpeg.size() + segment.size());
    for (size_t i = 0; i < jpeg.size(); ++i) {
        if (i == 2)
            for (uint8_t byte : segment)
                result.push_back(byte);
        result.push_back(jpeg[i]);
    }
    return result;
}

} // namespace varnolet::test
