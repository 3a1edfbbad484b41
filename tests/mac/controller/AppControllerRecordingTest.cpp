#include "tests/mac/controller/AppControllerFixture.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "mac/core/SystemLog.h"
#include "platform/media/QuickTimeMovieWriter.h"
#include "tests/support/ScopedFileSizeLimit.h"

using namespace std::chrono_literals;
using Control = AppController::Control;
using mactest::AppControllerTest;

namespace {

class RecordingTest : public AppControllerTest
{
protected:
    AppController &makeRecording(int movieSizeEnum = 1, int limitMegabytes = 16)
    {
        plug("Camera", 0x01100000);
        AppController &controller = make();
        controller.usingSettingParam().setMovieSizeEnum(movieSizeEnum);
        controller.usingSettingParam().setMovieSavingSizeLimit(limitMegabytes);
        EXPECT_TRUE(waitFrames(1));
        return controller;
    }

    // Runs the event loop until the movie being recorded has grown by n frames (real
    // frames of the camera). Counting the movie's frames, not the preview's, holds on a
    // slow machine, where the recording keeps only the latest of several frames.
    void recordFrames(int n)
    {
        const int target = m_controller->framesRecorded() + n;
        ASSERT_TRUE(varnolet::test::processEventsUntil(
            [&] { return m_controller->framesRecorded() >= target; }));
    }
};

} // namespace

TEST_F(RecordingTest, RecordsAMovieThatPlaysAndGivesTheButtonsBack)
{
    AppController &controller = makeRecording();
    const int opens = m_enumerator->opens;
    controller.takeVideoRecording();
    ASSERT_TRUE(controller.bVideoRecording());
    EXPECT_EQ(m_enumerator->opens.load(), opens); // 640 x 480 in force: no restart
    EXPECT_EQ(controller.toolTip(Control::Recording), "Stop Recording");
    EXPECT_TRUE(controller.isEnabled(Control::Recording));
    EXPECT_FALSE(controller.isEnabled(Control::Settings));
    EXPECT_FALSE(controller.isEnabled(Control::TakePhoto));
    controller.doTimerByMainViewer();
    EXPECT_EQ(controller.promptText(), "正在以分辨率640X480进行录像");
    EXPECT_TRUE(controller.doMouseMovedOverControl(Control::Recording));
    EXPECT_EQ(controller.promptText(), "停止录像");

    // Exit asks the recording question; cancelled, the recording goes on.
    m_messages->setAnswer(varnolet::MessageResult::Cancel);
    controller.exitSystem();
    EXPECT_EQ(m_messages->texts().back(), "正在录像中，确定退出系统吗？");
    EXPECT_TRUE(controller.bVideoRecording());

    recordFrames(20);
    m_clock->advance(2500ms);
    controller.takeVideoRecording();
    EXPECT_FALSE(controller.bVideoRecording());
    EXPECT_FALSE(controller.mIsRecordingThreadRuning());
    ASSERT_EQ(movies().size(), 1u);
    EXPECT_EQ(m_tree.added(), movies());
    EXPECT_NE(movies()[0].find("/Movies/"), std::string::npos);
    EXPECT_TRUE(controller.isEnabled(Control::Settings));
    EXPECT_EQ(controller.toolTip(Control::Recording), "Start Recording");

    const mactest::ProbeResult probe = mactest::probeMovie(movies()[0]);
    EXPECT_NEAR(probe.duration, 2.5, 0.01); // the time recorded
    EXPECT_GE(probe.frames, 10);
    EXPECT_EQ(probe.codecTag, "mp4v");
    EXPECT_TRUE(temporaryFiles().isEmpty());
}

