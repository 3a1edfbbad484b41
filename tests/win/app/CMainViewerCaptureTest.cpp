// The main window's commands end to end: the virtual camera, the frame sinks, the saving
// thread and the movie writer, with files checked on disk.
#include "MainViewerTestSupport.h"

#include "win/app/CMainViewerDlg.h"
#include "win/app/CXPStyleButtonST.h"
#include "win/app/CXSplitterWnd.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QTimer>

#include "platform/media/JpegDecoder.h"
#include "platform/media/MovieFrameReader.h"
#include "tests/support/FakeClock.h"
#include "tests/platform/media/MovieProbe.h"
#include "win/capture/AviMovieWriter.h"
#include "win/capture/CSampleGrabberCB.h"

using namespace std::chrono_literals;
using apptest::filesIn;
using apptest::MainViewerFixture;
using apptest::recordAtLeast;
using varnolet::test::processEventsFor;
using varnolet::test::processEventsUntil;

namespace {

bool commandsEnabled(const CMainViewerDlg &window)
{
    for (int id :
         {CMainViewerDlg::IDC_TAKE_PHOTO, CMainViewerDlg::IDC_TIMED_SHOT,
          CMainViewerDlg::IDC_RECORDING, CMainViewerDlg::IDC_SETTINGS, CMainViewerDlg::IDC_ABOUT}) {
        if (!window.Button(id)->isEnabled())
            return false;
    }
    return true;
}

QSize jpegSize(const std::string &path)
{
    varnolet::JpegDecoder decoder;
    QImage image;
    decoder.decodeFile(path, image);
    return image.size();
}

} // namespace

TEST(MainViewerCaptureTest, TakeAPhotoWritesTheNextPhotoAndTheButtonsComeBack)
{
    MainViewerFixture fixture;
    fixture.hub().plug();
    auto window = fixture.makeWindow();
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    window->MainSplitter()->Collapse();

    window->Button(CMainViewerDlg::IDC_TAKE_PHOTO)->click();
    EXPECT_TRUE(window->IsPhotoPending());
    EXPECT_FALSE(window->Button(CMainViewerDlg::IDC_SETTINGS)->isEnabled());
    EXPECT_TRUE(window->Button(CMainViewerDlg::IDC_EXIT)->isEnabled());
    EXPECT_FALSE(window->MainSplitter()->IsCollapsed()); // the browser pane comes back
    ASSERT_TRUE(
        processEventsUntil([&] { return !window->IsPhotoPending() && commandsEnabled(*window); }));

    const auto photos = filesIn(fixture.resourceRoot() + "/Single Shots", ".jpg");
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_EQ(jpegSize(photos.front()), QSize(640, 480));

    // The next photo gets the next name.
    window->OnTakePhoto();
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsPhotoPending(); }));
    const auto two = filesIn(fixture.resourceRoot() + "/Single Shots", ".jpg");
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two.front(), photos.front());
    EXPECT_EQ(fixture.messages().count(), 0u);
}

