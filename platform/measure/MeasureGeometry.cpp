#include "MeasureGeometry.h"

#include <cmath>
#include <numbers>

namespace varnolet {

double MeasureGeometry::length(const QPointF &a, const QPointF &b)
{
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

double MeasureGeometry::polylineLength(const std::vector<QPointF> &points)
{
    double sum = 0.0;
    for (size_t i = 1; i < points.size(); ++i)
        sum += length(points[i - 1], points[i]);
    return sum;
}

std::optional<MeasureGeometry::Circle>
MeasureGeometry::circleThrough(const QPointF &a, const QPointF &b, const QPointF &c)
{
    // Relative to a, so large picture coordinates lose no precision.
    const double bx = b.x() - a.x();
    const double by = b.y() - a.y();
    const double cx = c.x() - a.x();
    const double cy = c.y() - a.y();
    const double d = 2.0 * (bx * cy - by * cx);
    const double scale = (bx * bx + by * by) + (cx * cx + cy * cy);
    if (scale <= 0.0 || std::fabs(d) <= 1e-9 * scale)
        return std::nullopt;
    const double b2 = bx * bx + by * by;
    const double c2 = cx * cx + cy * cy;
    const double ux = (cy * b2 - by * c2) / d;
    const double uy = (bx * c2 - cx * b2) / d;
    return Circle{QPointF(a.x() + ux, a.y() + uy), std::hypot(ux, uy)};
}

std::optional<double> MeasureGeometry::angleDegrees(const QPointF &a, const QPointF &vertex,
                                                    const QPointF &c)
{
    const double ax = a.x() - vertex.x();
    const double ay = a.y() - vertex.y();
    const double cx = c.x() - vertex.x();
    const double cy = c.y() - vertex.y();
    if ((ax == 0.0 && ay == 0.0) || (cx == 0.0 && cy == 0.0))
        return std::nullopt;
    const double angle = std::atan2(std::fabs(ax * cy - ay * cx), ax * cx + ay * cy);
    return angle * 180.0 / std::numbers::pi;
}

} // namespace varnolet