TEST_F(RecordingTest, MovieSizeOtherThanThePreviewRestartsSkipsFourFramesAndRestoresTheSize)
{
    AppController &controller = makeRecording(0);
    controller.resolutionSelectionDidChange(1); // preview at 1280 x 720
    ASSERT_EQ(controller.mCurrentCaptureResolution().getPixelFormatString(), "1280X720");
    const int opens = m_enumerator->opens;
    controller.takeVideoRecording();
    ASSERT_TRUE(controller.bVideoRecording());
    EXPECT_EQ(m_enumerator->opens.load(), opens + 1);
    EXPECT_EQ(controller.mCurrentCaptureResolution().getPixelFormatString(), "320X240");
    ASSERT_TRUE(waitFrames(12)); // twelve frames from the camera, four of them skipped
    controller.takeVideoRecording();
    ASSERT_EQ(movies().size(), 1u);
    const mactest::ProbeResult probe = mactest::probeMovie(movies()[0]);
    EXPECT_GE(probe.frames, 1);
    EXPECT_LE(probe.frames, 12 - 4 + 1);
    // Back to the size chosen in the resolution list.
    EXPECT_EQ(controller.mCurrentCaptureResolution().getPixelFormatString(), "1280X720");
    ASSERT_TRUE(waitFrames(1));
    EXPECT_EQ(controller.latestPreviewFrame()->width, 1280);
}

TEST_F(RecordingTest, StoppingBeforeTheFirstFrameAnnouncesNoMovie)
{
    AppController &controller = makeRecording(0); // a restart: four frames are skipped
    controller.takeVideoRecording();
    ASSERT_TRUE(controller.bVideoRecording());
    controller.takeVideoRecording();
    EXPECT_FALSE(controller.bVideoRecording());
    EXPECT_TRUE(movies().empty());
    EXPECT_TRUE(m_tree.added().empty());
    EXPECT_TRUE(controller.isEnabled(Control::TakePhoto));
}

TEST_F(RecordingTest, SixteenMegabytesStopTheRecordingByItself)
{
    AppController &controller = makeRecording(1, 16);
    *m_extraMovieBytes = 16777216 - 1; // one frame below the limit
    controller.takeVideoRecording();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !controller.bVideoRecording(); }));
    // The notice reaches the main thread: the movie is announced and the buttons come back.
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !m_tree.added().empty(); }));
    ASSERT_EQ(movies().size(), 1u);
    EXPECT_EQ(m_tree.added(), movies());
    EXPECT_TRUE(controller.isEnabled(Control::Settings));
    EXPECT_EQ(controller.toolTip(Control::Recording), "Start Recording");
    EXPECT_EQ(mactest::probeMovie(movies()[0]).frames, 1); // passes the limit by one frame at most
}

TEST_F(RecordingTest, LimitOf4096MegabytesIsComparedIn64Bits)
{
    AppController &controller = makeRecording(1, 4096);
    *m_extraMovieBytes = 4294967296ull - 2000000; // just under 4096 MB
    controller.takeVideoRecording();
    recordFrames(5);
    EXPECT_TRUE(controller.bVideoRecording()); // would have stopped with a 32-bit limit (0)
    *m_extraMovieBytes = 4294967296ull;
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !controller.bVideoRecording(); }));
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return movies().size() == 1; }));
}

TEST_F(RecordingTest, LateStopNoticeAfterTheUsersStopDoesNothing)
{
    AppController &controller = makeRecording(1, 16);
    *m_extraMovieBytes = 16777216 - 1;
    controller.takeVideoRecording();
    // Wait without running the event loop: the thread stops itself and its notice waits.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (controller.mIsRecordingThreadRuning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_FALSE(controller.mIsRecordingThreadRuning());
    controller.doStoppingRecordingByMainThread(false); // the user's stop meets it
    EXPECT_EQ(m_tree.added().size(), 1u);
    varnolet::test::processEventsFor(100ms); // the notice arrives now
    EXPECT_EQ(m_tree.added().size(), 1u);
    EXPECT_EQ(movies().size(), 1u);
    EXPECT_TRUE(controller.isEnabled(Control::TakePhoto));
}

TEST_F(RecordingTest, SnapshotButtonDuringARecordingSavesAPhotoAndTheRecordingGoesOn)
{
    AppController &controller = makeRecording();
    controller.takeVideoRecording();
    recordFrames(3);
    m_control->listener->setMIsHandwareTrigger(true);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return photos().size() == 1; }));
    EXPECT_TRUE(controller.bVideoRecording());
    recordFrames(3);
    controller.takeVideoRecording();
    EXPECT_EQ(movies().size(), 1u);
    EXPECT_EQ(photos().size(), 1u);
}

