#include "tests/mac/controller/AppControllerFixture.h"

#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"

using namespace std::chrono_literals;
using Control = AppController::Control;
using mactest::AppControllerTest;

TEST_F(AppControllerTest, LaunchWithoutCameraWarnsOnceAndEveryJobWarnsTheSame)
{
    AppController &controller = make();
    ASSERT_EQ(m_messages->texts(), std::vector<std::string>{"Error,No Camera is Detected"});
    EXPECT_FALSE(controller.IsCaptureDevice());
    EXPECT_EQ(controller.locationID(), AppController::kNoCameraLocation);
    EXPECT_EQ(m_tree.roots(), std::vector<std::string>{root()});

    controller.takePhotos();
    controller.takePhotosByTimes();
    controller.takeVideoRecording();
    EXPECT_EQ(m_messages->count(), 4u);
    for (const std::string &text : m_messages->texts())
        EXPECT_EQ(text, "Error,No Camera is Detected");
    EXPECT_FALSE(controller.isDoRecordingOrTakingJob());
    EXPECT_TRUE(photos().empty());

    controller.doTimerByMainViewer();
    EXPECT_EQ(controller.promptText(), "Error,No Camera is Detected");
}

TEST_F(AppControllerTest, CameraHeldByAnotherProgramLeavesTheNoCameraStateWithItsOwnWarning)
{
    plug("Held", 0x01200000, true);
    ScopedLogCapture log;
    AppController &controller = make();
    EXPECT_FALSE(controller.IsCaptureDevice());
    EXPECT_TRUE(m_messages->texts().empty()); // a camera is listed: no launch warning
    const std::vector<std::string> lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "open video failure device busy"), lines.end());

    controller.takePhotos();
    EXPECT_EQ(m_messages->texts(), std::vector<std::string>{"摄像头被其他应用程序占用,不能预览"});
    EXPECT_TRUE(controller.doMouseMovedOverControl(Control::TakePhoto));
    EXPECT_EQ(controller.promptText(), "摄像头被其他应用程序占用,不能预览");
}

TEST_F(AppControllerTest, PreviewsTheLastCameraAndReconnectsTheCameraControlInOrder)
{
    plug("First", 0x01100000);
    plug("Second", 0x02100000);
    AppController &controller = make();
    EXPECT_TRUE(m_messages->texts().empty());
    ASSERT_TRUE(controller.IsCaptureDevice());
    EXPECT_EQ(controller.mCurrentPreviewDeviceIndex(), 1);
    EXPECT_EQ(controller.locationID(), 0x02100000u);
    EXPECT_EQ(controller.deviceListText(), "Second");
    EXPECT_EQ(controller.resolutionListText(), "640X480");
    EXPECT_EQ(controller.mCurrentCaptureResolution().getPixelFormatString(), "640X480");
    EXPECT_EQ(m_control->calls,
              (std::vector<std::string>{"releaseControl", "clearDefaultValue",
                                        "initWithLocationID " + std::to_string(0x02100000),
                                        "getDefaultValue", "setAppController",
                                        "initReadingInterruptThread"}));
    EXPECT_EQ(m_control->listener, &controller);
    EXPECT_EQ(controller.resolutionArray().size(), 3u);

    ASSERT_TRUE(waitFrames(2));
    const PixelBufferRef frame = controller.latestPreviewFrame();
    EXPECT_EQ(frame->width, 640);
    EXPECT_EQ(frame->height, 480);
    controller.doTimerByMainViewer();
    EXPECT_EQ(controller.promptText(), "系统正在以分辨率640X480进行预览");
    EXPECT_EQ(controller.previewRectInPane(QSizeF(800, 300)), QRectF(200, 0, 400, 300));
}

TEST_F(AppControllerTest, CameraWithoutUsbLocationUsesTheFallbackLocationAndItsOwnSizes)
{
    const std::string path = plug("Not on USB");
    m_enumerator->usbIdentities[path] = 0; // a camera the enumerator finds no USB device for
    AppController &controller = make();
    ASSERT_TRUE(controller.IsCaptureDevice());
    EXPECT_EQ(controller.locationID(), AppController::kUnknownLocation);
    EXPECT_EQ(m_control->calls.at(2), "initWithLocationID " + std::to_string(0x03200000));
}

TEST_F(AppControllerTest, AVirtualCameraIsControlledAtItsOwnLocation)
{
    plug("Virtual");
    AppController &controller = make();
    ASSERT_TRUE(controller.IsCaptureDevice());
    EXPECT_EQ(controller.locationID(), 0xFE100000u);
    EXPECT_EQ(m_control->calls.at(2), "initWithLocationID " + std::to_string(0xFE100000u));
}

