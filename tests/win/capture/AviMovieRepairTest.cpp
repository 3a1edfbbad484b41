#include "win/capture/AviMovieRepair.h"

#include "platform/media/AviMpeg4Writer.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/TestSupport.h"
#include "win/capture/MemoryRepairFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <gtest/gtest.h>

using varnolet::AviMpeg4Writer;
using varnolet::test::TempFolder;
using Outcome = AviMovieRepair::Outcome;

namespace {

constexpr int kFrames = 24;
constexpr int kRate = 12;

uint32_t le32At(const std::string &bytes, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A movie as a kill leaves it: written by the program's writer, copied while the writer
// still has it open (header and frames on disk, no index, placeholder sizes).
std::string unfinishedMovie(const TempFolder &folder)
{
    const std::string path = folder.file("open.avi");
    AviMpeg4Writer writer;
    AviMpeg4Writer::Options options;
    options.framesPerSecond = kRate;
    EXPECT_EQ(writer.open(path, 64, 48, options), 0);
    for (int i = 0; i < kFrames; ++i)
        EXPECT_EQ(writer.writeFrame(varnolet::test::makeTestFrame(64, 48, i).data()), 0);
    const std::string bytes = varnolet::test::readFile(path);
    writer.close();
    return bytes;
}

// How many frames the unfinished movie holds (the encoder may still have held the last).
int framesOf(const TempFolder &folder, const std::string &bytes);

// Where the last frame chunk ("00dc") of a movie starts.
size_t lastChunkOffset(const std::string &bytes)
{
    return bytes.rfind("00dc");
}

using Probe = varnolet::test::FfprobeCount;

Probe ffprobe(const std::string &path)
{
    return varnolet::test::ffprobeCount(path);
}

int framesOf(const TempFolder &folder, const std::string &bytes)
{
    const std::string path = folder.file("probe.avi");
    writeFile(path, bytes);
    return static_cast<int>(ffprobe(path).frames);
}

// The interrupted file, as each kind of kill leaves it.
struct KillCase
{
    const char *name;
    std::function<std::string(const std::string &)> cut;
    int framesLost;
};

std::vector<KillCase> killCases()
{
    return {
        {"as left", [](const std::string &b) { return b; }, 0},
        {"partial last chunk",
         [](const std::string &b) { return b.substr(0, lastChunkOffset(b) + 8 + 20); }, 1},
        {"partial chunk header",
         [](const std::string &b) { return b.substr(0, lastChunkOffset(b) + 5); }, 1},
        {"zero bytes of a power loss",
         [](const std::string &b) { return b + std::string(6000, '\0'); }, 0},
        {"interrupted index",
         [](const std::string &b) {
             return b + std::string("idx1\x80\x01\0\0"
                                    "00dc",
                                    12);
         },
         0},
    };
}

} // namespace

TEST(AviMovieRepairTest, KilledRecordingPlaysAgainWithEveryWholeFrame)
{
    TempFolder folder;
    const std::string left = unfinishedMovie(folder);
    ASSERT_TRUE(AviMovieRepair::LooksUnfinished(reinterpret_cast<const uint8_t *>(left.data()),
                                                left.size()));
    const int framesLeft = framesOf(folder, left);
    ASSERT_GE(framesLeft, kFrames - 2); // the frames are there, only the index is not
    for (const KillCase &c : killCases()) {
        SCOPED_TRACE(c.name);
        const int framesKept = framesLeft - c.framesLost;
        MemoryRepairFile file(c.cut(left));
        // Recorded over 4 s: 24 frames give 6 frames per second.
        const AviMovieRepair::Result result = AviMovieRepair::Repair(file, 4000);
        ASSERT_EQ(result.outcome, Outcome::Repaired) << result.reason;
        EXPECT_EQ(result.frames, uint32_t(framesKept));
        EXPECT_EQ(result.rate, uint32_t(framesKept * 1000 / 4000));
        const std::string &out = file.Bytes();
        EXPECT_EQ(le32At(out, 4), out.size() - 8);
        EXPECT_EQ(le32At(out, AviMpeg4Writer::kRateOffset), result.rate);
        EXPECT_EQ(le32At(out, 48), result.frames);  // main header's frame count
        EXPECT_EQ(le32At(out, 140), result.frames); // stream length

        const std::string path = folder.file("repaired.avi");
        writeFile(path, out);
        const Probe probe = ffprobe(path);
        EXPECT_EQ(probe.frames, framesKept);
        EXPECT_NEAR(probe.duration, double(framesKept) / result.rate, 0.01);
    }
}

TEST(AviMovieRepairTest, RateIsTheHeadersWhenTheRecordingTimeIsUnknownOrImplausible)
{
    TempFolder folder;
    const std::string left = unfinishedMovie(folder);
    const uint32_t frames = static_cast<uint32_t>(framesOf(folder, left));
    const std::map<std::optional<uint64_t>, uint32_t> cases = {
        {std::nullopt, kRate}, // unknown
        {0, kRate},            // no time
        {500, kRate},          // 40 fps or more from a 12 fps camera: not this recording's times
        {2000, frames / 2},
        {3000, frames / 3},
        {480000, 1}, // below one frame per second: the slowest the header takes
    };
    for (const auto &[recorded, rate] : cases) {
        MemoryRepairFile file(left);
        EXPECT_EQ(AviMovieRepair::Repair(file, recorded).rate, rate)
            << recorded.value_or(UINT64_MAX);
    }
}

TEST(AviMovieRepairTest, WhatIsNotAnInterruptedRecordingIsLeftUntouched)
{
    TempFolder folder;
    const std::string left = unfinishedMovie(folder);
    const size_t last = lastChunkOffset(left);
    std::string closed = left;
    {
        MemoryRepairFile file(left);
        ASSERT_EQ(AviMovieRepair::Repair(file, std::nullopt).outcome, Outcome::Repaired);
        closed = file.Bytes();
    }
    auto with = [&](size_t offset, const std::string &bytes) {
        std::string b = left;
        b.replace(offset, bytes.size(), bytes);
        return b;
    };
    const std::vector<std::pair<const char *, std::string>> cases = {
        {"a finished movie", closed},
        {"not a movie", std::string("RIFF\xff\xff\xff\xff"
                                    "WAVEfmt ",
                                    16) +
                            std::string(100, 'x')},
        {"garbage chunk followed by data", with(last, "ab\x01z")},
        {"a second stream's chunk", with(last, "01wb")},
        {"an OpenDML index", with(last, "ix00")},
        {"header list longer than the file", with(16, "\xff\xff\xff\x7f")},
        {"no movie list", left.substr(0, left.find("movi") - 8)},
        {"truncated header", left.substr(0, 60)},
    };
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        MemoryRepairFile file(bytes);
        const AviMovieRepair::Result result = AviMovieRepair::Repair(file, 4000);
        EXPECT_NE(result.outcome, Outcome::Repaired);
        EXPECT_EQ(file.writes, 0);
        EXPECT_EQ(file.Bytes(), bytes);
    }
    // No room for the index: nothing written either.
    MemoryRepairFile full(left, 16);
    EXPECT_EQ(AviMovieRepair::Repair(full, 4000).outcome, Outcome::Failed);
    EXPECT_EQ(full.Bytes(), left);
}

