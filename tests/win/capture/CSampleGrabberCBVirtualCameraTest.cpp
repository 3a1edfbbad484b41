#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/media/JpegDecoder.h"
#include "tests/platform/media/MovieProbe.h"
#include "tests/win/capture/CSampleGrabberCBTestSupport.h"
#include "win/capture/CCaptureVideo.h"
#include "win/common/TimedSeries.h"

#include <chrono>
#include <thread>

#include <QImage>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

// Real time for the camera's picture and the sinks, shared by the hub and the owner.
const std::shared_ptr<const Clock> systemClock = std::make_shared<SystemClock>();

class NullVideoWindow final : public IVideoWindow
{
public:
    void GetClientSize(int &width, int &height) const override
    {
        width = 640;
        height = 480;
    }
    void SetVideoPosition(int, int, int, int) override {}
    void SetVideoVisible(bool) override {}
    void PresentFrame(const unsigned char *, int, int, long) override {}
};

// The whole capture engine on the virtual camera with the real clock: the camera's
// streaming thread feeds both sinks, the saving thread writes the timed shots.
class VirtualCameraSinkTest : public SinkTest
{
protected:
    VirtualCameraSinkTest()
        : SinkTest(systemClock)
    {
    }
    void SetUp() override
    {
        SinkTest::SetUp();
        cameraPath = hub.plug();
        capture = std::make_unique<CCaptureVideo>(services, messages.box(),
                                                  std::make_shared<CameraEnumerator>(hub));
        capture->SetFrameSinks(&preview(), &still());
        capture->AdoptSavingThread(CSampleGrabberCB::StartSavingThread(owner),
                                   &CSampleGrabberCB::StopSavingThread);
        capture->EnumerateDevices();
        CaptureSize size{640, 480};
        ASSERT_EQ(capture->OpenDevice(capture->IndexOfDevicePath(cameraPath), &videoWindow, size),
                  0);
        ASSERT_EQ(size.width, 640);
        services.Settings().SetUsingCaptureSize(size.width, size.height);
    }
    void TearDown() override
    {
        capture.reset(); // closes the camera, stops and joins the saving thread
        SinkTest::TearDown();
    }

    size_t filesIn(const std::string &part) const
    {
        size_t count = 0;
        for (const auto &file : window.files())
            count += file.find(part) != std::string::npos ? 1 : 0;
        return count;
    }

    NullVideoWindow videoWindow;
    VirtualCameraHub hub{systemClock};
    std::string cameraPath;
    std::unique_ptr<CCaptureVideo> capture;
};

} // namespace

TEST_F(VirtualCameraSinkTest, PhotoTimedSeriesRecordingAndButtonMakeTheirFiles)
{
    const SettingValues settings = services.Settings().GetUsingSettings();
    const std::string today = TodayStamp(*systemClock);

    // A photo.
    owner.RequestPhoto();
    ASSERT_TRUE(processEventsUntil(
        [&] { return window.count(CSampleGrabberOwner::PhotoTakenMessage) == 1; }));
    ASSERT_EQ(filesIn("/Single Shots/"), 1u);
    EXPECT_EQ(window.files()[0], SingleShotsFolder(settings) + "/S" + today + "_0001.jpg");
    JpegDecoder decoder;
    QImage image;
    ASSERT_TRUE(decoder.decodeFile(window.files()[0], image).ok());
    EXPECT_EQ(image.size(), QSize(640, 480));

    // A timed series of one shot per second, stopped after three shots.
    configureTimedShots(TimeUnitMinute, 60, TimeUnitMinute, 1);
    ASSERT_TRUE(StartTimedSeries(TimedShotsFolder(settings), services.Settings().GetUsingSettings(),
                                 owner.TimedSeriesRecord(), *systemClock, messages.box()));
    preview().StartTimedShots();
    owner.SetTimedSeriesActive(true);
    ASSERT_TRUE(processEventsUntil([&] { return filesIn("/Timed Shots/") >= 3; }, 6000ms));
    owner.SetTimedSeriesActive(false);
    EXPECT_NE(std::find(window.files().begin(), window.files().end(),
                        TimedShotsFolder(settings) + "/T" + today + "_001_0003.jpg"),
              window.files().end());

    // A recording of about two seconds.
    const std::string movie =
        NextMoviePath(MoviesFolder(settings), settings, *systemClock, messages.box());
    EXPECT_EQ(movie, MoviesFolder(settings) + "/M" + today + "_0001.avi");
    CreateMovieWriter(movie, systemClock, services, messages.box(), &window);
    const auto started = std::chrono::steady_clock::now();
    owner.SetRecordingActive(true);
    processEventsFor(2000ms);
    owner.SetRecordingActive(false);
    CloseMovieWriter(&window);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(filesIn("/Movies/"), 1u);
    const MovieProbe probe = probeMovie(movie);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.codecTag, AviMpeg4Writer::kCodecTag);
    EXPECT_EQ(probe.decodedFrames, probe.packets);
    EXPECT_GT(probe.packets, 30);
    const uint32_t rate = readLe32(movie, 132);
    RecordProperty("measuredRate", static_cast<int>(rate));
    RecordProperty("movieFrames", probe.packets);
    EXPECT_GE(rate, 20u) << "the virtual camera runs at 30 frames per second";
    EXPECT_LE(rate, 32u);
    EXPECT_NEAR(probe.durationSeconds, seconds, 0.6) << "plays for as long as it was recorded";

    // The snapshot button.
    ASSERT_TRUE(hub.pressButton(cameraPath));
    ASSERT_TRUE(processEventsUntil([&] { return filesIn("/Single Shots/") == 2; }));
    EXPECT_EQ(messages->count(), 0u);
}
