#pragma once

#include <optional>
#include <vector>

namespace varnolet {

enum class LengthUnit { Micrometre, Millimetre };

// How large one picture pixel is on the specimen, for one capture size. A calibration at one
// size serves another size of the same shape: the same field of view spread over more or
// fewer pixels.
struct Calibration
{
    int width = 0;
    int height = 0;
    double micrometresPerPixel = 0.0;

    bool isValid() const;
    bool operator==(const Calibration &other) const = default;

    // Micrometres per pixel from a line of pixelLength pixels drawn over a known length;
    // none for lengths that are not finite and positive.
    static std::optional<double> fromLine(double pixelLength, double knownLength, LengthUnit unit);

    // True when the two sizes have the same shape (within half a percent, so 1920 x 1080
    // and 1280 x 720 match, 640 x 480 and 1280 x 720 do not).
    static bool sameAspect(int widthA, int heightA, int widthB, int heightB);

    // The calibration for width x height: the one at that very size, else the nearest
    // calibrated size of the same shape scaled to it, else none.
    static std::optional<Calibration> forSize(const std::vector<Calibration> &calibrated, int width,
                                              int height);
};

} // namespace varnolet
