#include "platform/media/MovieFrameReader.h"
#include "platform/media/QuickTimeMovieWriter.h"
#include "tests/platform/media/MovieProbe.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace varnolet;
using namespace varnolet::test;

TEST(QuickTimeMovieWriter, FramesFillTheRecordedDuration)
{
    TempFolder folder;
    const std::string path = folder.file("movie.mov");
    QuickTimeMovieWriter writer;
    ASSERT_EQ(writer.start(), 0);
    const std::string temporary = writer.temporaryPath();
    EXPECT_TRUE(fileExists(temporary));
    EXPECT_EQ(writer.videoBytes(), 0u);
    for (int i = 0; i < 100; ++i) {
        const auto frame = makeTestFrame(320, 240, i);
        ASSERT_EQ(writer.addFrame(frame.data(), 320, 240, true), 0);
    }
    EXPECT_EQ(writer.framesAdded(), 100);
    const uint64_t bytes = writer.videoBytes();
    EXPECT_GT(bytes, 0u);
    // 10.6 s of recording, whole seconds: 10 × 600 units.
    ASSERT_EQ(writer.finish(path, 10 * QuickTimeMovieWriter::kTimeScale), 0);

    const MovieProbe probe = probeMovie(path);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.codecTag, QuickTimeMovieWriter::kCodecTag);
    EXPECT_EQ(probe.codecName, "mpeg4");
    EXPECT_EQ(probe.timeBaseDen, 600);
    EXPECT_EQ(probe.packets, 100);
    EXPECT_EQ(probe.decodedFrames, 100);
    EXPECT_EQ(probe.firstPacketDuration, 60); // 1/10 s
    EXPECT_NEAR(probe.durationSeconds, 10.0, 1e-9);
    EXPECT_EQ(probe.packetBytes, bytes);

    BgrImage first;
    ASSERT_EQ(MovieFrameReader::readFirstFrame(path, first), 0);
    EXPECT_GT(first.row(5)[3 * 100 + 2], 170) << "upright: red on top";
}

TEST(QuickTimeMovieWriter, FramesOfAnotherSizeAreScaledAndNominalDurationKept)
{
    TempFolder folder;
    const std::string path = folder.file("mixed.mov");
    QuickTimeMovieWriter writer; // no start(): the first frame starts the movie
    const auto large = makeTestFrame(640, 480);
    const auto small = makeTestFrame(320, 240);
    ASSERT_EQ(writer.addFrame(small.data(), 320, 240, true), 0);
    ASSERT_EQ(writer.addFrame(large.data(), 640, 480, true), 0);
    ASSERT_EQ(writer.finish(path, 0), 0);
    const MovieProbe probe = probeMovie(path);
    EXPECT_EQ(probe.width, 320);
    EXPECT_EQ(probe.decodedFrames, 2);
    EXPECT_NEAR(probe.durationSeconds, 2 * 30 / 600.0, 1e-9);
}

TEST(QuickTimeMovieWriter, NothingAddedOrPathTakenLeavesNoFile)
{
    TempFolder folder;
    std::string temporary;
    {
        QuickTimeMovieWriter writer;
        ASSERT_EQ(writer.start(), 0);
        temporary = writer.temporaryPath();
        EXPECT_EQ(writer.finish(folder.file("empty.mov"), 600), AVERROR(ENODATA));
        EXPECT_FALSE(fileExists(folder.file("empty.mov")));
    }
    EXPECT_FALSE(fileExists(temporary)) << "temporary movie removed with the writer";

    const std::string taken = folder.write("taken.mov", "keep me");
    QuickTimeMovieWriter writer;
    const auto frame = makeTestFrame(160, 120);
    ASSERT_EQ(writer.addFrame(frame.data(), 160, 120, true), 0);
    EXPECT_EQ(writer.finish(taken, 600), AVERROR(EEXIST));
    EXPECT_EQ(readFile(taken), "keep me");
}
