#include "JpegScaleMetadata.h"

#include <cmath>
#include <cstring>
#include <numeric>

namespace varnolet {

namespace {

void put16(std::vector<uint8_t> &out, uint16_t value)
{
    // The Exif block is written little-endian ("II").
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t> &out, uint32_t value)
{
    put16(out, static_cast<uint16_t>(value));
    put16(out, static_cast<uint16_t>(value >> 16));
}

void entry(std::vector<uint8_t> &out, uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    put16(out, tag);
    put16(out, type);
    put32(out, count);
    put32(out, value);
}

std::vector<uint8_t> exifSegment(const JpegScaleInfo &scale)
{
    std::string description = scale.description.substr(0, JpegScaleInfo::kLongestDescription);
    uint32_t numerator = 0;
    uint32_t denominator = 1;
    JpegScaleMetadata::rational(scale.pixelsPerCentimetre, numerator, denominator);

    constexpr uint16_t kAscii = 2, kShort = 3, kRational = 5;
    constexpr uint32_t kEntries = 4;
    constexpr uint32_t kIfdOffset = 8;
    constexpr uint32_t kDataOffset = kIfdOffset + 2 + kEntries * 12 + 4;
    const uint32_t textBytes = static_cast<uint32_t>(description.size() + 1);
    const uint32_t rationalOffset = kDataOffset + ((textBytes + 1) & ~1u);

    std::vector<uint8_t> tiff = {'I', 'I', 42, 0};
    put32(tiff, kIfdOffset);
    put16(tiff, kEntries);
    // Entries in ascending tag order; a text of up to four bytes sits in the entry itself.
    if (textBytes <= 4) {
        uint8_t inline4[4] = {0, 0, 0, 0};
        std::memcpy(inline4, description.c_str(), textBytes);
        put16(tiff, 0x010E);
        put16(tiff, kAscii);
        put32(tiff, textBytes);
        tiff.insert(tiff.end(), inline4, inline4 + 4);
    } else {
        entry(tiff, 0x010E, kAscii, textBytes, kDataOffset);
    }
    entry(tiff, 0x011A, kRational, 1, rationalOffset);
    entry(tiff, 0x011B, kRational, 1, rationalOffset + 8);
    entry(tiff, 0x0128, kShort, 1, 3); // centimetre; a SHORT sits in the low half
    put32(tiff, 0);                    // no next directory
    if (textBytes > 4) {
        tiff.insert(tiff.end(), description.begin(), description.end());
        tiff.push_back(0);
        if (tiff.size() % 2)
            tiff.push_back(0);
    }
    tiff.resize(rationalOffset);
    for (int i = 0; i < 2; ++i) {
        put32(tiff, numerator);
        put32(tiff, denominator);
    }

    std::vector<uint8_t> segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    const size_t length = segment.size() - 2;
    segment[2] = static_cast<uint8_t>(length >> 8);
    segment[3] = static_cast<uint8_t>(length);
    return segment;
}

} // namespace

bool JpegScaleInfo::isValid() const
{
    return std::isfinite(pixelsPerCentimetre) && pixelsPerCentimetre > 0.0 &&
           pixelsPerCentimetre < 4.0e9;
}

void JpegScaleMetadata::rational(double value, uint32_t &numerator, uint32_t &denominator)
{
    numerator = 0;
    denominator = 1;
    if (!std::isfinite(value) || value <= 0.0)
        return;
    // The largest power of ten denominator that keeps the numerator within 32 bits.
    uint64_t scale = 1'000'000;
    while (scale > 1 && value * static_cast<double>(scale) > 4294967295.0)
        scale /= 10;
    uint64_t top = static_cast<uint64_t>(std::llround(value * static_cast<double>(scale)));
    if (top == 0)
        top = 1;
    if (top > 4294967295ull)
        top = 4294967295ull;
    const uint64_t divisor = std::gcd(top, scale);
    numerator = static_cast<uint32_t>(top / divisor);
    denominator = static_cast<uint32_t>(scale / divisor);
}

std::optional<std::vector<uint8_t>> JpegScaleMetadata::apply(const uint8_t *jpeg, size_t size,
                                                             const JpegScaleInfo &scale)
{
    // SOI, then APP0 "JFIF\0" of at least 16 bytes.
    if (!jpeg || size < 20 || !scale.isValid() || jpeg[0] != 0xFF || jpeg[1] != 0xD8 ||
        jpeg[2] != 0xFF || jpeg[3] != 0xE0 || std::memcmp(jpeg + 6, "JFIF", 5) != 0)
        return std::nullopt;
    const size_t app0Length = (size_t(jpeg[4]) << 8) | jpeg[5];
    const size_t app0End = 4 + app0Length;
    if (app0Length < 16 || app0End > size)
        return std::nullopt;

    std::vector<uint8_t> out(jpeg, jpeg + app0End);
    // Units 2 = dots per centimetre, then X and Y density (16 bits each, big-endian).
    const long density = std::lround(scale.pixelsPerCentimetre);
    const uint16_t density16 =
        static_cast<uint16_t>(density < 1 ? 1 : (density > 65535 ? 65535 : density));
    out[13] = 2;
    out[14] = out[16] = static_cast<uint8_t>(density16 >> 8);
    out[15] = out[17] = static_cast<uint8_t>(density16);
    const std::vector<uint8_t> exif = exifSegment(scale);
    out.insert(out.end(), exif.begin(), exif.end());
    out.insert(out.end(), jpeg + app0End, jpeg + size);
    return out;
}

} // namespace varnolet
