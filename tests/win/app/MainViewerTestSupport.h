#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include "win/app/CMainViewerDlg.h"
#include "win/capture/AviMovieWriter.h"
#include "win/common/AppServices.h"

namespace apptest {

// Lists only the hub's virtual cameras, so a camera on the test machine is never opened.
class VirtualOnlyEnumerator final : public varnolet::CameraEnumerator
{
public:
    explicit VirtualOnlyEnumerator(varnolet::VirtualCameraHub &hub)
        : m_hub(hub)
    {
    }

    std::vector<varnolet::CameraIdentity> list() override { return m_hub.list(); }
    std::unique_ptr<varnolet::CameraSource> open(const std::string &devicePath, int &error) override
    {
        return m_hub.open(devicePath, error);
    }

private:
    varnolet::VirtualCameraHub &m_hub;
};

// A camera that offers 320 x 240 and 640 x 480 (the virtual camera's smallest size is
// 640 x 480) and streams grey frames at about 30 per second at the size set last. Setting
// failStream makes the stream end by itself with EIO, the camera staying listed.
class TwoSizeCamera final : public varnolet::CameraSource
{
public:
    static constexpr const char *kPath = "test:two-size";
    inline static std::atomic<bool> failStream{false};

    ~TwoSizeCamera() override { stop(); }
    varnolet::CameraIdentity identity() const override
    {
        varnolet::CameraIdentity id;
        id.devicePath = kPath;
        id.friendlyName = "Two Size Camera";
        return id;
    }
    std::vector<varnolet::CameraFormat> formats() const override
    {
        return {{0x33524742u /* BGR3 */, 320, 240, 30.0}, {0x33524742u, 640, 480, 30.0}};
    }
    varnolet::CameraFormat currentFormat() const override
    {
        return {0x33524742u, m_width, m_height, 30.0};
    }
    int setFormat(int width, int height) override
    {
        m_width = width <= 320 ? 320 : 640;
        m_height = height <= 240 && width <= 320 ? 240 : 480;
        if (m_width == 320 && m_height == 480)
            m_width = 640;
        return 0;
    }
    int start(FrameCallback onFrame, StreamEndCallback onEnd) override
    {
        stop();
        m_run = true;
        m_thread = std::thread([this, onFrame, onEnd] {
            std::vector<uint8_t> bytes(static_cast<size_t>(m_width) * m_height * 3, 0x80);
            uint64_t sequence = 0;
            while (m_run) {
                if (failStream.exchange(false)) {
                    if (onEnd)
                        onEnd(-EIO);
                    return;
                }
                varnolet::CameraFrame frame;
                frame.data = bytes.data();
                frame.length = bytes.size();
                frame.width = m_width;
                frame.height = m_height;
                frame.sequence = sequence++;
                onFrame(frame);
                std::this_thread::sleep_for(std::chrono::milliseconds(33));
            }
        });
        return 0;
    }
    void stop() override
    {
        m_run = false;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool isStreaming() const override { return m_thread.joinable(); }
    std::vector<varnolet::CameraControl> controls() const override { return {}; }
    int control(uint32_t, int32_t &) const override { return -EINVAL; }
    int setControl(uint32_t, int32_t) override { return -EINVAL; }
    bool hasSnapshotButton() const override { return false; }
    void setButtonCallback(ButtonCallback) override {}

private:
    int m_width = 640;
    int m_height = 480;
    std::atomic<bool> m_run{false};
    std::thread m_thread;
};

// Lists the two-size camera only, and counts how often it was opened.
class TwoSizeEnumerator final : public varnolet::CameraEnumerator
{
public:
    inline static std::atomic<int> opened{0};

    std::vector<varnolet::CameraIdentity> list() override { return {TwoSizeCamera().identity()}; }
    std::unique_ptr<varnolet::CameraSource> open(const std::string &devicePath, int &error) override
    {
        if (devicePath != TwoSizeCamera::kPath) {
            error = -ENODEV;
            return nullptr;
        }
        error = 0;
        ++opened;
        return std::make_unique<TwoSizeCamera>();
    }
};

// A saving location in a temporary folder, loaded as the user's settings, and the test's
// own virtual cameras; the settings are reset at the end. The windows it makes hear of its
// hub and must be gone before it.
class MainViewerFixture
{
public:
    // clock: the windows' clock and the virtual cameras' (the real one unless a test brings
    // another).
    // programFolder: where the shipped pictures and language files are (empty: the test
    // program's own folder).
    explicit MainViewerFixture(
        const std::string &extraUsingSettings = {},
        std::shared_ptr<const varnolet::Clock> clock = std::make_shared<varnolet::SystemClock>(),
        const std::string &programFolder = {})
        : m_services(varnolet::SystemPaths(
              {.configHome = m_config.file("home"), .program = programFolder}))
        , m_clock(std::move(clock))
        , m_hub(m_clock)
    {
        const std::string ini =
            "[usingsetting]\nresourcespath=" + m_saving.path() + "\n" + extraUsingSettings;
        m_services.Settings().LoadSettingsFrom(m_config.write("config.ini", ini));
        // Load the language table now: a missing language file reports itself once, and
        // that report belongs to no test.
        m_services.GetLanguageString("ui_view_btn_about", "About", m_messages.box());
        m_messages->clear();
    }

    // The test's virtual cameras.
    varnolet::VirtualCameraHub &hub() { return m_hub; }
    std::unique_ptr<CMainViewerDlg>
    makeWindow(std::shared_ptr<varnolet::CameraEnumerator> cameras = nullptr)
    {
        return std::make_unique<CMainViewerDlg>(
            m_clock, m_messages.box(), m_services, m_hub,
            cameras ? std::move(cameras) : std::make_shared<VirtualOnlyEnumerator>(m_hub));
    }
    // Shows the window and runs the event loop until it opened a camera (or the timeout).
    bool showAndWaitForCamera(CMainViewerDlg &window)
    {
        window.show();
        return varnolet::test::processEventsUntil([&] { return window.IsCameraPresent(); });
    }

    std::string savingLocation() const { return m_saving.path(); }
    std::string resourceRoot() const { return m_saving.path() + "/Varnolet"; }
    varnolet::RecordingMessagePresenter &messages() { return *m_messages; }
    // The message box the windows are made with (the recorder's).
    const varnolet::MessageBox &messageBox() const { return m_messages.box(); }
    // The folders, settings and texts the windows are made with.
    AppServices &services() { return m_services; }

private:
    varnolet::test::TempFolder m_config;
    AppServices m_services;
    varnolet::test::TempFolder m_saving;
    varnolet::MessageRecorder m_messages;
    std::shared_ptr<const varnolet::Clock> m_clock;
    varnolet::VirtualCameraHub m_hub;
};

// Files below a folder whose names end with the extension, sorted.
inline std::vector<std::string> filesIn(const std::string &folder, const std::string &extension)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().extension() == extension)
            found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Lets the recording run until its writer holds at least `frames` frames, however slowly
// the machine delivers them (a sanitizer build, a loaded machine). False when the
// recording ended or did not get there within the time-out.
inline bool recordAtLeast(int frames, std::chrono::milliseconds timeout = std::chrono::seconds(20))
{
    return varnolet::test::processEventsUntil(
        [&] {
            std::lock_guard<std::mutex> guard(MovieWriterLock());
            const AviMovieWriter *writer = OpenMovieWriter();
            return writer && writer->FramesWritten() >= frames;
        },
        timeout);
}

} // namespace apptest
