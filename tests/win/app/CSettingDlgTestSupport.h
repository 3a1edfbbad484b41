#pragma once

// Shared by the settings dialog tests: a fake window that hosts the dialog, and a fixture
// with a temporary config.ini, Documents folder and the shipped language files.

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>

#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"
#include "win/app/CSettingDlg.h"
#include "win/app/ISettingDialogHost.h"
#include "win/common/AppServices.h"

inline uint32_t SettingSizeKey(int width, int height)
{
    return (static_cast<uint32_t>(width) << 16) | static_cast<uint32_t>(height);
}

// The window side of the dialog, as the main window does it: a device list, the open
// camera with its sizes, the busy flags, and the callbacks into an open dialog.
class FakeSettingHost final : public ISettingDialogHost
{
public:
    struct Camera
    {
        std::string path;
        std::string name;
        std::vector<uint32_t> sizes;
        uint32_t ownSize; // what the camera delivers when asked for 0 x 0
    };

    std::vector<Camera> cameras;
    std::string openPath;
    bool photoPending = false;
    bool timedSeries = false;
    bool recording = false;

    std::vector<std::tuple<int, int, int>> openCalls;
    int propertiesShown = 0;
    std::optional<bool> visibleDuringProperties;
    CSettingDlg *dialog = nullptr;
    int registrations = 0;
    CSettingParams *settings = nullptr; // where a camera's delivered size is stored

    std::vector<SettingDevice> SettingDevices() const override;
    const std::string &OpenDevicePath() const override { return openPath; }
    std::vector<uint32_t> SettingResolutions() const override;
    bool OpenCameraAt(int index, int width, int height) override;
    void ShowDeviceProperties() override;
    bool IsPhotoPending() const override { return photoPending; }
    bool IsTimedSeries() const override { return timedSeries; }
    bool IsRecording() const override { return recording; }
    void SetOpenSettingDialog(CSettingDlg *openDialog) override
    {
        dialog = openDialog;
        ++registrations;
    }

    // Plugging: a camera joins the list and the open dialog refills its device list.
    void plug(const Camera &camera);
};

class SettingDlgTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes config.ini with the given [usingsetting] lines and loads it.
    void loadConfig(const std::string &usingLines);
    // The value of a key in a shipped language file ("English.lproj").
    static std::string fileText(const std::string &folder, const std::string &key);

    template <typename T> T *control(CSettingDlg &dialog, int id)
    {
        T *widget = dynamic_cast<T *>(dialog.Control(id));
        EXPECT_NE(widget, nullptr) << "control " << id;
        return widget;
    }
    void setText(CSettingDlg &dialog, int id, const QString &text);
    QString textOf(CSettingDlg &dialog, int id);
    void clickRadio(CSettingDlg &dialog, int id);
    std::string documents() const { return m_home.path() + "/Documents"; }
    // The language files as the build lays them next to the programs (__FILE__ may be a
    // path relative to the build folder, which ctest does not run in); empty when unknown.
    static std::string programFolder()
    {
        const char *runtime = std::getenv("VARNOLET_RUNTIME_DIR");
        return runtime ? std::string(runtime) + "/" : std::string();
    }

    varnolet::test::TempFolder m_home;
    AppServices m_services{varnolet::SystemPaths(
        {.configHome = m_home.file("home"), .documents = documents(), .program = programFolder()})};
    std::string m_configPath;
    varnolet::MessageRecorder m_messages;
    FakeSettingHost m_host;
    std::optional<std::string> m_savedLanguage;
};

inline std::vector<SettingDevice> FakeSettingHost::SettingDevices() const
{
    std::vector<SettingDevice> devices;
    for (const Camera &camera : cameras)
        devices.push_back({camera.path, camera.name});
    return devices;
}

inline std::vector<uint32_t> FakeSettingHost::SettingResolutions() const
{
    for (const Camera &camera : cameras) {
        if (!openPath.empty() && camera.path == openPath)
            return camera.sizes;
    }
    return {};
}

inline bool FakeSettingHost::OpenCameraAt(int index, int width, int height)
{
    openCalls.emplace_back(index, width, height);
    if (index < 0 || index >= static_cast<int>(cameras.size()))
        return false;
    const Camera &camera = cameras[static_cast<size_t>(index)];
    openPath = camera.path;
    // Like the capture engine: the list is handed over while the camera opens, before the
    // delivered size is stored.
    if (dialog)
        dialog->RefillResolutionList();
    const uint32_t delivered =
        width != 0 && height != 0 ? SettingSizeKey(width, height) : camera.ownSize;
    settings->SetUsingCaptureSize(static_cast<int>(delivered >> 16),
                                  static_cast<int>(delivered & 0xFFFF));
    return true;
}