namespace {

// A file whose process dies after a number of writes: later writes are lost.
class DyingFile final : public IMovieRepairFile
{
public:
    DyingFile(MemoryRepairFile &file, int writesBeforeDeath)
        : m_file(file)
        , m_left(writesBeforeDeath)
    {
    }
    uint64_t Size() const override { return m_file.Size(); }
    bool Read(uint64_t o, void *b, size_t l) const override { return m_file.Read(o, b, l); }
    bool Write(uint64_t o, const void *b, size_t l) override
    {
        return m_left-- > 0 && m_file.Write(o, b, l);
    }
    bool Truncate(uint64_t l) override { return m_left > 0 && m_file.Truncate(l); }
    bool Sync() override { return true; }
    uint64_t AvailableBytes() const override { return m_file.AvailableBytes(); }

private:
    MemoryRepairFile &m_file;
    int m_left;
};

} // namespace

TEST(AviMovieRepairTest, RepairInterruptedAtAnyWriteIsFinishedByTheNextStart)
{
    TempFolder folder;
    const std::string left = unfinishedMovie(folder);
    const std::string cutLeft = left.substr(0, lastChunkOffset(left) + 30);
    MemoryRepairFile whole(cutLeft);
    ASSERT_EQ(AviMovieRepair::Repair(whole, 4000).outcome, Outcome::Repaired);
    const int writes = whole.writes;
    ASSERT_GT(writes, 3);
    for (int death = 0; death < writes; ++death) {
        SCOPED_TRACE(death);
        MemoryRepairFile file(cutLeft);
        DyingFile dying(file, death);
        EXPECT_NE(AviMovieRepair::Repair(dying, 4000).outcome, Outcome::Repaired);
        // The next start finds the movie unfinished still and repairs it the same way.
        const AviMovieRepair::Result again = AviMovieRepair::Repair(file, 4000);
        EXPECT_EQ(again.outcome, Outcome::Repaired) << again.reason;
        EXPECT_EQ(again.frames, le32At(whole.Bytes(), 48));
        EXPECT_EQ(file.Bytes(), whole.Bytes());
    }
}

