#include "platform/media/AviMpeg4Writer.h"
#include "platform/media/MovieFrameReader.h"
#include "tests/platform/media/MovieProbe.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace varnolet::test;

namespace {

void writeFrames(AviMpeg4Writer &writer, int width, int height, int count)
{
    for (int i = 0; i < count; ++i) {
        const auto frame = makeTestFrame(width, height, i);
        ASSERT_EQ(writer.writeFrame(frame.data()), 0);
    }
}

} // namespace

TEST(AviMpeg4Writer, FileReadsBackAsXvidWithEveryFrame)
{
    TempFolder folder;
    const std::string path = folder.file("movie.avi");
    AviMpeg4Writer writer;
    ASSERT_EQ(writer.open(path, 320, 240), 0);
    uint64_t sum = 0;
    for (int i = 0; i < 25; ++i) {
        const auto frame = makeTestFrame(320, 240, i);
        ASSERT_EQ(writer.writeFrame(frame.data()), 0);
        EXPECT_GT(writer.lastPacketSize(), 0) << "a packet per frame, at once";
        sum += static_cast<uint64_t>(writer.lastPacketSize());
    }
    EXPECT_EQ(writer.totalPacketBytes(), sum);
    EXPECT_EQ(writer.framesWritten(), 25);
    ASSERT_EQ(writer.close(), 0);

    const MovieProbe probe = probeMovie(path);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.container, "avi");
    EXPECT_EQ(probe.codecTag, AviMpeg4Writer::kCodecTag);
    EXPECT_EQ(probe.codecName, "mpeg4");
    EXPECT_EQ(probe.width, 320);
    EXPECT_EQ(probe.height, 240);
    EXPECT_EQ(probe.packets, 25);
    EXPECT_EQ(probe.keyPackets, 25);
    EXPECT_EQ(probe.decodedFrames, 25);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_EQ(probe.packetBytes, sum);
}

TEST(AviMpeg4Writer, HeaderPutsStreamRateAtOffset132)
{
    TempFolder folder;
    const std::string path = folder.file("rate.avi");
    AviMpeg4Writer writer;
    AviMpeg4Writer::Options options;
    options.framesPerSecond = 12;
    ASSERT_EQ(writer.open(path, 160, 120, options), 0);
    writeFrames(writer, 160, 120, 3);
    ASSERT_EQ(writer.close(), 0);

    EXPECT_EQ(readFourCc(path, 0), "RIFF");
    EXPECT_EQ(readFourCc(path, 8), "AVI ");
    EXPECT_EQ(readFourCc(path, 12), "LIST");
    EXPECT_EQ(readFourCc(path, 20), "hdrl");
    EXPECT_EQ(readFourCc(path, 24), "avih");
    EXPECT_EQ(readLe32(path, 28), 56u);
    EXPECT_EQ(readFourCc(path, 88), "LIST");
    EXPECT_EQ(readFourCc(path, 96), "strl");
    EXPECT_EQ(readFourCc(path, 100), "strh");
    EXPECT_EQ(readFourCc(path, 108), "vids");
    EXPECT_EQ(readFourCc(path, 112), "XVID");
    EXPECT_EQ(readLe32(path, 128), 1u);  // scale
    EXPECT_EQ(readLe32(path, 132), 12u); // rate
    EXPECT_EQ(readLe32(path, 140), 3u);  // length in frames
}

TEST(AviMpeg4Writer, FirstFrameReadsBackUpright)
{
    TempFolder folder;
    const std::string path = folder.file("first.avi");
    AviMpeg4Writer writer;
    ASSERT_EQ(writer.open(path, 320, 240), 0);
    writeFrames(writer, 320, 240, 4);
    ASSERT_EQ(writer.close(), 0);

    BgrImage image;
    ASSERT_EQ(MovieFrameReader::readFirstFrame(path, image, false), 0);
    ASSERT_EQ(image.width, 320);
    ASSERT_EQ(image.height, 240);
    EXPECT_FALSE(image.bottomUp);
    const uint8_t *top = image.row(10) + 3 * 200;
    const uint8_t *bottom = image.row(230) + 3 * 200;
    EXPECT_GT(top[2], 170);
    EXPECT_LT(top[0], 80);
    EXPECT_GT(bottom[0], 170);
    EXPECT_LT(bottom[2], 80);
    EXPECT_GT(image.row(120)[3 * 3 + 1], 150) << "frame 0's green bar at x 0..7";

    BgrImage flipped;
    ASSERT_EQ(MovieFrameReader::readFirstFrame(path, flipped, true), 0);
    EXPECT_TRUE(flipped.bottomUp);
    EXPECT_GT(flipped.pixels[3 * 200], 170); // first memory row is the blue bottom
}

TEST(AviMpeg4Writer, FirstFrameReaderRefusesNonMovies)
{
    TempFolder folder;
    BgrImage image;
    EXPECT_LT(MovieFrameReader::readFirstFrame(folder.write("x.avi", "RIFF....AVI garbage"), image),
              0);
    EXPECT_LT(MovieFrameReader::readFirstFrame(folder.file("absent.avi"), image), 0);
    EXPECT_TRUE(image.isEmpty());
}

TEST(AviMpeg4Writer, UnwritableFileFailsAtFileStage)
{
    TempFolder folder;
    const std::string plain = folder.write("plain", "x");
    AviMpeg4Writer writer;
    const int result = writer.open(plain + "/movie.avi", 320, 240);
    EXPECT_EQ(result, AVERROR(ENOTDIR));
    EXPECT_EQ(writer.failedStage(), AviMpeg4Writer::Stage::File);
    const auto frame = makeTestFrame(320, 240);
    EXPECT_EQ(writer.writeFrame(frame.data()), result) << "failure is latched";
    EXPECT_EQ(writer.close(), result);
}

