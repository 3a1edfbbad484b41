#include "PhotoAnnotation.h"

#include "Calibration.h"
#include "OverlayPainter.h"
#include "ScaleBar.h"

namespace varnolet {

std::optional<JpegScaleInfo> PhotoAnnotation::scaleInfo(int width, int height) const
{
    if (!scene.calibrated() || width <= 0 ||
        !Calibration::sameAspect(scene.pictureSize.width(), scene.pictureSize.height(), width,
                                 height))
        return std::nullopt;
    const double perPixel = scene.micrometresPerPixel * scene.pictureSize.width() / width;
    JpegScaleInfo info;
    info.pixelsPerCentimetre = 10000.0 / perPixel;
    info.description = formatNumber(perPixel, 6) + " \u00b5m per pixel";
    if (!preset.empty())
        info.description += ", preset " + preset;
    return info;
}

void PhotoAnnotation::apply(uint8_t *bgrBottomUp, int width, int height) const
{
    if (burnIn)
        OverlayPainter::burnIn(scene, bgrBottomUp, width, height);
}

} // namespace varnolet
