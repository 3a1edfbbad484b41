#include "CCaptureVideoFakes.h"

#include "win/common/AppServices.h"

#include "tests/support/RecordingMessagePresenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace varnolet;

namespace {

class CCaptureVideoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The language table loads (and reports a missing file) once, before the tests look.
        services.GetLanguageString("ui_alert_no_camera", "", messages.box());
        messages->clear();
        enumerator = std::make_shared<FakeEnumerator>();
        capture = std::make_unique<CCaptureVideo>(services, messages.box(), enumerator);
        capture->SetFrameSinks(&preview, &still);
    }
    // The engine goes first: it still holds the window and the sinks.
    void TearDown() override { capture.reset(); }

    int open(int index, int width, int height, CaptureSize *out = nullptr)
    {
        CaptureSize size{width, height};
        const int result = capture->OpenDevice(index, &window, size);
        if (out)
            *out = size;
        return result;
    }

    std::shared_ptr<FakeEnumerator> enumerator;
    MessageRecorder messages; // the engine's message box
    AppServices services{SystemPaths::fromEnvironment()};
    std::unique_ptr<CCaptureVideo> capture;
    RecordingSink preview;
    RecordingSink still;
    FakeVideoWindow window;
};

} // namespace

TEST_F(CCaptureVideoTest, DeviceListIsOrderedByPathWithEachPathOnce)
{
    EXPECT_EQ(capture->EnumerateDevices(), -1); // no camera at all

    auto unnamed = FakeEnumerator::camera("/dev/v4l/by-path/c", "", {{640, 480}});
    enumerator->entries = {FakeEnumerator::camera("/dev/v4l/by-path/b", "Second", {{640, 480}}),
                           FakeEnumerator::camera("/dev/v4l/by-path/a", "First", {{640, 480}}),
                           FakeEnumerator::camera("/dev/v4l/by-path/b", "Again", {{640, 480}}),
                           unnamed};
    EXPECT_EQ(capture->EnumerateDevices(), 2);
    ASSERT_EQ(capture->DeviceList().size(), 2u);
    EXPECT_EQ(capture->DeviceList().begin()->second, "First");
    EXPECT_EQ(capture->DeviceList().at("/dev/v4l/by-path/b"), "Second"); // the first one stays
    EXPECT_EQ(capture->DevicePathAt(0), "/dev/v4l/by-path/a");
    EXPECT_EQ(capture->DevicePathAt(2), "");
    EXPECT_EQ(capture->DevicePathAt(-1), "");
    EXPECT_EQ(capture->IndexOfDevicePath("/dev/v4l/by-path/b"), 1);
    EXPECT_EQ(capture->IndexOfDevicePath("/dev/v4l/by-path/c"), -1);

    // Index 0 opens the camera with the smaller path, not the first one enumerated.
    EXPECT_EQ(open(0, 0, 0), 0);
    EXPECT_EQ(capture->Device()->identity().friendlyName, "First");
}

TEST_F(CCaptureVideoTest, ResolutionListHasEachSizeOnceSortedByKey)
{
    enumerator->entries = {FakeEnumerator::camera(
        "/dev/cam", "Cam", {{1280, 720}, {640, 480}, {1280, 720}, {640, 480}})};
    capture->EnumerateDevices();
    std::vector<uint32_t> hooked;
    capture->SetResolutionListHook([&](const std::vector<uint32_t> &list) { hooked = list; });
    CaptureSize size;
    ASSERT_EQ(open(0, 640, 480, &size), 0);
    const std::vector<uint32_t> expected = {(640u << 16) | 480u, (1280u << 16) | 720u};
    EXPECT_EQ(capture->ResolutionList(), expected);
    EXPECT_EQ(hooked, expected);
    EXPECT_EQ(CCaptureVideo::ResolutionKey(640, 480), 0x028001E0u);
}

TEST_F(CCaptureVideoTest, RequestAboveTheLargestBecomesTheLargest)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/cam", "Cam", {{640, 480}, {1280, 720}})};
    capture->EnumerateDevices();
    CaptureSize size;
    ASSERT_EQ(open(0, 1920, 1080, &size), 0);
    ASSERT_EQ(enumerator->last->setFormatCalls.size(), 1u);
    EXPECT_EQ(enumerator->last->setFormatCalls[0], std::make_pair(1280, 720));
    EXPECT_EQ(size.width, 1280);
    EXPECT_EQ(size.height, 720);
    EXPECT_EQ(preview.largestWidth, 1280);
    EXPECT_EQ(preview.largestHeight, 720);
    EXPECT_EQ(preview.width, 1280); // the delivered size reached the sink
    EXPECT_EQ(preview.height, 720);
}