TEST(AviMpeg4Writer, MissingEncoderFailsAtEncoderStage)
{
    TempFolder folder;
    AviMpeg4Writer writer;
    AviMpeg4Writer::Options options;
    options.encoderName = "no-such-encoder";
    EXPECT_EQ(writer.open(folder.file("m.avi"), 320, 240, options), AVERROR_ENCODER_NOT_FOUND);
    EXPECT_EQ(writer.failedStage(), AviMpeg4Writer::Stage::Encoder);
    EXPECT_EQ(writer.framesWritten(), 0);
}

TEST(AviMpeg4Writer, ClosedEarlyStillPlays)
{
    // A writer destroyed without close() still leaves a complete file.
    TempFolder folder;
    const std::string path = folder.file("early.avi");
    {
        AviMpeg4Writer writer;
        ASSERT_EQ(writer.open(path, 160, 120), 0);
        writeFrames(writer, 160, 120, 5);
    }
    const MovieProbe probe = probeMovie(path);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.decodedFrames, 5);
    EXPECT_EQ(readLe32(path, 140), 5u);
}

// Writing more than 1 GB takes tens of seconds; run with VARNOLET_LARGE_MEDIA_TESTS=1.
TEST(AviMpeg4Writer, FilesBeyondOneGigabyteStayReadable)
{
    if (!std::getenv("VARNOLET_LARGE_MEDIA_TESTS"))
        GTEST_SKIP() << "set VARNOLET_LARGE_MEDIA_TESTS=1";
    TempFolder folder;
    const std::string path = folder.file("large.avi");
    AviMpeg4Writer writer;
    AviMpeg4Writer::Options options;
    options.quantizer = 1;
    const int width = 1920;
    const int height = 1440;
    ASSERT_EQ(writer.open(path, width, height, options), 0);
    // A few noise pictures, used in turn: intra frames stay as large as the first.
    std::vector<std::vector<uint8_t>> noise(
        4, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3));
    uint32_t state = 12345;
    for (auto &picture : noise)
        for (auto &byte : picture) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<uint8_t>(state >> 24);
        }
    int frames = 0;
    while (writer.totalPacketBytes() < 1100ull * 1024 * 1024) {
        ASSERT_EQ(writer.writeFrame(noise[frames % noise.size()].data()), 0);
        ++frames;
    }
    ASSERT_EQ(writer.close(), 0);
    EXPECT_EQ(readLe32(path, 132), 12u);
    // OpenDML: the first RIFF stays below 1 GB and an AVIX RIFF follows it.
    const long firstRiffEnd = 8 + static_cast<long>(readLe32(path, 4));
    EXPECT_LT(firstRiffEnd, 1100L * 1024 * 1024);
    EXPECT_EQ(readFourCc(path, firstRiffEnd), "RIFF");
    EXPECT_EQ(readFourCc(path, firstRiffEnd + 8), "AVIX");
    const MovieProbe probe = probeMovie(path);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.packets, frames);
    EXPECT_EQ(probe.decodedFrames, frames);
}

TEST(AviMpeg4Writer, FirstFrameReaderDoesNotFollowScriptsToOtherFiles)
{
    TempFolder folder;
    const std::string real = folder.file("real.avi");
    {
        AviMpeg4Writer writer;
        ASSERT_EQ(writer.open(real, 64, 48), 0);
        writeFrames(writer, 64, 48, 2);
        ASSERT_EQ(writer.close(), 0);
    }
    BgrImage image;
    ASSERT_EQ(MovieFrameReader::readFirstFrame(real, image), 0);

    // Text files dressed up as movies that name the real one: nothing may be read through them.
    const std::string concat =
        folder.write("concat.avi", "ffconcat version 1.0\nfile '" + real + "'\n");
    const std::string playlist = folder.write(
        "list.avi", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + real + "\n#EXT-X-ENDLIST\n");
    EXPECT_LT(MovieFrameReader::readFirstFrame(concat, image), 0);
    EXPECT_TRUE(image.isEmpty());
    EXPECT_LT(MovieFrameReader::readFirstFrame(playlist, image), 0);
    EXPECT_TRUE(image.isEmpty());
}

TEST(AviMpeg4Writer, AFillingDiskEndsTheMovieWithWholeFramesAndItsIndex)
{
    TempFolder folder;
    const std::string path = folder.file("full.avi");
    // A disk with 400 KB for this file: free space is what the file has not used yet.
    constexpr uint64_t kDisk = 400 * 1024;
    AviMpeg4Writer::Options options;
    options.framesPerSecond = 30;
    options.availableBytes = [&path] {
        std::error_code ec;
        const uint64_t used = std::filesystem::file_size(path, ec);
        return used < kDisk ? kDisk - used : 0;
    };
    AviMpeg4Writer writer;
    ASSERT_EQ(writer.open(path, 320, 240, options), 0);
    int written = 0;
    int result = 0;
    for (int i = 0; i < 1000 && result == 0; ++i) {
        const auto frame = makeTestFrame(320, 240, i);
        result = writer.writeFrame(frame.data());
        if (result == 0)
            ++written;
    }
    ASSERT_EQ(result, AVERROR(ENOSPC)) << "the disk fills up";
    ASSERT_GT(written, 3);
    EXPECT_EQ(writer.close(), AVERROR(ENOSPC)) << "the file's first error stays its result";
    EXPECT_LE(std::filesystem::file_size(path), kDisk) << "the trailer fitted";

    const MovieProbe probe = probeMovie(path);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.packets, written) << "every whole frame, no torn one";
    EXPECT_EQ(probe.decodedFrames, written);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_NEAR(probe.durationSeconds, written / 30.0, 0.01) << "the index was written";
}
