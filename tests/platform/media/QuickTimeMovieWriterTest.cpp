#include "platform/media/MovieFrameReader.h"
#include "platform/media/QuickTimeFragmentScan.h"
#include "platform/media/QuickTimeMovieWriter.h"
#include "tests/platform/media/MovieProbe.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace varnolet;
using namespace varnolet::test;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Frames at a steady 20 per second (30 units each) from frame `first` on.
int addFrames(QuickTimeMovieWriter &writer, int first, int count)
{
    for (int i = first; i < first + count; ++i) {
        const auto frame = makeTestFrame(kWidth, kHeight, i);
        const int result = writer.addFrame(frame.data(), kWidth, kHeight, true,
                                           int64_t{i} * QuickTimeMovieWriter::kFrameDuration);
        if (result != 0)
            return result;
    }
    return 0;
}

std::vector<std::string> entries(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto &entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(QuickTimeMovieWriter, FramesKeepTheirCaptureTimesAndTheMovieLastsTheTimeRecorded)
{
    TempFolder folder;
    const std::string path = folder.file("movie.mov");
    QuickTimeMovieWriter writer;
    ASSERT_EQ(writer.start(path), 0);
    // While recording: the name is reserved (empty) and the movie grows beside it, hidden.
    EXPECT_EQ(entries(folder.path()),
              (std::vector<std::string>{".movie.mov.recording", "movie.mov"}));
    EXPECT_EQ(readFile(path), "");
    // 100 frames 107 ms apart (64.2 units), then the stop 107 ms after the last.
    for (int i = 0; i < 100; ++i) {
        const auto frame = makeTestFrame(320, 240, i);
        ASSERT_EQ(writer.addFrame(frame.data(), 320, 240, true, std::llround(i * 0.107 * 600)), 0);
    }
    const uint64_t bytes = writer.videoBytes();
    EXPECT_GT(bytes, 0u);
    ASSERT_EQ(writer.finish(std::llround(10.7 * 600)), 0);
    EXPECT_EQ(writer.keptPath(), path);
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"movie.mov"});

    const MovieProbe probe = probeMovie(path);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.codecTag, QuickTimeMovieWriter::kCodecTag);
    EXPECT_EQ(probe.codecName, "mpeg4");
    EXPECT_EQ(probe.timeBaseDen, 600);
    EXPECT_EQ(probe.packets, 100);
    EXPECT_EQ(probe.decodedFrames, 100);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_NEAR(probe.durationSeconds, 10.7, 0.01);
    EXPECT_EQ(probe.packetBytes, bytes);

    BgrImage first;
    ASSERT_EQ(MovieFrameReader::readFirstFrame(path, first), 0);
    EXPECT_GT(first.row(5)[3 * 100 + 2], 170) << "upright: red on top";
}

TEST(QuickTimeMovieWriter, AReservedNameIsNeverTakenTwiceAndNothingIsLeftWithoutFrames)
{
    TempFolder folder;
    const std::string taken = folder.write("taken.mov", "keep me");
    QuickTimeMovieWriter refused;
    EXPECT_EQ(refused.start(taken), AVERROR(EEXIST));
    EXPECT_EQ(readFile(taken), "keep me");

    const std::string path = folder.file("M20240305_001.mov");
    QuickTimeMovieWriter first;
    QuickTimeMovieWriter second;
    ASSERT_EQ(first.start(path), 0);
    EXPECT_EQ(second.start(path), AVERROR(EEXIST)) << "a second recording picks another name";
    EXPECT_EQ(first.finish(600), AVERROR(ENODATA));
    EXPECT_TRUE(first.keptPath().empty());
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"taken.mov"});
}

TEST(QuickTimeMovieWriter, FramesOfAnotherSizeAreScaledToTheFirst)
{
    TempFolder folder;
    const std::string path = folder.file("mixed.mov");
    QuickTimeMovieWriter writer;
    ASSERT_EQ(writer.start(path), 0);
    const auto large = makeTestFrame(640, 480);
    const auto small = makeTestFrame(320, 240);
    ASSERT_EQ(writer.addFrame(small.data(), 320, 240, true), 0);
    ASSERT_EQ(writer.addFrame(large.data(), 640, 480, true), 0);
    ASSERT_EQ(writer.finish(-1), 0);
    const MovieProbe probe = probeMovie(path);
    EXPECT_EQ(probe.width, 320);
    EXPECT_EQ(probe.decodedFrames, 2);
    EXPECT_NEAR(probe.durationSeconds, 2 * 30 / 600.0, 1e-9);
}