TEST_F(CCaptureVideoTest, RequestInsideTheLargestIsSetAsAsked)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/cam", "Cam", {{640, 480}, {1280, 1024}})};
    capture->EnumerateDevices();
    CaptureSize size;
    ASSERT_EQ(open(0, 800, 600, &size), 0);
    ASSERT_EQ(enumerator->last->setFormatCalls.size(), 1u);
    EXPECT_EQ(enumerator->last->setFormatCalls[0], std::make_pair(800, 600));
    // The delivered size is what the camera reports (this fake takes any size).
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 600);
}

TEST_F(CCaptureVideoTest, RunningLargestNeedsBothDimensions)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/cam", "Cam", {{1600, 900}, {1280, 1024}})};
    capture->EnumerateDevices();
    CaptureSize size;
    ASSERT_EQ(open(0, 1280, 1024, &size), 0);
    EXPECT_EQ(preview.largestWidth, 1600);
    EXPECT_EQ(preview.largestHeight, 900);
    ASSERT_EQ(enumerator->last->setFormatCalls.size(), 1u);
    EXPECT_EQ(enumerator->last->setFormatCalls[0], std::make_pair(1600, 900));
    EXPECT_EQ(size.width, 1600);
    EXPECT_EQ(size.height, 900);
}

TEST_F(CCaptureVideoTest, DefaultSizeKeepsTheCamerasFormatButListsItsSizes)
{
    enumerator->entries = {
        FakeEnumerator::camera("/dev/cam", "Cam", {{800, 600}, {1600, 1200}, {2048, 1536}})};
    capture->EnumerateDevices();
    CaptureSize size;
    ASSERT_EQ(open(0, 0, 0, &size), 0);
    EXPECT_TRUE(enumerator->last->setFormatCalls.empty());
    EXPECT_EQ(size.width, 800); // the camera's current format
    EXPECT_EQ(size.height, 600);
    EXPECT_EQ(capture->ResolutionList().size(), 3u);
    EXPECT_EQ(preview.largestWidth, 2048);
}

TEST_F(CCaptureVideoTest, CameraWithoutUsableCapabilitiesKeepsItsFormat)
{
    auto entry = FakeEnumerator::camera("/dev/cam", "Cam", {{640, 480}});
    entry.formats.push_back({V4L2_PIX_FMT_YUYV, 0, 0, 0.0}); // not usable
    entry.formats.erase(entry.formats.begin());
    enumerator->entries = {entry};
    capture->EnumerateDevices();
    CaptureSize size;
    // The stream connects only with a real size: the fake's current format is 0 x 0.
    EXPECT_LT(open(0, 1280, 720, &size), 0);
    EXPECT_TRUE(enumerator->last->setFormatCalls.empty());
    EXPECT_TRUE(capture->ResolutionList().empty());
    EXPECT_EQ(preview.largestWidth, 1600); // untouched
    EXPECT_EQ(messages->count(), 1u);
}

TEST_F(CCaptureVideoTest, FramesReachThePreviewSinkAndThePicture)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/cam", "Cam", {{64, 48}})};
    capture->EnumerateDevices();
    ASSERT_EQ(open(0, 64, 48), 0);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.position, (std::vector<int>{0, 0, 400, 300}));
    enumerator->last->deliver(7);
    EXPECT_EQ(preview.frames, 1);
    EXPECT_EQ(preview.lastLength, 64 * 48 * 3);
    EXPECT_EQ(preview.last[100], 7);
    EXPECT_DOUBLE_EQ(preview.lastTime, 0.5);
    EXPECT_EQ(window.presented, 1);
    EXPECT_EQ(still.frames, 0);

    window.clientWidth = 1000;
    capture->FitVideoWindow();
    EXPECT_EQ(window.position, (std::vector<int>{0, 0, 1000, 300}));
    capture->CloseDevice();
    EXPECT_FALSE(window.visible);
    window.clientWidth = 10;
    capture->FitVideoWindow(); // nothing open: nothing moves
    EXPECT_EQ(window.position, (std::vector<int>{0, 0, 1000, 300}));
    capture->CloseDevice(); // twice is fine
}

