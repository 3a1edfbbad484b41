#include "BgrImage.h"

namespace varnolet {

QImage BgrImage::toQImage() const
{
    if (isEmpty())
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        const uint8_t *source = row(y);
        uchar *target = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            target[3 * x] = source[3 * x + 2];
            target[3 * x + 1] = source[3 * x + 1];
            target[3 * x + 2] = source[3 * x];
        }
    }
    return image;
}

} // namespace varnolet
