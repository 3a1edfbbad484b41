#include "OverlayLayer.h"

#include "OverlayPainter.h"

#include <algorithm>

#include <QPainter>

namespace varnolet {

void OverlayLayer::paint(QPainter &painter, const MeasureScene &scene, const QRect &target,
                         double textPixelSize)
{
    if (target.isEmpty() || scene.pictureSize.isEmpty())
        return;
    if (m_renders == 0 || target.size() != m_size || textPixelSize != m_textPixelSize ||
        !(scene == m_scene))
        render(scene, target.size(), textPixelSize);
    for (const QRect &tile : m_tiles)
        painter.drawImage(target.topLeft() + tile.topLeft(), m_layer, tile);
}

void OverlayLayer::render(const MeasureScene &scene, const QSize &size, double textPixelSize)
{
    ++m_renders;
    m_scene = scene;
    m_size = size;
    m_textPixelSize = textPixelSize;
    m_tiles.clear();
    if (m_layer.size() != size)
        m_layer = QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (m_layer.isNull())
        return;
    m_layer.fill(Qt::transparent);
    {
        QPainter painter(&m_layer);
        OverlayPainter::paint(painter, scene, QRectF(QPointF(0, 0), QSizeF(size)), textPixelSize);
    }
    // Which tiles hold any drawing; neighbours on a row are joined into one run.
    const int columns = (size.width() + kTile - 1) / kTile;
    const int rows = (size.height() + kTile - 1) / kTile;
    std::vector<char> used(static_cast<size_t>(columns) * rows, 0);
    for (int y = 0; y < size.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(m_layer.constScanLine(y));
        char *rowUsed = used.data() + static_cast<size_t>(y / kTile) * columns;
        for (int x = 0; x < size.width(); ++x)
            if (line[x] != 0)
                rowUsed[x / kTile] = 1;
    }
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (!used[static_cast<size_t>(row) * columns + column])
                continue;
            const int first = column;
            while (column + 1 < columns && used[static_cast<size_t>(row) * columns + column + 1])
                ++column;
            const QRect run(first * kTile, row * kTile, (column - first + 1) * kTile, kTile);
            m_tiles.push_back(run.intersected(QRect(QPoint(0, 0), size)));
        }
    }
}

} // namespace varnolet
