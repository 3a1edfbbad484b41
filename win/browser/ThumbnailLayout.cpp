#include "ThumbnailLayout.h"

QSize ThumbnailLayout::PictureSize(int width, int height, int boxWidth)
{
    if (width <= 0 || height <= 0 || boxWidth <= 0)
        return {};
    const double ratio = static_cast<double>(height) / width;
    if (static_cast<double>(kBoxHeight) / boxWidth > ratio)
        return {boxWidth, static_cast<int>(ratio * boxWidth)};
    return {static_cast<int>(kBoxHeight / ratio), kBoxHeight};
}

QRect ThumbnailLayout::PictureRect(int width, int height, int boxWidth, int rowTop)
{
    const QSize size = PictureSize(width, height, boxWidth);
    if (size.isEmpty())
        return {};
    const int left = (boxWidth - size.width()) / 2;
    const int top = rowTop + (kBoxHeight - size.height()) / 2;
    return {left, top, size.width(), size.height()};
}
