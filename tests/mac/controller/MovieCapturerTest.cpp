#include <gtest/gtest.h>

#include <filesystem>

#include <QDir>

#include "mac/controller/MovieCapturer.h"
#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"
#include "platform/media/FfmpegHandles.h"
#include "tests/support/FakeClock.h"
#include "tests/mac/controller/MacTestFrames.h"
#include "tests/support/TestSupport.h"

using namespace std::chrono_literals;
using varnolet::FakeClock;
using varnolet::test::TempFolder;

namespace {

// Adds count frames spread evenly over the given time.
void record(MovieCapturer &capturer, FakeClock &clock, int count, std::chrono::milliseconds over,
            int width = 320, int height = 240)
{
    for (int i = 0; i < count; ++i) {
        const auto frame = mactest::makeFrame(width, height, i);
        capturer.addImageToMovie(frame.get());
        if (i + 1 < count)
            clock.advance(over / (count - 1));
    }
}

} // namespace

TEST(MovieCapturerTest, HundredImagesOverTenPointSixSecondsMakeAMovieOfTheTimeRecorded)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5, 10, 0, 0);
    MovieCapturer capturer(clock);
    const std::string path = folder.file("M20240305_001.mov");
    capturer.setFilePath(path);
    ASSERT_TRUE(capturer.startRecording());
    EXPECT_EQ(capturer.moviePath(), path);
    const std::string temporary = capturer.temporaryPath();
    EXPECT_EQ(temporary, folder.file(".M20240305_001.mov.recording")); // beside the movie

    // 99 steps of 107 ms, then the stop 107 ms after the last image.
    for (int i = 0; i < 100; ++i) {
        const auto frame = mactest::makeFrame(640, 480, i);
        capturer.addImageToMovie(frame.get());
        clock.advance(107ms);
    }
    EXPECT_EQ(capturer.framesCaptured(), 100);
    EXPECT_GT(capturer.savingFileSize(), 0u);

    ScopedLogCapture log;
    ASSERT_TRUE(capturer.endRecording());
    EXPECT_EQ(capturer.writtenMovie(), path);
    EXPECT_EQ(capturer.keptPath(), path);
    EXPECT_FALSE(capturer.isBuilding());
    EXPECT_FALSE(varnolet::test::fileExists(temporary));
    ASSERT_EQ(log.lines().size(), 2u); // once per recording, not per frame
    EXPECT_EQ(log.lines()[0], "captured 100 frames in 10.700000 seconds.");
    EXPECT_EQ(log.lines()[1].rfind("size is ", 0), 0u);

    // A 10.7 s recording plays for 10.7 s, not for its whole seconds.
    const mactest::ProbeResult probe = mactest::probeMovie(path);
    EXPECT_NEAR(probe.duration, 10.7, 0.01);
    EXPECT_EQ(probe.frames, 100);
    EXPECT_EQ(probe.codecTag, "mp4v");
    EXPECT_EQ(probe.codecName, "mpeg4");
}

TEST(MovieCapturerTest, NothingCountsBeforeTheFirstImageAndNoImageLeavesNoFile)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    MovieCapturer capturer(clock);
    EXPECT_EQ(capturer.savingFileSize(), 0u);
    EXPECT_FALSE(capturer.startRecording()) << "no path, no movie";
    capturer.setFilePath(folder.file("empty.mov"));
    capturer.addImageToMovie(nullptr); // starts the movie, adds nothing
    EXPECT_EQ(capturer.framesCaptured(), 0);
    EXPECT_TRUE(capturer.isBuilding());
    EXPECT_EQ(capturer.savingFileSize(), 0u);
    EXPECT_FALSE(capturer.endRecording());
    EXPECT_TRUE(
        QDir(QString::fromStdString(folder.path())).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << "neither the reservation nor the recording stays";
    EXPECT_FALSE(capturer.writtenMovie());
    EXPECT_TRUE(capturer.keptPath().empty());
}

TEST(MovieCapturerTest, ShortAndSingleImageRecordingsPlayEveryFrame)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    MovieCapturer six(clock);
    six.setFilePath(folder.file("short.mov"));
    record(six, clock, 6, 500ms);
    clock.advance(100ms); // 0.6 s in all
    ASSERT_TRUE(six.endRecording());
    mactest::ProbeResult probe = mactest::probeMovie(folder.file("short.mov"));
    EXPECT_EQ(probe.frames, 6);
    EXPECT_NEAR(probe.duration, 0.6, 0.01);

    MovieCapturer one(clock);
    one.setFilePath(folder.file("one.mov"));
    record(one, clock, 1, 0ms);
    ASSERT_TRUE(one.endRecording());
    probe = mactest::probeMovie(folder.file("one.mov"));
    EXPECT_EQ(probe.frames, 1);
    EXPECT_GT(probe.duration, 0.0);
}

TEST(MovieCapturerTest, ANameTakenOrAFolderMissingRefusesTheStartWithTheReason)
{
    TempFolder folder;
    const std::string taken = folder.write("taken.mov", "an earlier movie");
    FakeClock clock(2024, 3, 5);
    MovieCapturer onTaken(clock);
    onTaken.setFilePath(taken);
    EXPECT_FALSE(onTaken.startRecording());
    EXPECT_EQ(onTaken.lastError(), AVERROR(EEXIST));
    EXPECT_EQ(varnolet::test::readFile(taken), "an earlier movie");

    MovieCapturer nowhere(clock);
    nowhere.setFilePath(folder.file("no such folder/movie.mov"));
    EXPECT_FALSE(nowhere.startRecording());
    EXPECT_EQ(nowhere.lastErrorText(), "No such file or directory");
}

TEST(MovieCapturerTest, ADestroyedCapturerStillFinishesItsMovie)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    {
        MovieCapturer capturer(clock);
        capturer.setFilePath(folder.file("left.mov"));
        record(capturer, clock, 30, 1450ms);
    }
    EXPECT_EQ(mactest::probeMovie(folder.file("left.mov")).frames, 30);
}

TEST(MovieCapturerTest, UnfinishedMoviesInTheFolderAndItsSubFoldersAreFinished)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    folder.makeFolder("001");
    // Two recordings as a kill leaves them: copies of hidden files still being written.
    for (const std::string name : {"M20240305_001.mov", "001/Movie0001.mov"}) {
        MovieCapturer capturer(clock);
        capturer.setFilePath(folder.file(name));
        record(capturer, clock, 40, 1950ms);
        const std::string hidden = capturer.temporaryPath();
        const std::string copy = hidden.substr(0, hidden.rfind('/') + 1) + ".copy-" +
                                 name.substr(name.rfind('/') + 1) + ".recording";
        std::filesystem::copy_file(hidden, copy);
    }
    const std::vector<std::string> kept = MovieCapturer::recoverUnfinishedMovies(folder.path());
    EXPECT_EQ(kept, (std::vector<std::string>{folder.file("copy-M20240305_001.mov"),
                                              folder.file("001/copy-Movie0001.mov")}));
    for (const std::string &path : kept)
        EXPECT_GE(mactest::probeMovie(path).frames, 20);
    EXPECT_TRUE(MovieCapturer::recoverUnfinishedMovies(folder.path()).empty()) << "only once";
}
