// Any bytes as the start of a JPEG file whose Exif orientation is read: the answer is
// always one of the eight orientations, never a read outside the bytes, and turning a
// picture by it keeps its pixels (the sides swap for the quarter turns).
#include "platform/media/ExifOrientation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <QImage>

using varnolet::ExifOrientation;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly the given length, so that any read past it is caught.
    const std::vector<uint8_t> bytes(data, data + size);
    const int orientation = ExifOrientation::fromJpeg(bytes.data(), bytes.size());
    if (orientation < 1 || orientation > 8)
        std::abort();
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    const QImage upright = ExifOrientation::applied(picture, orientation);
    const QSize expected = orientation >= 5 ? QSize(2, 3) : QSize(3, 2);
    if (upright.size() != expected)
        std::abort();
    return 0;
}