TEST_F(CCaptureVideoTest, CameraWithoutStillOutputHasNoStillPath)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/cam", "Cam", {{640, 480}, {1280, 720}})};
    capture->EnumerateDevices();
    ASSERT_EQ(open(0, 640, 480), 0);
    EXPECT_FALSE(capture->HasStillOutput());
    EXPECT_EQ(capture->FilterNames(), (std::vector<std::string>{"Capture Filter", "Grabber"}));
    EXPECT_FALSE(enumerator->last->hasButtonListener());
    EXPECT_EQ(still.width, 0);
    EXPECT_EQ(capture->ResolutionList().size(), 2u);
}

TEST_F(CCaptureVideoTest, ButtonReleaseSendsTheNextFrameToTheStillSink)
{
    enumerator->entries = {
        FakeEnumerator::camera("/dev/cam", "Cam", {{320, 240}, {640, 480}}, true)};
    capture->EnumerateDevices();
    CaptureSize size;
    ASSERT_EQ(open(0, 640, 480, &size), 0);
    EXPECT_TRUE(capture->HasStillOutput());
    EXPECT_EQ(capture->FilterNames(),
              (std::vector<std::string>{"Capture Filter", "Grabber", "SampleGrab", "NullRender"}));
    EXPECT_EQ(still.width, 640);
    EXPECT_EQ(still.height, 480);

    FakeCamera *camera = enumerator->last;
    camera->deliver(1);
    camera->button(true);
    camera->deliver(2); // pressed, not yet released
    EXPECT_EQ(still.frames, 0);
    camera->button(false);
    camera->deliver(3);
    camera->deliver(4);
    EXPECT_EQ(still.frames, 1);
    EXPECT_EQ(still.last[0], 3);
    EXPECT_EQ(preview.frames, 4);

    capture->CloseDevice();
    EXPECT_FALSE(capture->HasStillOutput());
}

TEST_F(CCaptureVideoTest, OnlyTheLivePictureGetsReducedFramesPhotosAndStillsGetWholeOnes)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/cam", "Cam", {{1600, 1200}}, true)};
    capture->EnumerateDevices();
    ASSERT_EQ(open(0, 1600, 1200), 0);
    FakeCamera *camera = enumerator->last;

    // Only previewing in a 400 x 300 picture: a reduced frame, for the picture alone.
    preview.wantsFullFrames = false;
    camera->deliver(1);
    EXPECT_EQ(window.presentedWidth, 800);
    EXPECT_EQ(preview.frames, 0);

    // A photo, a timed shot or a movie asks: whole frames to the sink and to the picture.
    preview.wantsFullFrames = true;
    camera->deliver(2);
    EXPECT_EQ(window.presentedWidth, 1600);
    EXPECT_EQ(preview.frames, 1);
    EXPECT_EQ(preview.lastLength, 1600 * 1200 * 3);

    // A snapshot-button release gets a whole frame for the still sink too.
    preview.wantsFullFrames = false;
    camera->button(true);
    camera->button(false);
    camera->deliver(3);
    EXPECT_EQ(still.frames, 1);
    EXPECT_EQ(still.lastLength, 1600 * 1200 * 3);
    camera->deliver(4);
    EXPECT_EQ(window.presentedWidth, 800);
    EXPECT_EQ(still.frames, 1);
    EXPECT_EQ(preview.frames, 2); // the still's whole frame, not the reduced one after it
}

TEST_F(CCaptureVideoTest, OpeningAnotherCameraTearsTheFirstDownFirst)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/b", "B", {{640, 480}}),
                           FakeEnumerator::camera("/dev/a", "A", {{640, 480}})};
    capture->EnumerateDevices();
    ASSERT_EQ(open(0, 0, 0), 0);
    ASSERT_EQ(open(1, 0, 0), 0);
    EXPECT_EQ(enumerator->log,
              (std::vector<std::string>{"open /dev/a", "start /dev/a", "stop /dev/a", "open /dev/b",
                                        "start /dev/b"}));
}

TEST_F(CCaptureVideoTest, MissingDevicesOpenNothing)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/a", "A", {{640, 480}})};
    capture->EnumerateDevices();
    EXPECT_EQ(open(-1, 640, 480), 1);
    EXPECT_EQ(open(1, 640, 480), 1);
    EXPECT_FALSE(capture->IsDeviceOpen());
    // Gone between the listing and the open.
    enumerator->entries.clear();
    EXPECT_EQ(open(0, 640, 480), 1);
    EXPECT_FALSE(capture->IsDeviceOpen());
    EXPECT_TRUE(enumerator->log.empty());
}