TEST_F(RecordingTest, UnpluggingTheCameraDuringARecordingFinishesAndKeepsTheMovie)
{
    plug("Other", 0x02100000);
    AppController &controller = makeRecording(); // previews "Camera", the last one
    ASSERT_EQ(controller.deviceListText(), "Camera");
    controller.takeVideoRecording();
    recordFrames(10);
    m_clock->advance(1200ms);
    m_hub->unplug(controller.getDeviceByIndex(1)->devicePath());
    controller.deviceWasDisconnected();
    EXPECT_FALSE(controller.bVideoRecording());
    ASSERT_EQ(movies().size(), 1u);
    EXPECT_EQ(m_tree.added(), movies());                  // announced
    EXPECT_TRUE(controller.isEnabled(Control::Settings)); // buttons back
    EXPECT_EQ(controller.deviceListText(), "Other");
    const mactest::ProbeResult probe = mactest::probeMovie(movies()[0]);
    EXPECT_NEAR(probe.duration, 1.2, 0.01);
    EXPECT_GE(probe.frames, 5);
}

TEST_F(RecordingTest, ExitDuringARecordingLeavesAPlayableMovieUnannounced)
{
    AppController &controller = makeRecording();
    controller.takeVideoRecording();
    recordFrames(10);
    m_clock->advance(3s);
    controller.doExitSystem();
    EXPECT_FALSE(controller.bVideoRecording());
    ASSERT_EQ(movies().size(), 1u);
    EXPECT_TRUE(m_tree.added().empty());
    const mactest::ProbeResult probe = mactest::probeMovie(movies()[0]);
    EXPECT_NEAR(probe.duration, 3.0, 0.01);
    EXPECT_GE(probe.frames, 5);
    // No temporary movie is left behind.
    EXPECT_TRUE(temporaryFiles().isEmpty());
}

// ---- faults: nothing recorded is lost, and the user is told ----

namespace {

// A fault that strikes two seconds into a recording, on the main thread.
struct RecordingFault
{
    const char *name;
    std::function<void(const std::string &savingLocation, const std::string &movies)> strike;
    bool stopsByItself;
    const char *reason;
};

class RecordingFaultTest : public RecordingTest,
                           public ::testing::WithParamInterface<RecordingFault>
{
protected:
    // Runs the event loop while n more frames come, the clock moving 50 ms a frame.
    void recordAdvancing(int n)
    {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(waitFrames(1));
            m_clock->advance(50ms);
        }
    }
};

} // namespace

