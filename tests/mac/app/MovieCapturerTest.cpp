#include <gtest/gtest.h>

#include <QDir>

#include "mac/app/MovieCapturer.h"
#include "mac/app/SystemLog.h"
#include "tests/support/FakeClock.h"
#include "tests/mac/app/MacTestFrames.h"
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

TEST(MovieCapturerTest, HundredImagesOverTenPointSixSecondsMakeATenSecondMovie)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5, 10, 0, 0);
    MovieCapturer capturer(clock);
    ASSERT_TRUE(capturer.startRecording());
    const std::string temporary = capturer.temporaryPath();
    EXPECT_TRUE(varnolet::test::fileExists(temporary));
    const std::string path = folder.file("M20240305_001.mov");
    capturer.setFilePath(path);
    EXPECT_EQ(capturer.moviePath(), path);

    // 99 steps of 107 ms: the last image comes 10.593 s after the first.
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
    EXPECT_EQ(capturer.moviePath(), path);
    EXPECT_FALSE(capturer.isBuilding());
    EXPECT_FALSE(varnolet::test::fileExists(temporary)); // the temporary storage is gone
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines().front(), "captured 100 frames in 10.700000 seconds.");

    const mactest::ProbeResult probe = mactest::probeMovie(path);
    EXPECT_NEAR(probe.duration, 10.0, 0.01);
    EXPECT_EQ(probe.frames, 100);
    EXPECT_EQ(probe.codecTag, "mp4v");
    EXPECT_EQ(probe.codecName, "mpeg4");
}

TEST(MovieCapturerTest, NothingCountsBeforeTheFirstImageAndANullImageAddsNothing)
{
    FakeClock clock(2024, 3, 5);
    MovieCapturer capturer(clock);
    {
        ScopedLogCapture log;
        EXPECT_EQ(capturer.savingFileSize(), 0u);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0], "size is 0");
    }
    capturer.addImageToMovie(nullptr);
    EXPECT_EQ(capturer.framesCaptured(), 0);
    EXPECT_TRUE(capturer.isBuilding()); // the movie was made, nothing added
    EXPECT_EQ(capturer.savingFileSize(), 0u);

    TempFolder folder;
    capturer.setFilePath(folder.file("empty.mov"));
    EXPECT_FALSE(capturer.endRecording()); // no frame, no file
    EXPECT_FALSE(varnolet::test::fileExists(folder.file("empty.mov")));
    EXPECT_FALSE(capturer.writtenMovie());
}

TEST(MovieCapturerTest, RecordingShorterThanOneSecondStillPlaysEveryFrame)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    MovieCapturer capturer(clock);
    capturer.setFilePath(folder.file("short.mov"));
    record(capturer, clock, 6, 500ms);
    clock.advance(100ms); // 0.6 s in all
    ASSERT_TRUE(capturer.endRecording());
    const mactest::ProbeResult probe = mactest::probeMovie(folder.file("short.mov"));
    EXPECT_EQ(probe.frames, 6);
    EXPECT_NEAR(probe.duration, 0.6, 0.01);
}

TEST(MovieCapturerTest, SingleImageGivesAPlayableMovie)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    MovieCapturer capturer(clock);
    capturer.setFilePath(folder.file("one.mov"));
    record(capturer, clock, 1, 0ms);
    ASSERT_TRUE(capturer.endRecording());
    const mactest::ProbeResult probe = mactest::probeMovie(folder.file("one.mov"));
    EXPECT_EQ(probe.frames, 1);
    EXPECT_GT(probe.duration, 0.0);
}

TEST(MovieCapturerTest, FailedFinishLeavesNothingAtThePathAndRemovesTheTemporaryMovie)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    MovieCapturer capturer(clock);
    capturer.setFilePath(folder.file("no such folder/movie.mov"));
    record(capturer, clock, 10, 2000ms);
    const std::string temporary = capturer.temporaryPath();
    ASSERT_TRUE(varnolet::test::fileExists(temporary));
    EXPECT_FALSE(capturer.endRecording());
    EXPECT_FALSE(varnolet::test::fileExists(folder.file("no such folder/movie.mov")));
    EXPECT_FALSE(varnolet::test::fileExists(temporary));
    EXPECT_LT(capturer.lastError(), 0);
}

TEST(MovieCapturerTest, AnExistingFileIsNeverReplaced)
{
    TempFolder folder;
    const std::string path = folder.write("taken.mov", "an earlier movie");
    FakeClock clock(2024, 3, 5);
    MovieCapturer capturer(clock);
    capturer.setFilePath(path);
    record(capturer, clock, 5, 2000ms);
    EXPECT_FALSE(capturer.endRecording());
    EXPECT_EQ(varnolet::test::readFile(path), "an earlier movie");
    // Nothing half-written beside it either.
    EXPECT_EQ(
        QDir(QString::fromStdString(folder.path())).entryList(QDir::Files | QDir::Hidden).size(),
        1);
}

TEST(MovieCapturerTest, SaveMovieKeepsTheNominalTwentiethOfASecondPerImage)
{
    TempFolder folder;
    FakeClock clock(2024, 3, 5);
    MovieCapturer capturer(clock);
    EXPECT_FALSE(capturer.saveMovie()); // no movie yet
    capturer.setFilePath(folder.file("nominal.mov"));
    record(capturer, clock, 40, 9000ms);
    ASSERT_TRUE(capturer.saveMovie());
    const mactest::ProbeResult probe = mactest::probeMovie(folder.file("nominal.mov"));
    EXPECT_EQ(probe.frames, 40);
    EXPECT_NEAR(probe.duration, 2.0, 0.01);
}

TEST(MovieCapturerTest, DestroyingAnUnfinishedCapturerRemovesItsTemporaryMovie)
{
    FakeClock clock(2024, 3, 5);
    std::string temporary;
    {
        MovieCapturer capturer(clock);
        record(capturer, clock, 3, 1000ms);
        temporary = capturer.temporaryPath();
        ASSERT_TRUE(varnolet::test::fileExists(temporary));
    }
    EXPECT_FALSE(varnolet::test::fileExists(temporary));
}
