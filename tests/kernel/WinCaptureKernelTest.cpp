// VarnoletWin's camera paths against uvcvideo and the emulated camera: the device list,
// frames through CCaptureVideo into the frame sinks, and the main window's photo, timed
// shot, movie, snapshot button and unplugging, with the files checked on disk.
#include "UvcKernelFixture.h"
#include "WinKernelSupport.h"

#include "tests/kernel/uvc/UvcDescriptorBuilder.h"
#include "tests/kernel/uvc/UvcTestPattern.h"

#include "tests/win/app/MainViewerTestSupport.h"
#include "tests/win/capture/CCaptureVideoFakes.h"

#include "platform/media/JpegDecoder.h"
#include "platform/media/MovieFrameReader.h"
#include "win/capture/AviMovieWriter.h"
#include "win/capture/CCaptureVideo.h"
#include "win/capture/CSampleGrabberCB.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <set>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;
using apptest::filesIn;
using apptest::MainViewerFixture;

namespace {

class WinCaptureKernelTest : public UvcKernelFixture
{
protected:
    void SetUp() override
    {
        UvcKernelFixture::SetUp();
        fixture = std::make_unique<MainViewerFixture>();
    }
    void TearDown() override
    {
        fixture.reset();
        UvcKernelFixture::TearDown();
    }

    // Settings with these extra lines (the previous ones are reset first).
    void useSettings(const std::string &extra)
    {
        fixture.reset();
        fixture = std::make_unique<MainViewerFixture>(extra);
    }

    std::unique_ptr<CMainViewerDlg> openWindow()
    {
        auto window = fixture->makeWindow(std::make_shared<CameraEnumerator>(fixture->hub()));
        EXPECT_TRUE(fixture->showAndWaitForCamera(*window));
        EXPECT_TRUE(processEventsUntil(
            [&] { return CSampleGrabberCB::PreviewSink().FrameWidth() > 0; }, 30s));
        return window;
    }

    void streamThroughCaptureVideo(const std::vector<uint8_t> &descriptors)
    {
        const auto cameras = plug(descriptors);
        ASSERT_EQ(cameras.size(), 1u);
        CCaptureVideo capture(fixture->services(), fixture->messageBox(),
                              std::make_shared<CameraEnumerator>(fixture->hub()));
        PatternSink preview, still;
        capture.SetFrameSinks(&preview, &still);
        ASSERT_GE(capture.EnumerateDevices(), 1);
        const int index = capture.IndexOfDevicePath(cameras.front().devicePath);
        ASSERT_GE(index, 0);
        EXPECT_EQ(capture.DeviceList().at(cameras.front().devicePath), "Emulated Microscope");
        FakeVideoWindow window;
        for (const auto &[w, h] :
             {std::pair{640, 480}, std::pair{1280, 720}, std::pair{1600, 1200}}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            CaptureSize size{w, h};
            preview.log.numbers.clear();
            preview.log.sizes.clear();
            ASSERT_EQ(capture.OpenDevice(index, &window, size), 0);
            EXPECT_EQ(size.width, w);
            EXPECT_EQ(size.height, h);
            EXPECT_EQ(capture.ResolutionList().size(), 3u);
            EXPECT_TRUE(preview.log.waitFor(3, 60s));
            capture.CloseDevice();
            EXPECT_TRUE(preview.log.allGood(w, h));
        }
    }

    std::unique_ptr<MainViewerFixture> fixture;
};

} // namespace

TEST_F(WinCaptureKernelTest, YuyvFramesReachTheFrameSinkUprightWithTheirNumbers)
{
    UvcDescriptorBuilder::Options options;
    options.mjpeg = false;
    streamThroughCaptureVideo(UvcDescriptorBuilder::configuration(options));
}

TEST_F(WinCaptureKernelTest, MjpegFramesReachTheFrameSinkUprightWithTheirNumbers)
{
    UvcDescriptorBuilder::Options options;
    options.yuyv = false;
    streamThroughCaptureVideo(UvcDescriptorBuilder::configuration(options));
}

TEST_F(WinCaptureKernelTest, PhotoAndTimedShotsShowThePicture)
{
    useSettings("timetype_takingshots_pretime=0\nshots_pertime=60\n"
                "timetype_times_taking=0\ntimes_takingtimedshots=1\n");
    ASSERT_EQ(plug().size(), 1u);
    auto window = openWindow();
    const std::string photo = takePhoto(*window, fixture->resourceRoot() + "/Single Shots");
    ASSERT_FALSE(photo.empty());
    QSize size;
    std::string problem;
    EXPECT_TRUE(patternInJpeg(photo, &size, &problem)) << problem;
    EXPECT_EQ(size.width(), CSampleGrabberCB::PreviewSink().FrameWidth());

    // A timed series, one shot a second: stopped after three shots.
    window->OnTimedShot();
    ASSERT_TRUE(window->IsTimedSeries());
    ASSERT_TRUE(
        processEventsUntil([&] { return CSampleGrabberCB::PreviewSink().ShotsTaken() >= 3; }, 30s));
    window->OnTimedShot();
    EXPECT_FALSE(window->IsTimedSeries());
    ASSERT_TRUE(processEventsUntil(
        [&] { return filesIn(fixture->resourceRoot() + "/Timed Shots", ".jpg").size() >= 3; },
        30s));
    std::set<uint32_t> numbers;
    for (const std::string &shot : filesIn(fixture->resourceRoot() + "/Timed Shots", ".jpg")) {
        const auto number = patternInJpeg(shot, &size, &problem);
        EXPECT_TRUE(number) << shot << ": " << problem;
        if (number)
            numbers.insert(*number);
    }
    EXPECT_GE(numbers.size(), 3u) << "the shots a second apart show different frames";
    EXPECT_EQ(fixture->messages().count(), 0u);
}

