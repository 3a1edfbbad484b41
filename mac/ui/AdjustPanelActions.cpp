#include "mac/ui/AdjustPanelActions.h"

#include <QWidget>

#include "mac/ui/PanelPlacement.h"
#include "mac/ui/SettingsPanel.h"
#include "mac/ui/SettingsPanelHost.h"
#include "mac/core/CameraControl.h"

AdjustPanelActions::AdjustPanelActions(SettingsPanelHost &host, SettingsPanel &settingsPanel,
                                       QWidget *adjustPanel, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_settingsPanel(settingsPanel)
    , m_adjustPanel(adjustPanel)
{
    connect(&settingsPanel, &SettingsPanel::adjustCameraClicked, this,
            &AdjustPanelActions::setAdjustCaerma);
}

void AdjustPanelActions::setAdjustCaerma()
{
    if (!m_host.IsCaptureDevice()) {
        m_host.mySystemWarning(m_host.messageForNotCaptureDevice());
        return;
    }
    m_settingsPanel.cancelSetting();
    if (!m_adjustPanel)
        return;
    m_adjustPanel->show();
    PanelPlacement::setWindowPositionInCenterOfMainWindow(m_adjustPanel, m_host.mainWindow(), true);
    m_adjustPanel->raise();
    m_adjustPanel->activateWindow();
}

void AdjustPanelActions::adjustCameraToDefault()
{
    if (CameraControl *control = m_host.cameraControl())
        control->setDefaultValue();
}

void AdjustPanelActions::adjustCameraToCancel()
{
    if (CameraControl *control = m_host.cameraControl())
        control->setPreValue();
    hideAdjustPanel();
    m_settingsPanel.setSetting();
}

void AdjustPanelActions::adjustCameraToOk()
{
    hideAdjustPanel();
    m_settingsPanel.setSetting();
}

void AdjustPanelActions::hideAdjustPanel()
{
    if (m_adjustPanel)
        m_adjustPanel->hide();
}
