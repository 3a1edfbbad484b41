#include "OverlayPainter.h"

#include "MeasureGeometry.h"
#include "ScaleBar.h"

#include <algorithm>
#include <cmath>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace varnolet {

namespace {

const QColor kLineColour(255, 214, 0);
const QColor kCalibrationColour(0, 220, 255);
const QColor kShadow(0, 0, 0, 200);
const QColor kLabelBackground(0, 0, 0, 150);

struct Mapping
{
    double sx = 1.0;
    double sy = 1.0;
    QPointF origin;

    QPointF map(const QPointF &p) const { return origin + QPointF(p.x() * sx, p.y() * sy); }
};

// A line drawn twice, dark and wide under light and thin, so it shows on any picture.
void strokePath(QPainter &painter, const QPainterPath &path, const QColor &colour, double width)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kShadow, width * 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
}

void drawLabel(QPainter &painter, const QString &text, const QPointF &anchor, const QRectF &bounds)
{
    if (text.isEmpty())
        return;
    const QFontMetricsF metrics(painter.font());
    const double margin = metrics.height() * 0.2;
    // The inked width can pass the advance (a superscript "²" at the end does), so the box
    // takes the wider of the two and no glyph is cut at its edge.
    const double width =
        std::max(metrics.horizontalAdvance(text), metrics.boundingRect(text).width());
    QRectF box(0, 0, width + 2 * margin, metrics.height() + margin);
    box.moveBottomLeft(anchor + QPointF(margin, -margin));
    // Kept inside the picture.
    if (box.right() > bounds.right())
        box.moveRight(bounds.right());
    if (box.left() < bounds.left())
        box.moveLeft(bounds.left());
    if (box.top() < bounds.top())
        box.moveTop(bounds.top());
    if (box.bottom() > bounds.bottom())
        box.moveBottom(bounds.bottom());
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLabelBackground);
    painter.drawRect(box);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
}

void drawMeasurement(QPainter &painter, const MeasureScene &scene, const Measurement &measurement,
                     const Mapping &mapping, const QRectF &bounds, double lineWidth)
{
    const auto &points = measurement.points;
    if (points.empty())
        return;
    const QColor colour =
        measurement.tool == Measurement::Tool::Calibrate ? kCalibrationColour : kLineColour;
    QPainterPath path;
    QPointF labelAt = mapping.map(points.back());
    if (measurement.tool == Measurement::Tool::Circle && points.size() >= 3) {
        if (const auto circle = MeasureGeometry::circleThrough(points[0], points[1], points[2])) {
            const QPointF centre = mapping.map(circle->centre);
            path.addEllipse(centre, circle->radius * mapping.sx, circle->radius * mapping.sy);
            labelAt = centre + QPointF(circle->radius * mapping.sx * 0.72,
                                       -circle->radius * mapping.sy * 0.72);
        }
    }
    if (path.isEmpty()) {
        path.moveTo(mapping.map(points.front()));
        for (size_t i = 1; i < points.size(); ++i)
            path.lineTo(mapping.map(points[i]));
    }
    strokePath(painter, path, colour, lineWidth);
    // Small marks on the clicked points.
    QPainterPath marks;
    for (const QPointF &point : points)
        marks.addEllipse(mapping.map(point), lineWidth * 1.5, lineWidth * 1.5);
    strokePath(painter, marks, colour, lineWidth * 0.75);
    if (measurement.tool == Measurement::Tool::Angle && points.size() >= 2)
        labelAt = mapping.map(points[1]);
    drawLabel(painter, scene.label(measurement), labelAt, bounds);
}

void drawScaleBar(QPainter &painter, const MeasureScene &scene, const Mapping &mapping,
                  const QRectF &bounds, double textSize)
{
    const ScaleBar bar = ScaleBar::choose(scene.micrometresPerPixel, scene.pictureSize.width());
    if (bar.pixels <= 0.0)
        return;
    const double length = bar.pixels * mapping.sx;
    const double thickness = std::max(3.0, textSize * 0.35);
    const double margin = textSize;
    const QPointF right(bounds.right() - margin, bounds.bottom() - margin);
    const QRectF barRect(right.x() - length, right.y() - thickness, length, thickness);
    // The outline lies outside the bar, so the white part is the bar's exact length.
    const double outline = std::max(1.0, thickness * 0.4);
    painter.fillRect(barRect.adjusted(-outline, -outline, outline, outline), kShadow);
    painter.fillRect(barRect, Qt::white);

    QString text = bar.calibrated ? QString::fromStdString(formatMicrometres(bar.length))
                                  : QString::fromStdString(formatPixels(bar.length));
    if (!bar.calibrated && !scene.notCalibratedText.isEmpty())
        text += QStringLiteral(" (") + scene.notCalibratedText + QLatin1Char(')');
    const QFontMetricsF metrics(painter.font());
    const double textWidth = metrics.horizontalAdvance(text);
    // Centred over the bar, or right-aligned with it when the text is the wider.
    const double left =
        textWidth <= length ? barRect.center().x() - textWidth / 2 : barRect.right() - textWidth;
    drawLabel(painter, text, QPointF(left - metrics.height() * 0.2, barRect.top()), bounds);
}

} // namespace

void OverlayPainter::paint(QPainter &painter, const MeasureScene &scene, const QRectF &target,
                           double textPixelSize)
{
    if (scene.pictureSize.isEmpty() || target.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(target);
    QFont font = painter.font();
    font.setPixelSize(std::max(6, static_cast<int>(std::lround(textPixelSize))));
    painter.setFont(font);

    Mapping mapping;
    mapping.origin = target.topLeft();
    mapping.sx = target.width() / scene.pictureSize.width();
    mapping.sy = target.height() / scene.pictureSize.height();
    const double lineWidth = std::max(1.5, textPixelSize / 8.0);

    drawScaleBar(painter, scene, mapping, target, textPixelSize);
    for (const Measurement &measurement : scene.measurements)
        drawMeasurement(painter, scene, measurement, mapping, target, lineWidth);
    drawMeasurement(painter, scene, scene.drawing, mapping, target, lineWidth);
    painter.restore();
}

double OverlayPainter::photoTextSize(int height)
{
    return std::max(12.0, height / 40.0);
}

void OverlayPainter::burnIn(const MeasureScene &scene, uint8_t *bgrBottomUp, int width, int height)
{
    if (!bgrBottomUp || width <= 0 || height <= 0)
        return;
    // The buffer's first row is the picture's last: painting through a vertical flip draws
    // the picture upright as the rows are read bottom-up.
    QImage frame(bgrBottomUp, width, height, width * 3, QImage::Format_BGR888);
    QPainter painter(&frame);
    painter.setTransform(QTransform(1, 0, 0, -1, 0, height));
    paint(painter, scene, QRectF(0, 0, width, height), photoTextSize(height));
}

} // namespace varnolet
