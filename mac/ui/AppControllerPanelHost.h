#pragma once

#include <functional>

#include "mac/ui/SettingsPanelHost.h"

class AppController;

// The application controller as the settings and adjust panels see it.
class AppControllerPanelHost final : public SettingsPanelHost
{
public:
    AppControllerPanelHost(AppController &controller, QWidget *mainWindow);

    // What a language change on Apply runs (the retitling of the whole interface).
    void setRetitle(std::function<void(int)> retitle) { m_retitle = std::move(retitle); }

    AppControllerSettings &settings() override;
    std::recursive_mutex &settingsLock() override;
    UserDefaults &userStore() override;
    std::vector<std::string> deviceNames() const override;
    std::string deviceListText() const override;
    std::vector<CaptureResolution> resolutionArray() const override;
    std::string resolutionListText() const override;
    void deviceSelectionDidChange(int index) override;
    void resolutionSelectionDidChange(int index) override;
    void mySystemWarning(const std::string &text) override;
    void createLocationsOfAllResources(const SettingParams &settings) override;
    void showResourcesTree(const std::string &resourcesRoot) override;
    void changedUIBySelectedLanuage(int lanuageIndex) override;
    bool IsCaptureDevice() const override;
    std::string messageForNotCaptureDevice() const override;
    CameraControl *cameraControl() const override;
    QWidget *mainWindow() const override { return m_mainWindow; }

private:
    AppController &m_controller;
    QWidget *m_mainWindow;
    std::function<void(int)> m_retitle;
};
