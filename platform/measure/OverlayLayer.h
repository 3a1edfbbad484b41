#pragma once

#include "MeasureScene.h"

#include <vector>

#include <QImage>
#include <QRect>

class QPainter;

namespace varnolet {

// The overlay of a live picture, drawn once into a transparent layer whenever the scene or
// the picture's place changes, and then put over every new frame. Antialiased strokes cost
// milliseconds at full-screen sizes; putting the layer back costs only the parts of it
// that hold something (tiles with any drawing in them).
class OverlayLayer
{
public:
    void paint(QPainter &painter, const MeasureScene &scene, const QRect &target,
               double textPixelSize);

    // How often the layer was drawn anew, and how many tiles it puts over a frame.
    int renders() const { return m_renders; }
    size_t tileCount() const { return m_tiles.size(); }

    static constexpr int kTile = 32;

private:
    void render(const MeasureScene &scene, const QSize &size, double textPixelSize);

    QImage m_layer;             // premultiplied ARGB, the target's size
    std::vector<QRect> m_tiles; // runs of tiles with drawing, in layer coordinates
    MeasureScene m_scene;
    QSize m_size;
    double m_textPixelSize = 0.0;
    int m_renders = 0;
};

} // namespace varnolet