TEST(MainViewerCaptureTest, ATimedSeriesOfSixtyPerMinuteForOneMinuteEndsByItself)
{
    // 60 shots per minute (the built-in default) for 1 minute.
    auto clock = std::make_shared<varnolet::FakeClock>(2026, 12, 9, 10, 0, 0);
    MainViewerFixture fixture("timetype_takingshots_pretime=0\nshots_pertime=60\n"
                              "timetype_times_taking=0\ntimes_takingtimedshots=1\n",
                              clock);
    fixture.hub().plug();
    auto window = fixture.makeWindow();
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));

    window->Button(CMainViewerDlg::IDC_TIMED_SHOT)->click();
    ASSERT_TRUE(window->IsTimedSeries());
    EXPECT_EQ(window->ShotInterval(), 1000);
    EXPECT_FLOAT_EQ(window->SeriesDuration(), 1.0f / 60.0f);
    EXPECT_TRUE(window->Button(CMainViewerDlg::IDC_TIMED_SHOT)->isEnabled());
    EXPECT_FALSE(window->Button(CMainViewerDlg::IDC_TAKE_PHOTO)->isEnabled());
    EXPECT_EQ(window->Button(CMainViewerDlg::IDC_TIMED_SHOT)->toolTip(),
              QStringLiteral("Stop Timed Shot"));

    // Once a second of the fake clock, a frame takes the shot that is due.
    CSampleGrabberCB &sink = CSampleGrabberCB::PreviewSink();
    for (int second = 0; second <= 60; ++second) {
        ASSERT_TRUE(processEventsUntil([&] { return sink.ShotsTaken() == second + 1; })) << second;
        // The prompt counts the whole minutes left.
        window->UpdatePrompt(QPoint(-10, -10), false);
        EXPECT_TRUE(window->PromptLabel()->text().endsWith(
            second < 60 ? QStringLiteral("剩余时间 1 分钟") : QStringLiteral("剩余时间 0 分钟")))
            << window->PromptLabel()->text().toStdString();
        clock->advance(second < 60 ? 1000ms : 1ms);
    }
    // Just past the minute: no shot is due, and the series ends by itself.
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsTimedSeries(); }));
    EXPECT_EQ(sink.ShotsTaken(), 61);
    EXPECT_TRUE(commandsEnabled(*window));
    EXPECT_EQ(window->Button(CMainViewerDlg::IDC_TIMED_SHOT)->toolTip(),
              QStringLiteral("Start Timed Shot"));

    ASSERT_TRUE(processEventsUntil(
        [&] { return filesIn(fixture.resourceRoot() + "/Timed Shots", ".jpg").size() == 61u; },
        20s));
    processEventsFor(50ms);
    const auto shots = filesIn(fixture.resourceRoot() + "/Timed Shots", ".jpg");
    EXPECT_EQ(shots.size(), 61u);
    EXPECT_EQ(jpegSize(shots.back()), QSize(640, 480));
    EXPECT_EQ(fixture.messages().count(), 0u);
}

TEST(MainViewerCaptureTest, TimedShotValuesOutOfRangeInTheFileAreTakenAsTheFactoryValues)
{
    // 301 shots per minute against a limit of 300: read as the factory's 60, so Timed Shot
    // starts a valid series instead of failing every time.
    MainViewerFixture fixture("timetype_takingshots_pretime=0\nshots_pertime=301\n"
                              "timetype_times_taking=0\ntimes_takingtimedshots=1\n");
    EXPECT_EQ(fixture.services().Settings().GetUsingSettings().timedShot.shots[0].current, 60);
    fixture.hub().plug();
    auto window = fixture.makeWindow();
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    window->OnTimedShot();
    EXPECT_TRUE(window->IsTimedSeries());
    EXPECT_EQ(window->ShotInterval(), 1000);
    window->OnTimedShot();
    EXPECT_FALSE(window->IsTimedSeries());
    EXPECT_EQ(fixture.messages().count(), 0u) << testing::PrintToString(fixture.messages().texts());
}

TEST(MainViewerCaptureTest, RecordingAtTheMovieSizeReopensTheCameraAndLeavesAPlayableMovie)
{
    // Movie size 320X240 while the camera previews at 640 x 480.
    MainViewerFixture fixture("movieresolution=0\n");
    auto window = fixture.makeWindow(std::make_shared<apptest::TwoSizeEnumerator>());
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    ASSERT_EQ(fixture.services().Settings().GetUsingSettings().captureWidth, 640);

    window->Button(CMainViewerDlg::IDC_RECORDING)->click();
    ASSERT_TRUE(window->IsRecording());
    // The camera was reopened at the movie size before the first frame was written.
    EXPECT_EQ(fixture.services().Settings().GetUsingSettings().captureWidth, 320);
    EXPECT_EQ(fixture.services().Settings().GetUsingSettings().captureHeight, 240);
    EXPECT_EQ(CSampleGrabberCB::PreviewSink().FrameWidth(), 320);
    EXPECT_EQ(window->Button(CMainViewerDlg::IDC_RECORDING)->toolTip(),
              QStringLiteral("Stop Recording"));
    EXPECT_TRUE(window->Button(CMainViewerDlg::IDC_RECORDING)->isEnabled());
    EXPECT_FALSE(window->Button(CMainViewerDlg::IDC_SETTINGS)->isEnabled());

    // About a second of frames.
    processEventsFor(1000ms);
    window->Button(CMainViewerDlg::IDC_RECORDING)->click();
    EXPECT_FALSE(window->IsRecording());
    EXPECT_TRUE(commandsEnabled(*window));
    EXPECT_EQ(window->Button(CMainViewerDlg::IDC_RECORDING)->toolTip(),
              QStringLiteral("Start Recording"));
    // The camera stays at the movie size (the using size now is the delivered one).
    EXPECT_EQ(fixture.services().Settings().GetUsingSettings().captureWidth, 320);

    const auto movies = filesIn(fixture.resourceRoot() + "/Movies", ".avi");
    ASSERT_EQ(movies.size(), 1u);
    varnolet::BgrImage first;
    ASSERT_EQ(varnolet::MovieFrameReader::readFirstFrame(movies.front(), first), 0);
    EXPECT_EQ(first.width, 320);
    EXPECT_EQ(first.height, 240);
    EXPECT_EQ(fixture.messages().count(), 0u);
}