TEST_F(AppControllerTest, ChoosingTheSameCameraChangesNothingAndTheOtherSwitchesAt640x480)
{
    plug("First", 0x01100000);
    plug("Second", 0x02100000);
    AppController &controller = make();
    ASSERT_EQ(controller.mCurrentPreviewDeviceIndex(), 1);
    const int opens = m_enumerator->opens;
    m_control->calls.clear();

    controller.deviceSelectionDidChange(1);
    controller.deviceSelectionDidChange(-1);
    EXPECT_EQ(m_enumerator->opens.load(), opens);
    EXPECT_TRUE(m_control->calls.empty());

    controller.resolutionSelectionDidChange(1); // 1280 x 720 first
    ASSERT_EQ(controller.mCurrentCaptureResolution().getPixelFormatString(), "1280X720");
    controller.deviceSelectionDidChange(0);
    EXPECT_EQ(m_enumerator->opens.load(), opens + 2);
    EXPECT_EQ(controller.mCurrentPreviewDeviceIndex(), 0);
    EXPECT_EQ(controller.locationID(), 0x01100000u);
    EXPECT_EQ(controller.mCurrentCaptureResolution().getPixelFormatString(), "640X480");
    EXPECT_EQ(controller.deviceListText(), "First");
    ASSERT_FALSE(m_control->calls.empty());
    EXPECT_EQ(m_control->calls.front(), "releaseControl");
    ASSERT_TRUE(waitFrames(1));
}

TEST_F(AppControllerTest, TheSizeInForceDoesNotRestartThePipelineAndAnotherDoes)
{
    plug("Camera", 0x01100000);
    AppController &controller = make();
    const int opens = m_enumerator->opens;
    controller.resolutionSelectionDidChange(0); // 640 x 480, in force
    EXPECT_EQ(m_enumerator->opens.load(), opens);
    EXPECT_TRUE(controller.changeSampleResolution(CaptureResolution(640, 480)));
    EXPECT_EQ(m_enumerator->opens.load(), opens);

    controller.resolutionSelectionDidChange(2);
    EXPECT_EQ(m_enumerator->opens.load(), opens + 1);
    EXPECT_EQ(controller.resolutionListText(), "1600X1200");
    ASSERT_TRUE(waitFrames(2));
    EXPECT_EQ(controller.latestPreviewFrame()->width, 1600);
    EXPECT_EQ(controller.latestPreviewFrame()->height, 1200);
}

TEST_F(AppControllerTest, UnpluggingTheUnusedCameraChangesNothing)
{
    const std::string first = plug("First", 0x01100000);
    plug("Second", 0x02100000);
    AppController &controller = make();
    const int opens = m_enumerator->opens;
    m_hub->unplug(first);
    controller.deviceWasDisconnected();
    EXPECT_EQ(controller.countDevices(), 1);
    EXPECT_EQ(m_enumerator->opens.load(), opens);
    EXPECT_EQ(controller.locationID(), 0x02100000u);
    EXPECT_TRUE(m_messages->texts().empty());

    // Cameras without a USB location are told apart by their identifier.
    plug("Virtual");
    controller.deviceWasConnected();
    EXPECT_EQ(m_enumerator->opens.load(), opens);
}

TEST_F(AppControllerTest, UnpluggingTheUsedCameraSwitchesToTheLastRemainingOne)
{
    plug("First", 0x01100000);
    const std::string second = plug("Second", 0x02100000);
    AppController &controller = make();
    m_hub->unplug(second);
    controller.deviceWasDisconnected();
    EXPECT_EQ(controller.mCurrentPreviewDeviceIndex(), 0);
    EXPECT_EQ(controller.locationID(), 0x01100000u);
    EXPECT_EQ(controller.deviceListText(), "First");
    ASSERT_TRUE(waitFrames(2));
}

TEST_F(AppControllerTest, TheLastCameraLeavingWarnsAndEntersTheNoCameraState)
{
    const std::string only = plug("Only", 0x01100000);
    AppController &controller = make();
    ASSERT_TRUE(controller.IsCaptureDevice());
    bool hidden = false;
    QObject::connect(&controller, &AppController::adjustPanelShouldHide, [&] { hidden = true; });
    m_hub->unplug(only);
    controller.deviceWasDisconnected();
    EXPECT_FALSE(controller.IsCaptureDevice());
    EXPECT_TRUE(hidden);
    EXPECT_FALSE(controller.isPreviewRunning());
    EXPECT_TRUE(controller.deviceListText().empty());
    EXPECT_TRUE(controller.resolutionListText().empty());
    EXPECT_TRUE(controller.resolutionArray().empty());
    EXPECT_EQ(m_messages->texts(), std::vector<std::string>{"Error,No Camera is Detected"});

    // It comes back: previewed again.
    plug("Only", 0x01100000);
    controller.deviceWasConnected();
    EXPECT_TRUE(controller.IsCaptureDevice());
    ASSERT_TRUE(waitFrames(1));
}