TEST_F(WinCaptureKernelTest, AFiveSecondMovieRecordsAndPlays)
{
    useSettings("movieresolution=1\n");
    ASSERT_EQ(plug().size(), 1u);
    auto window = openWindow();
    const std::string movie = recordMovie(*window, fixture->resourceRoot() + "/Movies", 5000ms);
    ASSERT_FALSE(movie.empty());
    int frames = 0;
    double seconds = 0;
    ASSERT_TRUE(probeMovie(movie, frames, seconds));
    EXPECT_GT(frames, 5);
    EXPECT_GT(seconds, 3.0);
    EXPECT_LT(seconds, 8.0);
    BgrImage first;
    ASSERT_EQ(MovieFrameReader::readFirstFrame(movie, first, true), 0);
    std::string problem;
    EXPECT_TRUE(
        UvcTestPattern::readBottomUpBgr(first.pixels.data(), first.width, first.height, &problem))
        << problem;
    EXPECT_EQ(fixture->messages().count(), 0u);
}

TEST_F(WinCaptureKernelTest, TheButtonReleaseTakesAStillPhotoThroughTheInputDevice)
{
    ASSERT_EQ(plug().size(), 1u);
    auto window = openWindow();
    processEventsFor(300ms); // the button's reader is running once frames flow
    camera->button(true);
    processEventsFor(200ms);
    EXPECT_TRUE(filesIn(fixture->resourceRoot() + "/Single Shots", ".jpg").empty())
        << "a press takes nothing";
    camera->button(false);
    ASSERT_TRUE(processEventsUntil(
        [&] { return filesIn(fixture->resourceRoot() + "/Single Shots", ".jpg").size() == 1; },
        20s));
    QSize size;
    std::string problem;
    EXPECT_TRUE(patternInJpeg(filesIn(fixture->resourceRoot() + "/Single Shots", ".jpg").front(),
                              &size, &problem))
        << problem;
    EXPECT_EQ(camera->statusPacketsSent(), 2);
}

TEST_F(WinCaptureKernelTest, UnplugDuringPreviewAndReplugBringsTheCameraBack)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    auto window = openWindow();
    EXPECT_EQ(window->OpenDevicePath(), cameras.front().devicePath);
    camera->unplug();
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsCameraPresent(); }, 20s));
    std::string error;
    ASSERT_EQ(camera->plug(error), 0) << error;
    ASSERT_TRUE(processEventsUntil([&] { return window->IsCameraPresent(); }, 30s));
    EXPECT_EQ(window->OpenDevicePath(), cameras.front().devicePath);
    const uint64_t before = camera->framesSent(1);
    EXPECT_TRUE(processEventsUntil([&] { return camera->framesSent(1) > before + 2; }, 30s));
}

TEST_F(WinCaptureKernelTest, UnplugDuringARecordingFinishesAPlayableMovie)
{
    useSettings("movieresolution=1\n");
    ASSERT_EQ(plug().size(), 1u);
    auto window = openWindow();
    window->OnRecording();
    ASSERT_TRUE(window->IsRecording());
    processEventsFor(2000ms);
    camera->unplug();
    ASSERT_TRUE(processEventsUntil(
        [&] { return !window->IsRecording() && !window->IsCameraPresent(); }, 20s));
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter(), nullptr);
    }
    const auto movies = filesIn(fixture->resourceRoot() + "/Movies", ".avi");
    ASSERT_EQ(movies.size(), 1u);
    int frames = 0;
    double seconds = 0;
    ASSERT_TRUE(probeMovie(movies.front(), frames, seconds));
    EXPECT_GT(frames, 2);
}

TEST_F(WinCaptureKernelTest, ACameraStreamingToAnotherProgramIsRefusedWithTheMessage)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    // "Another program": a second handle of the node that streams.
    CameraEnumerator enumerator(fixture->hub());
    int error = 0;
    auto other = enumerator.open(cameras.front().devicePath, error);
    ASSERT_TRUE(other) << error;
    PatternLog log;
    ASSERT_EQ(other->start(
                  [&](const CameraFrame &f) { log.add(f.data, f.length, f.width, f.height); }, {}),
              0);
    ASSERT_TRUE(log.waitFor(1, 60s));

    CCaptureVideo capture(fixture->services(), fixture->messageBox(),
                          std::make_shared<CameraEnumerator>(fixture->hub()));
    PatternSink preview, still;
    capture.SetFrameSinks(&preview, &still);
    ASSERT_GE(capture.EnumerateDevices(), 1);
    FakeVideoWindow window;
    CaptureSize size{640, 480};
    EXPECT_EQ(
        capture.OpenDevice(capture.IndexOfDevicePath(cameras.front().devicePath), &window, size),
        -EBUSY);
    ASSERT_EQ(fixture->messages().count(), 1u);
    EXPECT_EQ(
        fixture->messages().texts().front(),
        fixture->services().GetLanguageString("ui_alert_not_preview_device",
                                              "Couldn't preview this device,because this device "
                                              "may been using by other applicaiton",
                                              fixture->messageBox()));
    capture.CloseDevice();

    // Once the other program stops, the camera opens.
    other->stop();
    other.reset();
    ASSERT_EQ(
        capture.OpenDevice(capture.IndexOfDevicePath(cameras.front().devicePath), &window, size),
        0);
    EXPECT_TRUE(preview.log.waitFor(2, 60s));
    capture.CloseDevice();
}
