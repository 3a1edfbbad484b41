#include "MeasureScene.h"

#include "MeasureGeometry.h"
#include "ScaleBar.h"

#include <numbers>

namespace varnolet {

int Measurement::pointsNeeded(Tool tool)
{
    switch (tool) {
    case Tool::Line:
    case Tool::Calibrate:
        return 2;
    case Tool::Circle:
    case Tool::Angle:
        return 3;
    case Tool::Polyline:
        return 0;
    }
    return 0;
}

bool Measurement::isComplete() const
{
    const int needed = pointsNeeded(tool);
    return needed == 0 ? points.size() >= 2 : static_cast<int>(points.size()) >= needed;
}

QString MeasureScene::lengthText(double pixels) const
{
    if (!calibrated())
        return QString::fromStdString(formatPixels(pixels));
    return QString::fromStdString(formatMicrometres(pixels * micrometresPerPixel));
}

QString MeasureScene::label(const Measurement &measurement) const
{
    const auto &p = measurement.points;
    switch (measurement.tool) {
    case Measurement::Tool::Line:
    case Measurement::Tool::Calibrate:
        return p.size() >= 2 ? lengthText(MeasureGeometry::length(p[0], p[1])) : QString();
    case Measurement::Tool::Polyline:
        return p.size() >= 2 ? lengthText(MeasureGeometry::polylineLength(p)) : QString();
    case Measurement::Tool::Circle: {
        if (p.size() < 3)
            return QString();
        const auto circle = MeasureGeometry::circleThrough(p[0], p[1], p[2]);
        if (!circle)
            return QString();
        const double area = std::numbers::pi * circle->radius * circle->radius;
        const QString areaValue = calibrated()
                                      ? QString::fromStdString(formatSquareMicrometres(
                                            area * micrometresPerPixel * micrometresPerPixel))
                                      : QString::fromStdString(formatNumber(area) + " px\u00b2");
        return diameterText + QLatin1Char(' ') + lengthText(2.0 * circle->radius) +
               QStringLiteral("  ") + areaText + QLatin1Char(' ') + areaValue;
    }
    case Measurement::Tool::Angle: {
        if (p.size() < 3)
            return QString();
        const auto angle = MeasureGeometry::angleDegrees(p[0], p[1], p[2]);
        return angle ? QString::fromStdString(formatNumber(*angle)) + QChar(0x00b0) : QString();
    }
    }
    return QString();
}

} // namespace varnolet