inline void FakeSettingHost::ShowDeviceProperties()
{
    ++propertiesShown;
    if (dialog)
        visibleDuringProperties = dialog->isVisible();
}

inline void FakeSettingHost::plug(const Camera &camera)
{
    cameras.push_back(camera);
    if (dialog)
        dialog->RefillDeviceList();
}

// [timedshotssetting]: the hour allows fewer shots than the minute, so a value can be
// valid for one unit and not for the other.
inline const char *const kSettingTimedShotLimits = R"([timedshotssetting]
shots_unittype=0
times_unittype=0
minshots_perminute_taking=1
maxshots_perminute_taking=300
defaultshots_perminute_taking=6
minshots_perhour_taking=1
maxshots_perhour_taking=60
defaultshots_perhour_taking=30
minshots_perDay_taking=1
maxshots_perDay_taking=86400
defaultshots_perDay_taking=24
mintimes_minute_taking=1
maxtimes_minute_taking=1440
defaulttimes_minute_taking=60
mintimes_hour_taking=1
maxtimes_hour_taking=720
defaulttimes_hour_taking=24
mintimes_Day_taking=1
maxtimes_Day_taking=365
defaulttimes_Day_taking=7
)";

inline void SettingDlgTest::SetUp()
{
    ASSERT_FALSE(programFolder().empty()) << "VARNOLET_RUNTIME_DIR is not set";
    m_home.makeFolder("Documents");
    if (const char *language = std::getenv("LANGUAGE"))
        m_savedLanguage = language;
    setenv("LANGUAGE", "en_GB", 1);
    loadConfig("resourcespath=default\nautocreatingfolder=0\nmovieresolution=1\nmoviesizemax=512\n"
               "language=0\ntimetype_takingshots_pretime=0\nshots_pertime=10\n"
               "timetype_times_taking=1\ntimes_takingtimedshots=2\n");
    m_host.cameras = {
        {"/dev/v4l/by-path/usb-1",
         "Scope A",
         {SettingSizeKey(320, 240), SettingSizeKey(640, 480), SettingSizeKey(1280, 720)},
         SettingSizeKey(640, 480)},
        {"/dev/v4l/by-path/usb-2",
         "Scope B",
         {SettingSizeKey(800, 600), SettingSizeKey(1600, 1200)},
         SettingSizeKey(1600, 1200)}};
    m_host.openPath = m_host.cameras[0].path;
    m_host.settings = &m_services.Settings();
}

inline void SettingDlgTest::TearDown()
{
    if (m_savedLanguage)
        setenv("LANGUAGE", m_savedLanguage->c_str(), 1);
    else
        unsetenv("LANGUAGE");
}

inline void SettingDlgTest::loadConfig(const std::string &usingLines)
{
    m_configPath = m_home.write(
        "config/config.ini",
        "; Varnolet test configuration\n[oem]\ncompanyname=Hollenby Industries Ltd\n\n" +
            std::string(kSettingTimedShotLimits) +
            "\n[defaultsetting]\nresourcespath=default\nautocreatingfolder=0\n"
            "movieresolution=1\nmoviesizemax=1024\nlanguage=-1\n\n"
            "[usingsetting]\n" +
            usingLines + "extra_key=kept\n\n[later]\nnote=also kept\n");
    m_services.Settings().LoadSettingsFrom(m_configPath);
}

inline std::string SettingDlgTest::fileText(const std::string &folder, const std::string &key)
{
    const std::string content =
        varnolet::test::readFile(programFolder() + "Resource/" + folder + "/Localizable.strings");
    const std::string quoted = "\"" + key + "\"";
    const size_t at = content.find(quoted);
    if (at == std::string::npos)
        return {};
    const size_t open = content.find('"', content.find('=', at)) + 1;
    std::string value = content.substr(open, content.find('"', open) - open);
    for (char &c : value) {
        if (c == '@')
            c = 's';
    }
    return value;
}

inline void SettingDlgTest::setText(CSettingDlg &dialog, int id, const QString &text)
{
    if (QLineEdit *edit = control<QLineEdit>(dialog, id))
        edit->setText(text);
}

inline QString SettingDlgTest::textOf(CSettingDlg &dialog, int id)
{
    QLineEdit *edit = control<QLineEdit>(dialog, id);
    return edit ? edit->text() : QString();
}

inline void SettingDlgTest::clickRadio(CSettingDlg &dialog, int id)
{
    if (QAbstractButton *radio = control<QAbstractButton>(dialog, id))
        radio->click();
}