TEST(MainViewerCaptureTest, UnpluggingDuringARecordingClosesTheMovieAndSwitchesCameras)
{
    MainViewerFixture fixture("movieresolution=1\n");
    const std::string first = fixture.hub().plug();
    const std::string second = fixture.hub().plug();
    auto window = fixture.makeWindow();
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    ASSERT_EQ(window->OpenDevicePath(), first);

    window->OnRecording();
    ASSERT_TRUE(window->IsRecording());
    ASSERT_TRUE(recordAtLeast(10));
    fixture.hub().unplug(first);
    ASSERT_TRUE(processEventsUntil([&] { return window->OpenDevicePath() == second; }));
    EXPECT_FALSE(window->IsRecording());
    EXPECT_TRUE(commandsEnabled(*window));
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter(), nullptr);
    }
    const auto movies = filesIn(fixture.resourceRoot() + "/Movies", ".avi");
    ASSERT_EQ(movies.size(), 1u);
    varnolet::BgrImage frame;
    EXPECT_EQ(varnolet::MovieFrameReader::readFirstFrame(movies.front(), frame), 0);
    EXPECT_EQ(frame.width, 640);
}

TEST(MainViewerCaptureTest, CommandsWithoutACameraShowTheNoCameraMessage)
{
    MainViewerFixture fixture;
    auto window = fixture.makeWindow();
    window->show();
    ASSERT_TRUE(processEventsUntil([&] { return fixture.messages().count() == 1; }));
    window->OnTakePhoto();
    window->OnRecording();
    window->OnTimedShot();
    EXPECT_EQ(fixture.messages().count(), 4u);
    for (const std::string &text : fixture.messages().texts())
        EXPECT_EQ(text, "Error,No Camera\tis Detected");
    EXPECT_FALSE(window->IsPhotoPending());
    EXPECT_FALSE(window->IsRecording());
    EXPECT_FALSE(window->IsTimedSeries());
    EXPECT_TRUE(filesIn(fixture.resourceRoot() + "/Movies", ".avi").empty());
}

TEST(MainViewerCaptureTest, ACameraHeldByAnotherProgramGivesTheCannotPreviewMessage)
{
    MainViewerFixture fixture;
    varnolet::VirtualCameraOptions busy;
    busy.busy = true;
    fixture.hub().plug(busy);
    auto window = fixture.makeWindow();
    window->show();
    const std::string cannotPreview =
        "Couldn't preview this device,because this device may been using by other applicaiton";
    ASSERT_TRUE(processEventsUntil([&] { return fixture.messages().count() >= 1; }));
    EXPECT_FALSE(window->IsCameraPresent());
    EXPECT_EQ(fixture.messages().texts().back(), cannotPreview);
    const size_t before = fixture.messages().count();
    window->OnTakePhoto();
    ASSERT_EQ(fixture.messages().count(), before + 1);
    EXPECT_EQ(fixture.messages().texts().back(), cannotPreview);
    EXPECT_FALSE(window->IsPhotoPending());
    window->UpdatePrompt(QPoint(-5, -5), false);
    EXPECT_EQ(window->PromptLabel()->text().toStdString(), cannotPreview);
}

