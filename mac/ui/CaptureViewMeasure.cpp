#include "CaptureViewMeasure.h"

#include "mac/controller/AppController.h"
#include "mac/ui/MyQtCaptureView.h"
#include "platform/system/MessageBox.h"
#include "platform/system/SystemPaths.h"
#include "platform/widgets/MeasureController.h"
#include "platform/widgets/MeasureOverlay.h"

CaptureViewMeasure::CaptureViewMeasure(AppController &controller, MyQtCaptureView *view)
    : QObject(view)
    , m_controller(controller)
    , m_measure(std::make_unique<varnolet::MeasureController>(
          storePath(controller.settings().paths()),
          [&controller](const char *key, const char *builtIn) {
              return QString::fromStdString(controller.myNSLocationString(key, builtIn));
          },
          varnolet::MessageBox(controller.messagePresenter()), controller.photoAnnotations()))
    , m_overlay(new varnolet::MeasureOverlay(
          *m_measure, [view] { return view->pictureRect(); }, view))
{
    connect(&controller, &AppController::previewGeometryChanged, this,
            &CaptureViewMeasure::followCamera);
    connect(&controller, &AppController::toolTipsChanged, m_overlay,
            &varnolet::MeasureOverlay::retitle);
    followCamera();
}

CaptureViewMeasure::~CaptureViewMeasure() = default;

std::string CaptureViewMeasure::storePath(const varnolet::SystemPaths &paths)
{
    return paths.configHome() + "/VarnoletMac/calibration.json";
}

void CaptureViewMeasure::followCamera()
{
    const CaptureResolution resolution = m_controller.mCurrentCaptureResolution();
    m_measure->setCamera(m_controller.currentCalibrationKey());
    m_measure->setPictureSize(QSize(resolution.nResolutionWidth, resolution.nResolutionHeight));
}
