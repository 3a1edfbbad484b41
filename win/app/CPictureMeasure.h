#pragma once

#include <memory>

#include "platform/camera/CameraTypes.h"

class AppServices;
class CPictureArea;

namespace varnolet {
class MessageBox;
class SystemPaths;
class MeasureController;
class MeasureOverlay;
class PhotoAnnotationSlot;
} // namespace varnolet

// The scale bar, measuring tools and calibration on the live picture: an overlay over the
// picture area (its context menu holds the commands) and the calibrations kept in
// "calibration.json" beside the per-user config.ini. The picture area itself is unchanged.
class CPictureMeasure final
{
public:
    // services: the folders of the calibration file, the texts and the capture size of the
    // settings (outlives the object). messages: where a damaged or unsaved calibration
    // file is told. annotations: where the photos' scale is published (outlives the
    // object).
    CPictureMeasure(CPictureArea *pictureArea, const AppServices &services,
                    const varnolet::MessageBox &messages,
                    varnolet::PhotoAnnotationSlot &annotations);
    ~CPictureMeasure();
    CPictureMeasure(const CPictureMeasure &) = delete;
    CPictureMeasure &operator=(const CPictureMeasure &) = delete;

    static std::string StorePath(const varnolet::SystemPaths &paths);

    // A camera was opened at width x height.
    void CameraOpened(const varnolet::CameraIdentity &identity, int width, int height);
    // The language changed.
    void Retitle();

    varnolet::MeasureController &Controller() const { return *m_controller; }
    varnolet::MeasureOverlay *Overlay() const { return m_overlay; }

private:
    std::unique_ptr<varnolet::MeasureController> m_controller;
    varnolet::MeasureOverlay *m_overlay; // child of the picture area
};
