#include "mac/ui/AppControllerPanelHost.h"

#include "mac/controller/AppController.h"
#include "mac/controller/ResourceTree.h"

AppControllerPanelHost::AppControllerPanelHost(AppController &controller, QWidget *mainWindow)
    : m_controller(controller)
    , m_mainWindow(mainWindow)
{
}

AppControllerSettings &AppControllerPanelHost::settings()
{
    return m_controller.settings();
}

std::recursive_mutex &AppControllerPanelHost::settingsLock()
{
    return m_controller.controllerLock();
}

UserDefaults &AppControllerPanelHost::userStore()
{
    return m_controller.userStore();
}

std::vector<std::string> AppControllerPanelHost::deviceNames() const
{
    std::vector<std::string> names;
    const int count = m_controller.countDevices();
    for (int i = 0; i < count; ++i)
        names.push_back(m_controller.getDeviceNameByIndex(i));
    return names;
}

std::string AppControllerPanelHost::deviceListText() const
{
    return m_controller.deviceListText();
}

std::vector<CaptureResolution> AppControllerPanelHost::resolutionArray() const
{
    return m_controller.resolutionArray();
}

std::string AppControllerPanelHost::resolutionListText() const
{
    return m_controller.resolutionListText();
}

void AppControllerPanelHost::deviceSelectionDidChange(int index)
{
    m_controller.deviceSelectionDidChange(index);
}

void AppControllerPanelHost::resolutionSelectionDidChange(int index)
{
    m_controller.resolutionSelectionDidChange(index);
}

void AppControllerPanelHost::mySystemWarning(const std::string &text)
{
    m_controller.mySystemWarning(text);
}

void AppControllerPanelHost::createLocationsOfAllResources(const SettingParams &settings)
{
    m_controller.savingLocationManage().createLocationsOfAllResources(settings);
}

void AppControllerPanelHost::showResourcesTree(const std::string &resourcesRoot)
{
    if (ResourceTree *tree = m_controller.resourceTree())
        tree->showResourcesTree(resourcesRoot);
}

void AppControllerPanelHost::changedUIBySelectedLanuage(int lanuageIndex)
{
    if (m_retitle)
        m_retitle(lanuageIndex);
}

bool AppControllerPanelHost::IsCaptureDevice() const
{
    return m_controller.IsCaptureDevice();
}

std::string AppControllerPanelHost::messageForNotCaptureDevice() const
{
    return m_controller.messageForNotCaptureDevice();
}

CameraControl *AppControllerPanelHost::cameraControl() const
{
    return m_controller.cameraControl();
}