TEST(MainViewerCaptureTest, ShuttingDownFromOutsideClosesTheRecordingAndOpenDialogsLikeExit)
{
    MainViewerFixture fixture("movieresolution=1\n");
    auto window = fixture.makeWindow(std::make_shared<apptest::TwoSizeEnumerator>());
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    const auto recordingStarted = std::chrono::steady_clock::now();
    window->Button(CMainViewerDlg::IDC_RECORDING)->click();
    ASSERT_TRUE(window->IsRecording());
    processEventsFor(700ms);
    ASSERT_TRUE(recordAtLeast(12));

    // The request comes while a dialog of the window waits for the user.
    bool innerClosed = false;
    QTimer::singleShot(0, window.get(), [&] {
        QDialog inner(window.get());
        QTimer::singleShot(200, window.get(), [&] { window->ShutDown(); });
        inner.exec();
        innerClosed = true;
    });
    QTimer::singleShot(5000, window.get(),
                       [&] { window->done(QDialog::Rejected); }); // a hang ends here
    const int result = window->exec();
    const double recordedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - recordingStarted).count();
    EXPECT_EQ(result, QDialog::Accepted) << "ended by the shutdown, not by the time-out";
    EXPECT_TRUE(innerClosed);
    EXPECT_FALSE(window->IsRecording());
    EXPECT_FALSE(window->IsCameraPresent() && window->CaptureVideo().IsDeviceOpen());
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter(), nullptr);
    }
    const auto movies = filesIn(fixture.resourceRoot() + "/Movies", ".avi");
    ASSERT_EQ(movies.size(), 1u);
    // Closed and patched: an index, a sensible measured rate, every frame readable.
    const varnolet::test::MovieProbe probe = varnolet::test::probeMovie(movies.front());
    ASSERT_TRUE(probe.opened);
    EXPECT_GT(probe.packets, 10);
    EXPECT_EQ(probe.decodedFrames, probe.packets);
    // The measured rate: the frames over the time they took, which is at most the time
    // this test recorded (a slow machine delivers fewer frames, not a wrong rate).
    const uint32_t rate = varnolet::test::readLe32(movies.front(), 132);
    EXPECT_GE(rate + 1.0, probe.packets / recordedSeconds) << recordedSeconds << " s";
    EXPECT_LE(rate, 40u);
    EXPECT_GT(probe.durationSeconds, 0.3);
    EXPECT_LT(probe.durationSeconds, recordedSeconds + 0.2);
    EXPECT_EQ(fixture.messages().count(), 0u) << testing::PrintToString(fixture.messages().texts());
}

TEST(MainViewerCaptureTest, AStreamThatFailsWhileTheCameraIsListedIsALostCamera)
{
    MainViewerFixture fixture("movieresolution=1\n");
    apptest::TwoSizeCamera::failStream = false;
    apptest::TwoSizeEnumerator::opened = 0;
    auto window = fixture.makeWindow(std::make_shared<apptest::TwoSizeEnumerator>());
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    window->OnRecording();
    ASSERT_TRUE(window->IsRecording());
    ASSERT_TRUE(recordAtLeast(8));

    apptest::TwoSizeCamera::failStream = true; // the driver answers EIO from now on
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsCameraPresent(); }))
        << "the failure is not taken for 'nothing changed'";
    EXPECT_FALSE(window->IsRecording());
    EXPECT_FALSE(window->CaptureVideo().IsDeviceOpen());
    ASSERT_EQ(fixture.messages().count(), 1u);
    EXPECT_EQ(
        fixture.messages().texts()[0],
        CPromptLine(fixture.services(), fixture.messageBox()).NoCameraText(true).toStdString());
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter(), nullptr);
    }
    const auto movies = filesIn(fixture.resourceRoot() + "/Movies", ".avi");
    ASSERT_EQ(movies.size(), 1u) << "the recording is closed and kept";
    EXPECT_GT(varnolet::test::probeMovie(movies.front()).decodedFrames, 5);

    // Plugged in again: the camera opens and streams anew.
    window->OnDeviceChange();
    EXPECT_TRUE(window->IsCameraPresent());
    EXPECT_EQ(apptest::TwoSizeEnumerator::opened.load(), 2);
}
