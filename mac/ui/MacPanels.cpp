#include "mac/ui/MacPanels.h"

#include "mac/ui/AboutBox.h"
#include "mac/ui/AdjustPanelActions.h"
#include "mac/controller/AppController.h"
#include "mac/ui/AppControllerPanelHost.h"
#include "mac/ui/LanguageRetitler.h"
#include "mac/ui/MainViewer.h"
#include "mac/ui/SettingsPanel.h"
#include "mac/ui/CameraAdjustPanel.h"

MacPanels::MacPanels(AppController &controller, MainViewer &mainWindow,
                     CameraAdjustPanel *adjustPanel)
    : m_controller(controller)
    , m_mainWindow(mainWindow)
    , m_host(std::make_unique<AppControllerPanelHost>(controller, &mainWindow))
{
    // The panels are windows of their own, placed over the main window when they open.
    m_settingsPanel = std::make_unique<SettingsPanel>(*m_host);
    m_aboutBox = std::make_unique<AboutBox>();
    m_adjustPanelActions =
        std::make_unique<AdjustPanelActions>(*m_host, *m_settingsPanel, adjustPanel);

    RetitledControls controls;
    controls.retitleMainWindow = [&controller] { emit controller.toolTipsChanged(); };
    controls.settingsPanel = m_settingsPanel.get();
    controls.aboutBox = m_aboutBox.get();
    m_retitler = std::make_unique<LanguageRetitler>(*m_host, controls);
    m_host->setRetitle([this](int index) { m_retitler->changedUIBySelectedLanuage(index); });

    mainWindow.setSettingsHandler([this] { m_settingsPanel->setSetting(); });
    mainWindow.setAboutHandler([this] { m_aboutBox->about(&m_mainWindow); });
    // Before a timed-shot run the fields are checked as they stand.
    controller.setTimedShotSettingCheck(
        [this] { return m_settingsPanel->isCorrectTimedShotSetting(); });

    SettingsPanel *panel = m_settingsPanel.get();
    QObject::connect(&controller, &AppController::deviceListChanged, panel, [panel] {
        panel->refillDeviceList();
        panel->refillResolutionList();
    });
    AdjustPanelActions *actions = m_adjustPanelActions.get();
    QObject::connect(&controller, &AppController::adjustPanelShouldHide, actions,
                     &AdjustPanelActions::hideAdjustPanel);
    if (adjustPanel) {
        QObject::connect(adjustPanel, &CameraAdjustPanel::setDefaultClicked, actions,
                         &AdjustPanelActions::adjustCameraToDefault);
        QObject::connect(adjustPanel, &CameraAdjustPanel::cancelClicked, actions,
                         &AdjustPanelActions::adjustCameraToCancel);
        QObject::connect(adjustPanel, &CameraAdjustPanel::okClicked, actions,
                         &AdjustPanelActions::adjustCameraToOk);
    }
}

MacPanels::~MacPanels() = default;

void MacPanels::awakeFromNib()
{
    m_retitler->changedUIBySelectedLanuage(m_controller.usingSettingParam().lanuageSelector());
    m_aboutBox->initLogImage(m_controller.settings().paths());
    m_settingsPanel->updateValueToUI();
    m_aboutBox->initAboutDlg(m_controller.settings().paths());
}
