#pragma once

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>

#include "mac/core/AppControllerSettings.h"
#include "mac/core/SettingParams.h"
#include "mac/ui/SettingsPanelHost.h"
#include "mac/core/StringsFile.h"
#include "mac/core/UserDefaults.h"
#include "mac/core/CameraControl.h"
#include "platform/system/SystemPaths.h"
#include "tests/support/ProgramFolderPaths.h"
#include "tests/support/TestSupport.h"

namespace panels_test {

// The bundle layout the build puts beside VarnoletMac (language files, info.plist, logo).
inline std::string runtimeFolder()
{
    if (const char *dir = std::getenv("VARNOLET_RUNTIME_DIR"))
        return dir;
    return QCoreApplication::applicationDirPath().toStdString() + "/../bin";
}

// The text of a key in the shipped language file of a language index ("" when absent).
inline std::string fileText(int language, const std::string &key)
{
    const auto table = StringsFile::readFile(runtimeFolder() + "/Contents/Resources/" +
                                             AppControllerSettings::getLocalizedFolder(language) +
                                             "/Localizable.strings");
    if (!table || !table->count(key))
        return {};
    return table->at(key);
}

// A camera control that records what the panels ask of it.
class FakeCameraControl final : public CameraControl
{
public:
    void releaseControl() override {}
    void clearDefaultValue() override {}
    bool initWithLocationID(uint32_t) override { return true; }
    void getDefaultValue() override {}
    std::vector<CaptureResolution> getPixelsArray() const override { return {}; }
    void setAppController(HardwareTriggerListener *) override {}
    void initReadingInterruptThread() override {}
    void setPreValue() override { calls.push_back("setPreValue"); }
    void setDefaultValue() override { calls.push_back("setDefaultValue"); }
    void changedLanuage(const AppControllerSettings &controller, int lanuageIndex) override
    {
        calls.push_back("changedLanuage " + std::to_string(lanuageIndex));
        // What the adjust panel would show for its brightness label.
        adjustText = controller.myNSLocationString("ui_adjust_lab_brightness", "Brightness:");
    }

    std::vector<std::string> calls;
    std::string adjustText;
};

// The controller as the panels see it: real records and string lookup over the shipped
// language files, a user store in a temporary folder, recorded alerts and requests.
class FakePanelHost final : public SettingsPanelHost
{
public:
    // programFolder: the bundle the texts come from (with its trailing "/").
    explicit FakePanelHost(const std::string &programFolder = runtimeFolder() + "/")
        : m_settings(varnolet::test::withProgramFolder(programFolder))
        , m_store(m_folder.file("preferences.plist"))
    {
        m_folder.makeFolder("pictures");
        m_folder.makeFolder("elsewhere");
        SettingParams &factory = m_settings.defaultSettingParam();
        factory.setResourcesSavingLocation(m_folder.file("pictures"));
        factory.setMovieSavingSizeLimit(1024);
        factory.setMovieSizeEnum(1);
        factory.setLanuageSelector(0);
        factory.mObjShotsTakingPreMinute() = {6, 1, 60};
        factory.mObjShotsTakingPreHour() = {60, 1, 3600};
        factory.mObjShotsTakingPreDay() = {100, 1, 86400};
        factory.mObjTimesTakingOfMinute() = {60, 1, 1440};
        factory.mObjTimesTakingOfHour() = {2, 1, 24};
        factory.mObjTimesTakingOfDay() = {1, 1, 30};
        m_settings.usingSettingParam().copySetting(factory);
        m_settings.preUsingSettingParam().copySetting(factory);
        m_settings.refillLanguageArray();
    }
    AppControllerSettings &settings() override { return m_settings; }
    std::recursive_mutex &settingsLock() override { return lock; }
    UserDefaults &userStore() override { return store ? *store : m_store; }
    std::vector<std::string> deviceNames() const override { return devices; }
    std::string deviceListText() const override { return deviceText; }
    std::vector<CaptureResolution> resolutionArray() const override { return resolutions; }
    std::string resolutionListText() const override { return resolutionText; }
    void deviceSelectionDidChange(int index) override
    {
        requests.push_back("device " + std::to_string(index));
    }
    void resolutionSelectionDidChange(int index) override
    {
        requests.push_back("resolution " + std::to_string(index));
    }
    void mySystemWarning(const std::string &text) override { alerts.push_back(text); }
    void createLocationsOfAllResources(const SettingParams &settings) override
    {
        requests.push_back("create " + settings.resourcesSavingLocation());
    }
    void showResourcesTree(const std::string &root) override { requests.push_back("tree " + root); }
    void changedUIBySelectedLanuage(int index) override
    {
        requests.push_back("retitle " + std::to_string(index));
        if (onRetitle)
            onRetitle(index);
    }
    bool IsCaptureDevice() const override { return cameraOpen; }
    std::string messageForNotCaptureDevice() const override
    {
        return devices.empty() ? m_settings.myNSLocationString("ui_alert_no_camera",
                                                               "Error,No Camera is Detected")
                               : m_settings.myNSLocationString("ui_alert_not_preview_device",
                                                               "摄像头被其他应用程序占用,不能预览");
    }
    CameraControl *cameraControl() const override { return control.get(); }
    QWidget *mainWindow() const override { return window; }

    std::string folder(const std::string &relative) const { return m_folder.file(relative); }
    SettingParams &view() { return m_settings.usingSettingParam(); }

    std::vector<std::string> devices{"USB Microscope A", "USB Microscope B"};
    std::string deviceText = "USB Microscope B";
    std::vector<CaptureResolution> resolutions{{320, 240}, {640, 480}, {1280, 1024}};
    std::string resolutionText = "1280X1024";
    bool cameraOpen = true;
    std::shared_ptr<FakeCameraControl> control = std::make_shared<FakeCameraControl>();
    QWidget *window = nullptr;
    std::function<void(int)> onRetitle;
    UserDefaults *store = nullptr; // another store than the temporary one
    std::recursive_mutex lock;

    std::vector<std::string> alerts;
    std::vector<std::string> requests;

private:
    varnolet::test::TempFolder m_folder;
    AppControllerSettings m_settings;
    UserDefaults m_store;
};

} // namespace panels_test