TEST_F(AppControllerTest, DeviceNotificationsArriveOnTheMainThread)
{
    m_watchDevices = true;
    AppController &controller = make();
    EXPECT_FALSE(controller.IsCaptureDevice());
    plug("Late", 0x01100000);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return controller.IsCaptureDevice(); }));
    EXPECT_EQ(controller.deviceListText(), "Late");
}

TEST_F(AppControllerTest, FullScreenStartsOnceAndStopsOnlyWhenOn)
{
    AppController &controller = make(false);
    std::vector<bool> changes;
    QObject::connect(&controller, &AppController::fullScreenChanged,
                     [&](bool on) { changes.push_back(on); });
    controller.stopFullScreen(); // not in full screen: nothing
    controller.startFullScreen();
    controller.startFullScreen();
    EXPECT_TRUE(controller.mIsFullScreen());
    controller.stopFullScreen();
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
}

TEST_F(AppControllerTest, ExitAsksAndOnOkReleasesEverythingOnce)
{
    plug("Camera", 0x01100000);
    AppController &controller = make();
    int terminations = 0;
    QObject::connect(&controller, &AppController::terminateRequested, [&] { ++terminations; });

    m_messages->setAnswer(varnolet::MessageResult::Cancel);
    controller.exitSystem();
    EXPECT_FALSE(controller.windowShouldClose());
    EXPECT_FALSE(controller.applicationShouldTerminate());
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(controller.isPreviewRunning());
    ASSERT_EQ(m_messages->count(), 3u);
    EXPECT_EQ(m_messages->messages()[0].text, "Are you sure exiting system?");
    EXPECT_EQ(m_messages->messages()[0].buttons, varnolet::MessageButtons::OkCancel);

    m_messages->setAnswer(varnolet::MessageResult::Ok);
    m_control->calls.clear();
    ScopedLogCapture log;
    EXPECT_TRUE(controller.applicationShouldTerminate());
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(controller.isExitSystem());
    EXPECT_FALSE(controller.isPreviewRunning());
    EXPECT_EQ(m_control->calls, std::vector<std::string>{"releaseControl"});
    EXPECT_EQ(log.lines().front(), "exit system");
    // Asked again after the exit ran: terminate at once, no question, no second release.
    EXPECT_TRUE(controller.applicationShouldTerminate());
    EXPECT_TRUE(controller.windowShouldClose());
    EXPECT_EQ(m_messages->count(), 4u);
    EXPECT_EQ(terminations, 1);
}

TEST_F(AppControllerTest, FormatsTextsWithTheResolutionAndNumbers)
{
    EXPECT_EQ(AppController::formatText("以分辨率%@进行拍照", "640X480"),
              "以分辨率640X480进行拍照");
    EXPECT_EQ(AppController::formatText("a %@ b %d c %d", "x", {60, 55}), "a x b 60 c 55");
    EXPECT_EQ(AppController::formatText("%d%d", "x", {1, 2, 3}), "12");
    EXPECT_EQ(AppController::formatText("plain", "x"), "plain");
}

TEST(AppControllerServicesTest, AMissingServiceIsAStartUpError)
{
    UserDefaults store("/nonexistent/preferences.plist");
    const auto presenter = std::make_shared<varnolet::RecordingMessagePresenter>();
    const auto folders =
        std::make_shared<const varnolet::SystemPaths>(varnolet::SystemPaths::fromEnvironment());
    struct Row
    {
        const char *missing;
        UserDefaults *store;
        std::shared_ptr<varnolet::MessagePresenter> presenter;
        std::shared_ptr<const varnolet::SystemPaths> paths;
        std::shared_ptr<varnolet::Clock> clock;
        std::shared_ptr<varnolet::VirtualCameraHub> virtualCameras;
    };
    const auto clock = std::make_shared<varnolet::FakeClock>(2024, 3, 1);
    const auto hub = std::make_shared<varnolet::VirtualCameraHub>(clock);
    for (const Row &row : {Row{"settings store", nullptr, presenter, folders, clock, hub},
                           Row{"presenter", &store, nullptr, folders, clock, hub},
                           Row{"folders", &store, presenter, nullptr, clock, hub},
                           Row{"clock", &store, presenter, folders, nullptr, hub},
                           Row{"virtual cameras", &store, presenter, folders, clock, nullptr}}) {
        SCOPED_TRACE(row.missing);
        AppController::Services services;
        services.settingsStore = row.store;
        services.messagePresenter = row.presenter;
        services.paths = row.paths;
        services.clock = row.clock;
        services.virtualCameras = row.virtualCameras;
        services.watchDeviceNotifications = false;
        EXPECT_THROW({ AppController controller(std::move(services)); }, std::invalid_argument);
    }
}
