#pragma once

#include <string>

namespace varnolet {

// The scale bar of a picture: a round length (1, 2 or 5 x 10^n) close to a fifth of the
// picture's width, in micrometres when calibrated, else in pixels.
struct ScaleBar
{
    double length = 0.0; // micrometres, or pixels when not calibrated
    double pixels = 0.0; // the bar's length in picture pixels
    bool calibrated = false;

    // micrometresPerPixel <= 0 (or not finite): a bar in pixels.
    static ScaleBar choose(double micrometresPerPixel, int pictureWidth);
    // The round number of the 1-2-5 series nearest to value (in ratio); 0 for value <= 0.
    static double roundLength(double value);
};

// Texts of lengths: micrometres below one millimetre ("250 µm", "12.5 µm"), millimetres
// from there ("1.5 mm"); at most four significant digits, no trailing zeros.
std::string formatMicrometres(double micrometres);
std::string formatSquareMicrometres(double squareMicrometres);
std::string formatPixels(double pixels);
// A number with at most `significant` significant digits and no trailing zeros.
std::string formatNumber(double value, int significant = 4);

} // namespace varnolet