TEST_F(CCaptureVideoTest, BusyCameraGivesTheCannotPreviewMessage)
{
    auto entry = FakeEnumerator::camera("/dev/a", "A", {{640, 480}});
    entry.startError = -EBUSY;
    enumerator->entries = {entry};
    capture->EnumerateDevices();
    EXPECT_EQ(open(0, 640, 480), -EBUSY);
    ASSERT_EQ(messages->count(), 1u);
    const MessageRequest box = messages->messages()[0];
    EXPECT_EQ(
        box.text,
        "Couldn't preview this device,because this device may been using by other applicaiton");
    EXPECT_EQ(box.caption, "Varnolet");
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    capture->CloseDevice();
    EXPECT_FALSE(capture->IsDeviceOpen());
}

TEST_F(CCaptureVideoTest, CameraThatCannotBeOpenedIsReported)
{
    auto entry = FakeEnumerator::camera("/dev/a", "A", {{640, 480}});
    entry.openError = -EACCES;
    enumerator->entries = {entry};
    capture->EnumerateDevices();
    EXPECT_EQ(open(0, 640, 480), -EACCES);
    ASSERT_EQ(messages->count(), 1u);
    EXPECT_EQ(messages->texts()[0], "Permission denied");
}

TEST_F(CCaptureVideoTest, PropertiesWithoutCameraGiveTheNoCameraMessage)
{
    int opened = 0;
    capture->SetDevicePropertiesHook([&](CameraSource &) { ++opened; });
    capture->ShowDeviceProperties();
    ASSERT_EQ(messages->count(), 1u);
    EXPECT_EQ(messages->texts()[0], "没有监听到摄像头硬件");

    // A failed open leaves a graph without a device: still no camera, no crash.
    enumerator->entries = {FakeEnumerator::camera("/dev/a", "A", {{640, 480}})};
    capture->EnumerateDevices();
    enumerator->entries.clear();
    EXPECT_EQ(open(0, 0, 0), 1);
    capture->ShowDeviceProperties();
    EXPECT_EQ(messages->count(), 2u);

    enumerator->entries = {FakeEnumerator::camera("/dev/a", "A", {{640, 480}})};
    ASSERT_EQ(open(0, 0, 0), 0);
    capture->ShowDeviceProperties();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(messages->count(), 2u);
}

TEST_F(CCaptureVideoTest, StreamEndReachesTheHook)
{
    enumerator->entries = {FakeEnumerator::camera("/dev/a", "A", {{640, 480}})};
    capture->EnumerateDevices();
    int ended = 0;
    capture->SetStreamEndedHook([&](int error) { ended = error; });
    ASSERT_EQ(open(0, 0, 0), 0);
    enumerator->last->end(-ENODEV);
    EXPECT_EQ(ended, -ENODEV);
}

TEST(CCaptureVideoLifetime, AnEngineWithoutAnEnumeratorIsNotMade)
{
    const AppServices services(SystemPaths::fromEnvironment());
    EXPECT_THROW(CCaptureVideo(services, MessageRecorder().box(), nullptr), std::invalid_argument);
}

TEST(CCaptureVideoLifetime, DestructionStopsAndJoinsTheSavingThread)
{
    std::atomic<bool> run{true};
    std::atomic<bool> finished{false};
    {
        const AppServices services(SystemPaths::fromEnvironment());
        CCaptureVideo capture(services, MessageRecorder().box(),
                              std::make_shared<FakeEnumerator>());
        capture.AdoptSavingThread(std::thread([&] {
                                      while (run)
                                          std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                      finished = true;
                                  }),
                                  [&] { run = false; });
    }
    EXPECT_TRUE(finished);
}

TEST_F(CCaptureVideoTest, AnUnreadableSnapshotButtonIsToldOnceAndLeavesNoStillPath)
{
    auto entry = FakeEnumerator::camera("/dev/cam", "Cam", {{320, 240}, {640, 480}}, true);
    entry.buttonProblem = "/dev/input/event7: Permission denied";
    enumerator->entries = {entry};
    capture->EnumerateDevices();
    ASSERT_EQ(open(0, 640, 480), 0) << "the picture works without the button";
    EXPECT_FALSE(capture->HasStillOutput()) << "a button that cannot be heard is no still output";
    EXPECT_EQ(still.width, 0);
    ASSERT_EQ(messages->count(), 1u);
    const std::string text = messages->texts()[0];
    EXPECT_NE(text.find("/dev/input/event7: Permission denied"), std::string::npos) << text;
    EXPECT_NE(text.find("70-varnolet-camera-button.rules"), std::string::npos)
        << "says what to do: " << text;

    // Reopened at another size (as every size change does): not told again.
    ASSERT_EQ(open(0, 320, 240), 0);
    EXPECT_EQ(messages->count(), 1u);
}