// A fault in the middle of a recording: what was written before it stays a movie that plays.
struct Fault
{
    const char *name;
    // Runs after two seconds of frames; answers the error the writer then reports.
    std::function<int(const std::string &folder)> strike;
    int error;
    bool keptAtItsName;
};

class QuickTimeMovieWriterFault : public ::testing::TestWithParam<Fault>
{
};

TEST_P(QuickTimeMovieWriterFault, KeepsEverythingUpToTheFault)
{
    const Fault &fault = GetParam();
    TempFolder root;
    const std::string folder = root.file("Movies");
    ASSERT_TRUE(fs::create_directory(folder));
    const std::string path = folder + "/M20240305_001.mov";
    QuickTimeMovieWriter writer;
    ASSERT_EQ(writer.start(path), 0);
    ASSERT_EQ(addFrames(writer, 0, 40), 0);

    int result = 0;
    {
        // The limit applies to this process only while the fault lasts.
        std::optional<ScopedFileSizeLimit> limit;
        if (fault.error == AVERROR(EFBIG))
            limit.emplace(static_cast<uint64_t>(fs::file_size(writer.recordingPath()) + 4000));
        fault.strike(folder);
        int frame = 40;
        while ((result = addFrames(writer, frame, 1)) == 0 && frame < 120)
            ++frame;
        result = writer.finish(int64_t{frame + 1} * 30);
    }
    EXPECT_EQ(result, fault.error) << ffmpegErrorText(result);
    ASSERT_FALSE(writer.keptPath().empty());
    if (fault.keptAtItsName)
        EXPECT_EQ(writer.keptPath(), path);
    else
        EXPECT_EQ(writer.keptPath(), root.file("M20240305_001.mov"));
    const MovieProbe probe = probeMovie(writer.keptPath());
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.decodeErrors, 0);
    // Two seconds were recorded before the fault: at most the second in progress is lost.
    EXPECT_GE(probe.decodedFrames, 20);
    // Each frame keeps its 1/20 s.
    EXPECT_NEAR(probe.durationSeconds, probe.decodedFrames * 0.05, 0.051);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, QuickTimeMovieWriterFault,
    ::testing::Values(
        Fault{"FileSizeLimit", [](const std::string &) { return 0; }, AVERROR(EFBIG), true},
        Fault{"FolderRemoved",
              [](const std::string &folder) { return static_cast<int>(fs::remove_all(folder)); },
              AVERROR(ENOENT), true},
        Fault{"FolderReplacedByAFile",
              [](const std::string &folder) {
                  fs::remove_all(folder);
                  std::ofstream(folder) << "not a folder";
                  return 0;
              },
              AVERROR(ENOENT), false}),
    [](const ::testing::TestParamInfo<Fault> &info) { return info.param.name; });

