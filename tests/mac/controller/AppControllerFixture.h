#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include <QDir>
#include <QDirIterator>

#include "mac/controller/AppController.h"
#include "mac/controller/MovieCapturer.h"
#include "mac/controller/ResourceTree.h"
#include "mac/core/UserDefaults.h"
#include "platform/camera/VirtualCameraHub.h"
#include "tests/support/FakeClock.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/mac/controller/MacTestFrames.h"
#include "tests/support/ProgramFolderPaths.h"
#include "tests/support/TestSupport.h"

namespace mactest {

// Counts the cameras opened through it.
class CountingEnumerator final : public VirtualOnlyEnumerator
{
public:
    using VirtualOnlyEnumerator::VirtualOnlyEnumerator;

    std::unique_ptr<varnolet::CameraSource> open(const std::string &devicePath, int &error) override
    {
        ++opens;
        return VirtualOnlyEnumerator::open(devicePath, error);
    }
    std::atomic<int> opens{0};
};

// The resource tree as the controller sees it: remembers what it was told.
class FakeResourceTree final : public ResourceTree
{
public:
    void showResourcesTree(const std::string &root) override
    {
        std::lock_guard lock(m_lock);
        m_roots.push_back(root);
    }
    void addResource(const std::string &path) override
    {
        std::lock_guard lock(m_lock);
        m_added.push_back(path);
    }
    std::vector<std::string> added() const
    {
        std::lock_guard lock(m_lock);
        return m_added;
    }
    std::vector<std::string> roots() const
    {
        std::lock_guard lock(m_lock);
        return m_roots;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_added;
    std::vector<std::string> m_roots;
};

// The camera control: records the calls and serves a resolution list.
class FakeCameraControl final : public CameraControl
{
public:
    void releaseControl() override { calls.push_back("releaseControl"); }
    void clearDefaultValue() override { calls.push_back("clearDefaultValue"); }
    bool initWithLocationID(uint32_t location) override
    {
        calls.push_back("initWithLocationID " + std::to_string(location));
        return true;
    }
    void getDefaultValue() override { calls.push_back("getDefaultValue"); }
    std::vector<CaptureResolution> getPixelsArray() const override { return pixels; }
    void setAppController(HardwareTriggerListener *controller) override
    {
        listener = controller;
        calls.push_back("setAppController");
    }
    void initReadingInterruptThread() override { calls.push_back("initReadingInterruptThread"); }
    void setPreValue() override {}
    void setDefaultValue() override {}
    void changedLanuage(const AppControllerSettings &, int) override {}

