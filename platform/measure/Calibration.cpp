#include "Calibration.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace varnolet {

namespace {

constexpr int kLargestSide = 65535;

} // namespace

bool Calibration::isValid() const
{
    return width > 0 && height > 0 && width <= kLargestSide && height <= kLargestSide &&
           std::isfinite(micrometresPerPixel) && micrometresPerPixel > 0.0;
}

std::optional<double> Calibration::fromLine(double pixelLength, double knownLength, LengthUnit unit)
{
    if (!std::isfinite(pixelLength) || !std::isfinite(knownLength) || pixelLength <= 0.0 ||
        knownLength <= 0.0)
        return std::nullopt;
    const double micrometres = unit == LengthUnit::Millimetre ? knownLength * 1000.0 : knownLength;
    const double perPixel = micrometres / pixelLength;
    if (!std::isfinite(perPixel) || perPixel <= 0.0)
        return std::nullopt;
    return perPixel;
}

bool Calibration::sameAspect(int widthA, int heightA, int widthB, int heightB)
{
    if (widthA <= 0 || heightA <= 0 || widthB <= 0 || heightB <= 0)
        return false;
    const double a = static_cast<double>(widthA) / heightA;
    const double b = static_cast<double>(widthB) / heightB;
    return std::fabs(a - b) <= 0.005 * std::max(a, b);
}

std::optional<Calibration> Calibration::forSize(const std::vector<Calibration> &calibrated,
                                                int width, int height)
{
    const Calibration *nearest = nullptr;
    int nearestDistance = std::numeric_limits<int>::max();
    for (const Calibration &candidate : calibrated) {
        if (!candidate.isValid() || !sameAspect(candidate.width, candidate.height, width, height))
            continue;
        const int distance = std::abs(candidate.width - width);
        if (distance < nearestDistance) {
            nearest = &candidate;
            nearestDistance = distance;
        }
    }
    if (!nearest)
        return std::nullopt;
    Calibration scaled{width, height, nearest->micrometresPerPixel};
    if (nearest->width != width)
        scaled.micrometresPerPixel = nearest->micrometresPerPixel * nearest->width / width;
    return scaled;
}

} // namespace varnolet
