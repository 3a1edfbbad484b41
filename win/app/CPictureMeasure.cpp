#include "CPictureMeasure.h"

#include "platform/measure/CameraKey.h"
#include "platform/widgets/MeasureController.h"
#include "platform/widgets/MeasureOverlay.h"
#include "win/app/AppText.h"
#include "win/app/CPictureArea.h"
#include "win/common/AppServices.h"

CPictureMeasure::CPictureMeasure(CPictureArea *pictureArea, const AppServices &services,
                                 const varnolet::MessageBox &messages,
                                 varnolet::PhotoAnnotationSlot &annotations)
    : m_controller(std::make_unique<varnolet::MeasureController>(
          StorePath(services.Paths()),
          [&services, messages](const char *key, const char *builtIn) {
              return LanguageText(services, key, builtIn, messages);
          },
          messages, annotations))
    , m_overlay(new varnolet::MeasureOverlay(
          *m_controller,
          [pictureArea] {
              const QRect video = pictureArea->VideoRect();
              return video.isEmpty() ? pictureArea->rect() : video;
          },
          pictureArea))
{
    const SettingValues settings = services.Settings().GetUsingSettings();
    m_controller->setPictureSize(QSize(settings.captureWidth, settings.captureHeight));
}

CPictureMeasure::~CPictureMeasure() = default;

std::string CPictureMeasure::StorePath(const varnolet::SystemPaths &paths)
{
    return PerUserDataFolder(paths) + "/calibration.json";
}

void CPictureMeasure::CameraOpened(const varnolet::CameraIdentity &identity, int width, int height)
{
    m_controller->setCamera(varnolet::CameraKey::forIdentity(identity));
    m_controller->setPictureSize(QSize(width, height));
}

void CPictureMeasure::Retitle()
{
    m_overlay->retitle();
}
