#pragma once

#include <QRect>
#include <QSize>

// Geometry of the thumbnail column: one picture per 110-pixel row, fitted into a box as
// wide as the picture area and 100 pixels high, centred in it.
class ThumbnailLayout
{
public:
    static constexpr int kRowPitch = 110;
    static constexpr int kBoxHeight = 100;
    static constexpr int kTopMargin = 10;
    static constexpr int kFilmSymbolSize = 32;

    // Size of a width × height picture drawn into a box `boxWidth` wide; empty when any
    // of the sizes is not positive.
    static QSize PictureSize(int width, int height, int boxWidth);
    // Rectangle of that picture in the row whose box starts at `rowTop`.
    static QRect PictureRect(int width, int height, int boxWidth, int rowTop);

    // Rows a paint walks for a picture area of the given height.
    static int VisibleRows(int areaHeight) { return areaHeight / kRowPitch + 1; }
    // Index of the name drawn in the top row at a scroll position.
    static int FirstVisibleIndex(int scrollPosition) { return scrollPosition / kRowPitch; }
    // Top of the first row's box at a scroll position.
    static int FirstRowTop(int scrollPosition) { return kTopMargin - scrollPosition % kRowPitch; }
};
