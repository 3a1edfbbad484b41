#pragma once

#include <memory>

class AboutBox;
class AdjustPanelActions;
class AppController;
class AppControllerPanelHost;
class CameraAdjustPanel;
class LanguageRetitler;
class MainViewer;
class SettingsPanel;

// The controller's panels joined to the controller and the main window: the settings
// panel behind the Settings button, the about box behind About, the adjust panel reached
// from the settings, and the retitling of all of them.
class MacPanels
{
public:
    // The adjust panel's Set Default, Cancel and Ok are joined to their actions; it may be
    // none (no adjust panel).
    MacPanels(AppController &controller, MainViewer &mainWindow,
              CameraAdjustPanel *adjustPanel = nullptr);
    ~MacPanels();
    MacPanels(const MacPanels &) = delete;
    MacPanels &operator=(const MacPanels &) = delete;

    // The panels' part of the start-up, before the controller's: retitle everything in the
    // language in force, the logo, the settings into the panel, the about box's texts.
    void awakeFromNib();

    SettingsPanel &settingsPanel() { return *m_settingsPanel; }
    AboutBox &aboutBox() { return *m_aboutBox; }
    AdjustPanelActions &adjustPanelActions() { return *m_adjustPanelActions; }
    LanguageRetitler &retitler() { return *m_retitler; }

private:
    AppController &m_controller;
    MainViewer &m_mainWindow;
    std::unique_ptr<AppControllerPanelHost> m_host;
    std::unique_ptr<SettingsPanel> m_settingsPanel;
    std::unique_ptr<AboutBox> m_aboutBox;
    std::unique_ptr<AdjustPanelActions> m_adjustPanelActions;
    std::unique_ptr<LanguageRetitler> m_retitler;
};
