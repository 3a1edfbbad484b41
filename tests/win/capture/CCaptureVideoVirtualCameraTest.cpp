#include "tests/support/FakeClock.h"
#include "CCaptureVideoFakes.h"

#include "win/common/AppServices.h"

#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/TestPatternRenderer.h"
#include "platform/camera/VirtualCameraHub.h"
#include "tests/support/RecordingMessagePresenter.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace varnolet;
using namespace std::chrono_literals;

namespace {

class CCaptureVideoVirtualCameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        services.GetLanguageString("ui_alert_no_camera", "", messages.box());
        messages->clear();
        capture = std::make_unique<CCaptureVideo>(services, messages.box(),
                                                  std::make_shared<CameraEnumerator>(hub));
        capture->SetFrameSinks(&preview, &still);
    }
    void TearDown() override { capture.reset(); }

    // Opens the camera with that path at a size; the result of OpenDevice.
    int openPath(const std::string &path, CaptureSize &size)
    {
        capture->EnumerateDevices();
        const int index = capture->IndexOfDevicePath(path);
        EXPECT_GE(index, 0);
        return capture->OpenDevice(index, &window, size);
    }

    bool waitForFrames(RecordingSink &sink, int count, std::chrono::milliseconds timeout = 5000ms)
    {
        return test::processEventsUntil([&] { return sink.frameCount() >= count; }, timeout);
    }

    MessageRecorder messages; // the engine's message box
    AppServices services{SystemPaths::fromEnvironment()};
    VirtualCameraHub hub{std::make_shared<varnolet::FakeClock>(2024, 3, 5, 10, 0, 0)};
    std::unique_ptr<CCaptureVideo> capture;
    RecordingSink preview;
    RecordingSink still;
    FakeVideoWindow window;
};

} // namespace

TEST_F(CCaptureVideoVirtualCameraTest, FramesArriveAtThirtyPerSecondBottomUp)
{
    const std::string path = hub.plug();
    capture->EnumerateDevices();
    EXPECT_EQ(capture->DeviceList().at(path), "Varnolet Virtual Camera");

    CaptureSize size{1280, 720};
    ASSERT_EQ(openPath(path, size), 0);
    EXPECT_EQ(size.width, 1280);
    EXPECT_EQ(size.height, 720);
    EXPECT_EQ(preview.width, 1280);
    EXPECT_EQ(preview.largestWidth, 2048);
    EXPECT_EQ(preview.largestHeight, 1536);
    EXPECT_EQ(capture->ResolutionList().size(), 5u);
    EXPECT_TRUE(capture->HasStillOutput());

    ASSERT_TRUE(waitForFrames(preview, 1));
    const auto start = std::chrono::steady_clock::now();
    const int first = preview.frameCount();
    ASSERT_TRUE(waitForFrames(preview, first + 30));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = 30.0 / seconds;
    EXPECT_GT(rate, 24.0);
    EXPECT_LT(rate, 36.0);
    EXPECT_GT(window.presented, 0);

    capture->CloseDevice();
    std::lock_guard guard(preview.lock);
    ASSERT_EQ(preview.lastLength, 1280L * 720 * 3);
    // The picture's top-left marker is red; in bottom-up rows it sits in the last row.
    const size_t row = 1280 * 3;
    const uint8_t *topLeft = preview.last.data() + 719 * row + 2 * 3;
    EXPECT_EQ(std::memcmp(topLeft, TestPatternRenderer::kTopLeftMarker, 3), 0);
    const uint8_t *bottomLeft = preview.last.data() + 2 * row + 2 * 3;
    EXPECT_EQ(std::memcmp(bottomLeft, TestPatternRenderer::kBottomLeftMarker, 3), 0);
}

TEST_F(CCaptureVideoVirtualCameraTest, SizeChangeRebuildsTheStream)
{
    const std::string path = hub.plug();
    CaptureSize size{1600, 1200};
    ASSERT_EQ(openPath(path, size), 0);
    ASSERT_TRUE(waitForFrames(preview, 2));
    size = {640, 480};
    ASSERT_EQ(openPath(path, size), 0);
    EXPECT_EQ(preview.width, 640);
    const int before = preview.frameCount();
    ASSERT_TRUE(waitForFrames(preview, before + 2));
    std::lock_guard guard(preview.lock);
    EXPECT_EQ(preview.lastLength, 640L * 480 * 3);
}

TEST_F(CCaptureVideoVirtualCameraTest, UnplugWhileStreamingEndsItCleanly)
{
    const std::string path = hub.plug();
    std::atomic<int> ended{0};
    capture->SetStreamEndedHook([&](int error) { ended = error; });
    CaptureSize size{800, 600};
    ASSERT_EQ(openPath(path, size), 0);
    ASSERT_TRUE(waitForFrames(preview, 3));
    hub.unplug(path);
    EXPECT_TRUE(test::processEventsUntil([&] { return ended != 0; }, 2000ms));
    EXPECT_EQ(ended, -ENODEV);
    const int frames = preview.frameCount();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(preview.frameCount(), frames);
    capture->CloseDevice();
    EXPECT_FALSE(capture->IsDeviceOpen());
    EXPECT_EQ(capture->EnumerateDevices(), -1);
}

TEST_F(CCaptureVideoVirtualCameraTest, BusyCameraCannotBePreviewed)
{
    VirtualCameraOptions options;
    options.busy = true;
    const std::string path = hub.plug(options);
    CaptureSize size{640, 480};
    EXPECT_EQ(openPath(path, size), -EBUSY);
    ASSERT_EQ(messages->count(), 1u);
    EXPECT_EQ(
        messages->texts()[0],
        "Couldn't preview this device,because this device may been using by other applicaiton");
    EXPECT_EQ(preview.frameCount(), 0);
}

TEST_F(CCaptureVideoVirtualCameraTest, SnapshotButtonDeliversOneStillFrame)
{
    const std::string path = hub.plug();
    CaptureSize size{640, 480};
    ASSERT_EQ(openPath(path, size), 0);
    EXPECT_EQ(still.width, 640);
    ASSERT_TRUE(waitForFrames(preview, 1));
    EXPECT_EQ(still.frameCount(), 0);
    ASSERT_TRUE(hub.pressButton(path));
    ASSERT_TRUE(waitForFrames(still, 1));
    const int previewFrames = preview.frameCount();
    ASSERT_TRUE(waitForFrames(preview, previewFrames + 5));
    EXPECT_EQ(still.frameCount(), 1);
    std::lock_guard guard(still.lock);
    EXPECT_EQ(still.lastLength, 640L * 480 * 3);
}
