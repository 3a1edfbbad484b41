#pragma once

#include <cstddef>
#include <cstdint>

#include <QImage>

namespace varnolet {

// The orientation a camera or an editor records in a JPEG's Exif block (tag 0x0112), and
// turning a decoded picture upright by it. Values follow the Exif numbering: 1 upright,
// 2 mirrored, 3 turned half round, 4 flipped, 5 transposed, 6 turned a quarter clockwise,
// 7 transversed, 8 turned a quarter anticlockwise.
class ExifOrientation
{
public:
    // The orientation of a JPEG file's bytes; 1 when there is no Exif block, no
    // orientation tag or a value outside 1..8. Reads only within the given bytes.
    static int fromJpeg(const uint8_t *data, size_t size);

    // The picture as it should be shown for the orientation (values outside 2..8 leave it
    // unchanged). Orientations 5 to 8 swap width and height.
    static QImage applied(const QImage &image, int orientation);
};

} // namespace varnolet
