#pragma once

#include <memory>

#include <QObject>

class AppController;
class MyQtCaptureView;

namespace varnolet {
class MeasureController;
class MeasureOverlay;
class SystemPaths;
} // namespace varnolet

// The scale bar, measuring tools and calibration on the preview view: an overlay over the
// view (its context menu holds the commands), following the camera and capture size of
// the controller, with the calibrations kept in "calibration.json" beside the user's
// preferences. The view itself is unchanged.
class CaptureViewMeasure final : public QObject
{
public:
    CaptureViewMeasure(AppController &controller, MyQtCaptureView *view);
    ~CaptureViewMeasure() override;

    // Where the calibrations are kept: under the configuration folder of paths.
    static std::string storePath(const varnolet::SystemPaths &paths);

    varnolet::MeasureController &measureController() const { return *m_measure; }
    varnolet::MeasureOverlay *overlay() const { return m_overlay; }

private:
    void followCamera();

    AppController &m_controller;
    std::unique_ptr<varnolet::MeasureController> m_measure;
    varnolet::MeasureOverlay *m_overlay; // child of the view
};
