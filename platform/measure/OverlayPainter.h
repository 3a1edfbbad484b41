#pragma once

#include "MeasureScene.h"

#include <cstdint>

#include <QRectF>

class QPainter;

namespace varnolet {

// Draws a scene's scale bar (bottom right) and measurements with their labels. The scene's
// picture coordinates are mapped onto target, the rectangle the picture fills on the
// painter's device, so the drawing follows any window size, letterbox or photo resolution.
// textPixelSize is the label height on the device; lines scale with it.
class OverlayPainter
{
public:
    static void paint(QPainter &painter, const MeasureScene &scene, const QRectF &target,
                      double textPixelSize);

    // Burns the scene into a frame of 24-bit BGR rows, bottom-up (the capture layout), at the
    // frame's own resolution.
    static void burnIn(const MeasureScene &scene, uint8_t *bgrBottomUp, int width, int height);
    // The label height burnt into a photo of that height.
    static double photoTextSize(int height);
};

} // namespace varnolet