    std::vector<std::string> calls;
    std::vector<CaptureResolution> pixels{{640, 480}, {1280, 720}, {1600, 1200}};
    HardwareTriggerListener *listener = nullptr;
};

// A movie capturer whose reported size a test can push up, to reach a size limit fast.
class SizedMovieCapturer final : public MovieCapturer
{
public:
    SizedMovieCapturer(const varnolet::Clock &clock, std::shared_ptr<std::atomic<uint64_t>> extra)
        : MovieCapturer(clock)
        , m_extra(std::move(extra))
    {
    }
    uint64_t savingFileSize() override { return MovieCapturer::savingFileSize() + *m_extra; }

private:
    std::shared_ptr<std::atomic<uint64_t>> m_extra;
};

inline std::vector<std::string> filesBelow(const std::string &folder, const QString &pattern)
{
    std::vector<std::string> files;
    QDirIterator it(QString::fromStdString(folder), {pattern}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.push_back(it.next().toStdString());
    std::sort(files.begin(), files.end());
    return files;
}

class AppControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The system's temporary folder is one the test can look into.
        if (const char *previous = std::getenv("TMPDIR"))
            m_previousTemp = previous;
        m_folder.makeFolder("tmp");
        setenv("TMPDIR", temporaryFolder().c_str(), 1);
    }
    void TearDown() override
    {
        m_controller.reset();
        if (m_previousTemp.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", m_previousTemp.c_str(), 1);
    }

    std::string temporaryFolder() const { return m_folder.file("tmp"); }
    // The folders the controller is given.
    varnolet::SystemPaths paths() const
    {
        return varnolet::test::withProgramFolder(m_programFolder);
    }
    QStringList temporaryFiles() const
    {
        return QDir(QString::fromStdString(temporaryFolder()))
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    std::string plug(const std::string &name, uint32_t usbLocation = 0, bool busy = false)
    {
        const std::string path = m_hub->plug({name, busy, true});
        if (usbLocation != 0)
            m_enumerator->usbIdentities[path] = usbLocation;
        return path;
    }

    AppController &make(bool launch = true)
    {
        AppController::Services services;
        services.virtualCameras = m_hub;
        services.cameraEnumerator = m_cameras ? m_cameras : m_enumerator;
        services.clock = m_clock;
        services.messagePresenter = m_messages;
        services.settingsStore = &m_store;
        services.paths = std::make_shared<const varnolet::SystemPaths>(paths());
        services.configPlistPath = m_folder.file("no-config.plist");
        services.photoWriter = nullptr;
        services.cameraControl = m_control;
        services.resourceTree = &m_tree;
        services.watchDeviceNotifications = m_watchDevices;
        std::shared_ptr<varnolet::FakeClock> clock = m_clock;
        std::shared_ptr<std::atomic<uint64_t>> extra = m_extraMovieBytes;
        services.makeMovieCapturer = [clock, extra] {
            return std::make_unique<SizedMovieCapturer>(*clock, extra);
        };
        m_controller = std::make_unique<AppController>(std::move(services));
        if (!m_locationFromStore) {
            SettingParams &settings = m_controller->usingSettingParam();
            settings.setResourcesSavingLocation(m_folder.path());
            m_controller->savingLocationManage().createLocationsOfAllResources(settings);
        }
        m_controller->awakeFromNib();
        if (launch)
            m_controller->applicationDidFinishLaunching();
        return *m_controller;
    }

    // Waits (running the event loop) until the preview has delivered n more frames.
    bool waitFrames(int n)
    {
        int seen = 0;
        PixelBufferRef last = m_controller->latestPreviewFrame();
        return varnolet::test::processEventsUntil([&] {
            const PixelBufferRef now = m_controller->latestPreviewFrame();
            if (now && now != last) {
                ++seen;
                last = now;
            }
            return seen >= n;
        });
    }

    std::vector<std::string> photos() const { return filesBelow(m_folder.path(), "*.jpg"); }
    std::vector<std::string> movies() const { return filesBelow(m_folder.path(), "*.mov"); }
    std::string root() const { return m_folder.path() + "/Varnolet"; }

    varnolet::test::TempFolder m_folder;
    std::string m_previousTemp;
    // The program folder the controller is given (with its trailing "/"); empty: the
    // running test's own.
    std::string m_programFolder;
    UserDefaults m_store{m_folder.file("preferences.plist")};
    std::shared_ptr<varnolet::FakeClock> m_clock =
        std::make_shared<varnolet::FakeClock>(2024, 3, 5, 10, 0, 0);
    // The test's virtual cameras; they show the controller's clock, as in the program.
    std::shared_ptr<varnolet::VirtualCameraHub> m_hub =
        std::make_shared<varnolet::VirtualCameraHub>(m_clock);
    std::shared_ptr<CountingEnumerator> m_enumerator = std::make_shared<CountingEnumerator>(*m_hub);
    std::shared_ptr<varnolet::CameraEnumerator> m_cameras; // set: used in place of the above
    std::shared_ptr<varnolet::RecordingMessagePresenter> m_messages =
        std::make_shared<varnolet::RecordingMessagePresenter>();
    std::shared_ptr<FakeCameraControl> m_control = std::make_shared<FakeCameraControl>();
    std::shared_ptr<std::atomic<uint64_t>> m_extraMovieBytes =
        std::make_shared<std::atomic<uint64_t>>(0);
    FakeResourceTree m_tree;
    bool m_watchDevices = false;
    bool m_locationFromStore = false; // true: the saving location of the start-up's store
    std::unique_ptr<AppController> m_controller;
};

} // namespace mactest
