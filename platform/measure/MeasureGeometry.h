#pragma once

#include <optional>
#include <vector>

#include <QPointF>

namespace varnolet {

// The geometry of the measuring tools, in picture pixels.
class MeasureGeometry
{
public:
    struct Circle
    {
        QPointF centre;
        double radius = 0.0;
    };

    static double length(const QPointF &a, const QPointF &b);
    // Sum of the segments; 0 for fewer than two points.
    static double polylineLength(const std::vector<QPointF> &points);
    // The circle through three points; none when they are (nearly) on one line.
    static std::optional<Circle> circleThrough(const QPointF &a, const QPointF &b,
                                               const QPointF &c);
    // The angle at vertex between the rays to a and c, 0..180 degrees; none when a ray has
    // no length.
    static std::optional<double> angleDegrees(const QPointF &a, const QPointF &vertex,
                                              const QPointF &c);
};

} // namespace varnolet