TEST(QuickTimeMovieWriter, AKilledRecordingIsFinishedToWithinASecondOfTheKill)
{
    TempFolder folder;
    const std::string path = folder.file("M20240305_002.mov");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Three seconds of movie, then the recording waits for its end, which never comes.
        ::close(ready[0]);
        QuickTimeMovieWriter writer;
        if (writer.start(path) != 0 || addFrames(writer, 0, 60) != 0)
            ::_exit(1);
        const char done = 'k';
        if (::write(ready[1], &done, 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char done = 0;
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string recording = RecordingFile::recordingPathFor(path);
    const RecordingFile::Recovery recovery = RecordingFile::recover(recording);
    EXPECT_EQ(recovery.outcome, RecordingFile::Recovery::Outcome::Recovered);
    EXPECT_EQ(recovery.path, path);
    EXPECT_EQ(entries(folder.path()), std::vector<std::string>{"M20240305_002.mov"});
    const MovieProbe probe = probeMovie(path);
    EXPECT_EQ(probe.decodeErrors, 0);
    EXPECT_GE(probe.durationSeconds, 2.0) << "within a second of the 3 s recorded";
    EXPECT_NEAR(probe.durationSeconds, probe.decodedFrames * 0.05, 1e-6);
}

TEST(QuickTimeMovieWriter, RecoveryHandlesWhatADiskMayHold)
{
    using Outcome = RecordingFile::Recovery::Outcome;
    TempFolder folder;

    // Killed before its first fragment: the recording and its reservation go.
    folder.write("M1.mov", "");
    folder.write(".M1.mov.recording", "");
    EXPECT_EQ(RecordingFile::recover(folder.file(".M1.mov.recording")).outcome, Outcome::Removed);
    EXPECT_FALSE(fileExists(folder.file("M1.mov")));

    // Not a movie of ours: left alone.
    folder.write(".M2.mov.recording", "garbage that is no movie");
    EXPECT_EQ(RecordingFile::recover(folder.file(".M2.mov.recording")).outcome, Outcome::Failed);
    EXPECT_EQ(readFile(folder.file(".M2.mov.recording")), "garbage that is no movie");

    // Still being written (locked by its writer): left alone.
    QuickTimeMovieWriter live;
    ASSERT_EQ(live.start(folder.file("M3.mov")), 0);
    ASSERT_EQ(addFrames(live, 0, 30), 0);
    EXPECT_EQ(RecordingFile::recover(live.recordingPath()).outcome, Outcome::InUse);

    // Its name taken meanwhile by another file: the movie takes the next free one.
    const std::string copied = folder.file(".M4.mov.recording");
    fs::copy_file(live.recordingPath(), copied);
    folder.write("M4.mov", "someone else's");
    const RecordingFile::Recovery moved = RecordingFile::recover(copied);
    EXPECT_EQ(moved.outcome, Outcome::Recovered);
    EXPECT_EQ(moved.path, folder.file("M4-2.mov"));
    EXPECT_EQ(readFile(folder.file("M4.mov")), "someone else's");
    EXPECT_GE(probeMovie(moved.path).decodedFrames, 20);
    EXPECT_EQ(live.finish(-1), 0);

    EXPECT_EQ(RecordingFile::finalPathFor("/a/.M5.mov.recording"), "/a/M5.mov");
    EXPECT_EQ(RecordingFile::finalPathFor("/a/M5.mov.recording"), "");
    EXPECT_EQ(RecordingFile::finalPathFor("/a/..recording"), "");
}

namespace {

std::string box(const char *type, const std::string &body)
{
    const uint32_t size = static_cast<uint32_t>(8 + body.size());
    std::string bytes{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                      static_cast<char>(size >> 8), static_cast<char>(size)};
    return bytes + type + body;
}

struct ScanCase
{
    const char *name;
    std::string bytes;
    bool header;
    int fragments;
    size_t length;
};

} // namespace

TEST(QuickTimeFragmentScan, FindsTheEndOfTheLastCompleteFragment)
{
    const std::string head = box("ftyp", "qt  ") + box("moov", "xxxx");
    const std::string fragment = box("moof", "abcd") + box("mdat", "frame");
    const std::string large = std::string("\0\0\0\1mdat\0\0\0\0\0\0\0\x13", 16) + "abc";
    const ScanCase cases[] = {
        {"nothing", "", false, 0, 0},
        {"header only", head, true, 0, head.size()},
        {"two fragments", head + fragment + fragment, true, 2, head.size() + 2 * fragment.size()},
        {"cut media data", head + fragment + fragment.substr(0, 20), true, 1,
         head.size() + fragment.size()},
        {"moof without media", head + fragment + box("moof", "abcd"), true, 1,
         head.size() + fragment.size()},
        {"index kept", head + fragment + box("mfra", "ix"), true, 1,
         head.size() + fragment.size() + 10},
        {"64-bit media size", head + box("moof", "abcd") + large, true, 1,
         head.size() + 12 + large.size()},
        {"size past the end", head + std::string("\x7f\0\0\0moof", 8), true, 0, head.size()},
        {"zero size", head + fragment + std::string("\0\0\0\0moof", 8), true, 1,
         head.size() + fragment.size()},
        {"size below its header", head + std::string("\0\0\0\4moof", 8), true, 0, head.size()},
        {"movie header missing", box("ftyp", "qt  ") + fragment, false, 0, 0},
        {"not a movie", "garbage that is no movie", false, 0, 0},
    };
    for (const ScanCase &test : cases) {
        const auto result = QuickTimeFragmentScan::scan(
            reinterpret_cast<const uint8_t *>(test.bytes.data()), test.bytes.size());
        EXPECT_EQ(result.hasMovieHeader, test.header) << test.name;
        EXPECT_EQ(result.fragments, test.fragments) << test.name;
        EXPECT_EQ(result.completeLength, test.length) << test.name;
    }
}
