#pragma once

#include <vector>

#include <QPointF>
#include <QSize>
#include <QString>

namespace varnolet {

// One measurement on the picture, its points in picture pixels (capture size).
struct Measurement
{
    enum class Tool { Line, Polyline, Circle, Angle, Calibrate };

    Tool tool = Tool::Line;
    std::vector<QPointF> points;

    // Points the tool takes: a polyline any number from two on (0 here).
    static int pointsNeeded(Tool tool);
    bool isComplete() const;
    bool operator==(const Measurement &other) const = default;
};

// Everything the overlay draws: the scale and the measurements of one picture.
struct MeasureScene
{
    QSize pictureSize;                // the size the points and the scale refer to
    double micrometresPerPixel = 0.0; // 0: not calibrated, lengths in pixels
    std::vector<Measurement> measurements;
    Measurement drawing;       // the one being drawn (no points: none)
    QString notCalibratedText; // said beside the scale bar when not calibrated
    QString diameterText;      // "⌀"-like prefix of a circle's diameter
    QString areaText;          // prefix of a circle's area

    bool calibrated() const { return micrometresPerPixel > 0.0; }
    bool operator==(const MeasureScene &other) const = default;
    // The text drawn beside a measurement ("12.5 µm", "40 px", "⌀ 10 µm  A 78.5 µm²",
    // "90°"); empty while it has too few points.
    QString label(const Measurement &measurement) const;
    QString lengthText(double pixels) const;
};

} // namespace varnolet
