#include "ExifOrientation.h"

#include <cstring>

#include <QTransform>

namespace varnolet {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;

uint16_t read16(const uint8_t *p, bool bigEndian)
{
    return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                     : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t read32(const uint8_t *p, bool bigEndian)
{
    return bigEndian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                     : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

// The orientation in a TIFF block (the Exif payload after "Exif\0\0"); 1 when absent.
int fromTiff(const uint8_t *tiff, size_t size)
{
    if (size < 8)
        return 1;
    bool bigEndian = false;
    if (std::memcmp(tiff, "MM\0*", 4) == 0)
        bigEndian = true;
    else if (std::memcmp(tiff, "II*\0", 4) != 0)
        return 1;
    const uint32_t ifd = read32(tiff + 4, bigEndian);
    if (ifd > size - 2 || ifd < 8)
        return 1;
    const uint16_t count = read16(tiff + ifd, bigEndian);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + static_cast<size_t>(i) * 12;
        if (entry + 12 > size)
            return 1;
        if (read16(tiff + entry, bigEndian) != kOrientationTag)
            continue;
        if (read16(tiff + entry + 2, bigEndian) != kShortType ||
            read32(tiff + entry + 4, bigEndian) != 1)
            return 1;
        const int value = read16(tiff + entry + 8, bigEndian);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

} // namespace

int ExifOrientation::fromJpeg(const uint8_t *data, size_t size)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return 1;
    size_t offset = 2;
    // The Exif block is an APP1 segment among the markers before the image data.
    while (offset + 4 <= size) {
        if (data[offset] != 0xFF)
            return 1;
        const uint8_t marker = data[offset + 1];
        if (marker == 0xFF) { // fill byte
            ++offset;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
            return 1;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            offset += 2;
            continue;
        }
        const size_t length = static_cast<size_t>(data[offset + 2]) << 8 | data[offset + 3];
        if (length < 2 || offset + 2 + length > size)
            return 1;
        const uint8_t *payload = data + offset + 4;
        const size_t payloadSize = length - 2;
        if (marker == 0xE1 && payloadSize >= 6 && std::memcmp(payload, "Exif\0\0", 6) == 0)
            return fromTiff(payload + 6, payloadSize - 6);
        offset += 2 + length;
    }
    return 1;
}

QImage ExifOrientation::applied(const QImage &image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

} // namespace varnolet
