#include "ScaleBar.h"

#include <cmath>
#include <cstdio>

namespace varnolet {

double ScaleBar::roundLength(double value)
{
    if (!std::isfinite(value) || value <= 0.0)
        return 0.0;
    const double decade = std::pow(10.0, std::floor(std::log10(value)));
    double best = decade;
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        const double candidate = step * decade;
        if (std::fabs(std::log(candidate / value)) < std::fabs(std::log(best / value)))
            best = candidate;
    }
    return best;
}

ScaleBar ScaleBar::choose(double micrometresPerPixel, int pictureWidth)
{
    ScaleBar bar;
    if (pictureWidth <= 0)
        return bar;
    bar.calibrated = std::isfinite(micrometresPerPixel) && micrometresPerPixel > 0.0;
    const double perPixel = bar.calibrated ? micrometresPerPixel : 1.0;
    bar.length = roundLength(pictureWidth / 5.0 * perPixel);
    bar.pixels = bar.length / perPixel;
    return bar;
}

std::string formatNumber(double value, int significant)
{
    if (!std::isfinite(value))
        return "?";
    const double magnitude = std::fabs(value);
    const int digitsBefore =
        magnitude > 0.0 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 1;
    int decimals = significant - digitsBefore;
    if (decimals < 0)
        decimals = 0;
    if (decimals > 6)
        decimals = 6;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string result(text);
    if (result.find('.') != std::string::npos) {
        while (result.back() == '0')
            result.pop_back();
        if (result.back() == '.')
            result.pop_back();
    }
    if (result == "-0")
        result = "0";
    return result;
}

std::string formatMicrometres(double micrometres)
{
    if (std::fabs(micrometres) >= 1000.0)
        return formatNumber(micrometres / 1000.0) + " mm";
    return formatNumber(micrometres) + " \u00b5m";
}

std::string formatSquareMicrometres(double squareMicrometres)
{
    if (std::fabs(squareMicrometres) >= 1e6)
        return formatNumber(squareMicrometres / 1e6) + " mm\u00b2";
    return formatNumber(squareMicrometres) + " \u00b5m\u00b2";
}

std::string formatPixels(double pixels)
{
    return formatNumber(pixels) + " px";
}

} // namespace varnolet