TEST_P(RecordingFaultTest, KeepsWhatWasRecordedAndSaysWhyAndWhere)
{
    const RecordingFault &fault = GetParam();
    AppController &controller = makeRecording();
    const std::string moviesFolder = root() + "/Movies";
    controller.takeVideoRecording();
    ASSERT_TRUE(controller.bVideoRecording());
    const varnolet::Clock::WallTime started = m_clock->wallNow();
    recordAdvancing(40);
    const std::vector<std::string> reserved = movies();
    ASSERT_EQ(reserved.size(), 1u);
    const std::string path = reserved[0];

    std::optional<varnolet::test::ScopedFileSizeLimit> limit;
    if (fault.strike)
        fault.strike(m_folder.path(), moviesFolder);
    else // a disk that fills up: the movie cannot grow past the next few kilobytes
        limit.emplace(std::filesystem::file_size(varnolet::RecordingFile::recordingPathFor(path)) +
                      20000);
    if (fault.stopsByItself) {
        ASSERT_TRUE(varnolet::test::processEventsUntil([&] {
            if (controller.bVideoRecording() && waitFrames(1))
                m_clock->advance(50ms);
            return !m_messages->texts().empty();
        }));
    } else {
        recordAdvancing(10);
        EXPECT_TRUE(controller.bVideoRecording());
        controller.takeVideoRecording(); // Stop always stops
    }
    limit.reset();
    EXPECT_FALSE(controller.bVideoRecording());
    EXPECT_TRUE(controller.isEnabled(Control::Settings));

    ASSERT_EQ(m_messages->texts().size(), 1u);
    EXPECT_EQ(m_messages->texts()[0], std::string("The recording stopped: ") + fault.reason +
                                          "\nWhat was recorded is kept in " + path);
    // Frames keep their capture times: two seconds were recorded before the fault, of
    // which at most the second in progress is lost, and nothing lasts longer than recorded.
    const double recorded = std::chrono::duration<double>(m_clock->wallNow() - started).count();
    const mactest::ProbeResult probe = mactest::probeMovie(path);
    EXPECT_GE(probe.frames, 1);
    EXPECT_GE(probe.duration, 2.0 - 1.0 - 0.05);
    EXPECT_LE(probe.duration, recorded + 0.01);
    EXPECT_EQ(m_tree.added(), std::vector<std::string>{path});
    EXPECT_TRUE(temporaryFiles().isEmpty());
    for (const auto &entry : std::filesystem::recursive_directory_iterator(m_folder.path()))
        EXPECT_NE(entry.path().extension(), ".recording") << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RecordingFaultTest,
    ::testing::Values(RecordingFault{"DiskFull", nullptr, true, "File too large"},
                      RecordingFault{"MoviesFolderRemoved",
                                     [](const std::string &, const std::string &movies) {
                                         std::filesystem::remove_all(movies);
                                     },
                                     false, "No such file or directory"},
                      RecordingFault{"SavingLocationRemoved",
                                     [](const std::string &location, const std::string &) {
                                         std::filesystem::remove_all(location + "/Varnolet");
                                     },
                                     false, "No such file or directory"}),
    [](const ::testing::TestParamInfo<RecordingFault> &info) { return info.param.name; });

TEST_F(RecordingTest, RecordSaysWhyItCannotStart)
{
    AppController &controller = makeRecording();
    // The movies' folder is a file.
    std::filesystem::remove_all(root() + "/Movies");
    m_folder.write("Varnolet/Movies", "a file");
    controller.takeVideoRecording();
    EXPECT_FALSE(controller.bVideoRecording());
    ASSERT_EQ(m_messages->texts().size(), 1u);
    EXPECT_EQ(m_messages->texts()[0], "The recording cannot start: Not a directory");
    EXPECT_TRUE(controller.isEnabled(Control::TakePhoto));
}

TEST_F(RecordingTest, ASizeLimitOutOfRangeStillRecords)
{
    AppController &controller = makeRecording(1, 0);
    controller.takeVideoRecording();
    recordFrames(5);
    EXPECT_TRUE(controller.bVideoRecording());
    controller.takeVideoRecording();
    ASSERT_EQ(movies().size(), 1u);
    EXPECT_GE(mactest::probeMovie(movies()[0]).frames, 1);
}

TEST_F(RecordingTest, AMovieLeftByAKillIsFinishedAndAnnouncedAtTheNextStart)
{
    {
        // A recording in progress, copied as a kill would leave it.
        AppController &controller = makeRecording();
        controller.takeVideoRecording();
        for (int i = 0; i < 30; ++i) {
            ASSERT_TRUE(waitFrames(1));
            m_clock->advance(50ms);
        }
        const std::string hidden = varnolet::RecordingFile::recordingPathFor(movies()[0]);
        std::filesystem::copy_file(hidden, root() + "/Movies/.M20240305_009.mov.recording");
        controller.takeVideoRecording();
        m_controller.reset();
    }
    AppController &again = make();
    const std::string recovered = root() + "/Movies/M20240305_009.mov";
    // 1.5 s were recorded when it was left: at most the second in progress is lost.
    const mactest::ProbeResult probe = mactest::probeMovie(recovered);
    EXPECT_GE(probe.frames, 1);
    EXPECT_GE(probe.duration, 0.45);
    again.doTimerByMainViewer();
    EXPECT_EQ(again.promptText(), "An unfinished movie was finished: " + recovered);
}
