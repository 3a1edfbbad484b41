#pragma once

#include "MeasureScene.h"
#include "platform/media/JpegScaleMetadata.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace varnolet {

// What photos carry while the live picture is calibrated or measured: the scale for the
// JPEG's metadata and, when asked for, the scale bar and measurements burnt in. Handed from
// the window to the photos through a PhotoAnnotationSlot.
struct PhotoAnnotation
{
    MeasureScene scene; // scale and measurements at scene.pictureSize
    std::string preset; // name of the calibration preset in use
    bool burnIn = false;

    // The photo metadata for a photo of width x height; none when not calibrated or when
    // the photo's shape differs from the calibrated picture's.
    std::optional<JpegScaleInfo> scaleInfo(int width, int height) const;
    // Draws the scale bar and measurements into the frame when burnIn is set.
    void apply(uint8_t *bgrBottomUp, int width, int height) const;
};

} // namespace varnolet