TEST(AviMovieRepairTest, StartUpRepairsTheUnfinishedMoviesOfBothFolderSchemes)
{
    TempFolder folder;
    const std::string left = unfinishedMovie(folder);
    const std::string movies = folder.file("Movies");
    folder.makeFolder("Movies/20261209/000");
    const std::string flat = movies + "/M20261209_0001.avi";
    const std::string perDay = movies + "/20261209/000/Movie0000.avi";
    const std::string recent = movies + "/M20261210_0001.avi";
    const std::string other = movies + "/notes.txt";
    writeFile(flat, left.substr(0, lastChunkOffset(left) + 11));
    writeFile(perDay, left);
    writeFile(recent, left);
    writeFile(other, left);
    ::symlink(flat.c_str(), (movies + "/link.avi").c_str());
    const auto now = std::chrono::system_clock::now();
    const time_t anHourAgo = std::chrono::system_clock::to_time_t(now) - 3600;
    const utimbuf times{anHourAgo, anHourAgo};
    for (const std::string &path : {flat, perDay, other})
        ::utime(path.c_str(), &times);

    const int framesLeft = framesOf(folder, left);
    const std::vector<RepairedMovie> repaired = RepairUnfinishedMovies(movies, now);
    ASSERT_EQ(repaired.size(), 2u);
    EXPECT_EQ(repaired[0].path, perDay);
    EXPECT_EQ(repaired[0].frames, uint32_t(framesLeft));
    EXPECT_EQ(repaired[1].path, flat);
    EXPECT_EQ(repaired[1].frames, uint32_t(framesLeft - 1));
    EXPECT_EQ(ffprobe(flat).frames, framesLeft - 1);
    EXPECT_EQ(ffprobe(perDay).frames, framesLeft);
    // Still being written (changed a moment ago), and not a movie: left alone.
    EXPECT_EQ(varnolet::test::readFile(recent), left);
    EXPECT_EQ(varnolet::test::readFile(other), left);
    EXPECT_TRUE(RepairUnfinishedMovies(movies, now).empty());
}

TEST(AviMovieRepairTest, AWriterKilledMidRecordingLeavesAMovieTheRepairFinishes)
{
    TempFolder folder;
    const std::string path = folder.file("M20261209_0001.avi");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The recording process: frames as fast as it can, until it is killed.
        AviMpeg4Writer writer;
        AviMpeg4Writer::Options options;
        options.framesPerSecond = kRate;
        if (writer.open(path, 64, 48, options) != 0)
            ::_exit(1);
        for (int i = 0;; ++i)
            writer.writeFrame(varnolet::test::makeTestFrame(64, 48, i % 50).data());
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    struct stat st
    {
    };
    while ((::stat(path.c_str(), &st) != 0 || st.st_size < 200 * 1024) &&
           std::chrono::steady_clock::now() < deadline)
        ::usleep(2000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(st.st_size, 200 * 1024);

    const std::string left = varnolet::test::readFile(path);
    ASSERT_TRUE(AviMovieRepair::LooksUnfinished(reinterpret_cast<const uint8_t *>(left.data()),
                                                left.size()));
    const uint32_t chunks = static_cast<uint32_t>(framesOf(folder, left));
    const AviMovieRepair::Result result = RepairMovieFile(path);
    ASSERT_EQ(result.outcome, Outcome::Repaired) << result.reason;
    // Every whole frame is kept; at most the one being written when the kill came is lost.
    EXPECT_GE(result.frames + 1, chunks);
    const Probe probe = ffprobe(path);
    EXPECT_EQ(probe.frames, long(result.frames));
    EXPECT_NEAR(probe.duration, double(result.frames) / result.rate, 0.01);
    EXPECT_EQ(RepairMovieFile(path).outcome, Outcome::Finished);
}
