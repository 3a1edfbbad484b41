#include "win/capture/AviMovieWriter.h"

#include "tests/support/FakeClock.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/platform/media/MovieProbe.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TestSupport.h"
#include "win/common/AppServices.h"
#include "win/common/IResourceAnnouncer.h"

#include <atomic>
#include <stdexcept>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

class RecordingAnnouncer final : public IResourceAnnouncer
{
public:
    void AddResourceFile(const std::string &path) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_paths.push_back(path);
    }
    std::vector<std::string> paths() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_paths;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_paths;
};

// Appends like the frame sink does: size first, then the frame, under the writer lock.
int appendFrame(const std::vector<uint8_t> &frame, int width, int height, uint64_t *bytes = nullptr)
{
    std::lock_guard<std::mutex> guard(MovieWriterLock());
    AviMovieWriter *writer = OpenMovieWriter();
    if (!writer)
        return -100;
    const uint64_t size = writer->CurrentMovieBytes();
    if (bytes)
        *bytes = size;
    return writer->AppendMovieFrame(width, height, frame.data(), frame.size());
}

class AviMovieWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        services.Settings().SetUsingCaptureSize(
            640, 480); // movie resolution 1: 640 × 480, frames admitted
        // The language table reports its missing file once; that box is not ours.
        services.GetLanguageString("ui_alert_savefile", "", messages.box());
        messages->clear();
    }
    void TearDown() override { CloseMovieWriter(); }

    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(2024, 3, 5);
    MessageRecorder messages;
    TempFolder folder;
    AppServices services{SystemPaths({.configHome = folder.file("config")})};
    RecordingAnnouncer announcer;
};

} // namespace

TEST(AviMovieWriterRate, MeasuredRateTruncatesAndStaysPlayable)
{
    EXPECT_EQ(AviMovieWriter::MeasuredRate(300, 20000), 15u);
    EXPECT_EQ(AviMovieWriter::MeasuredRate(301, 20000), 15u);
    EXPECT_EQ(AviMovieWriter::MeasuredRate(5, 10000), 1u) << "below 1 fps: 1";
    EXPECT_EQ(AviMovieWriter::MeasuredRate(5, 0), 12u) << "no time passed: the nominal rate";
    EXPECT_EQ(AviMovieWriter::MeasuredRate(5'000'000'000ull, 1000), 1000u)
        << "no 32-bit overflow; never above the rate the stream's time base can express";
}

TEST_F(AviMovieWriterTest, ClosePatchesMeasuredRateAtOffset132)
{
    for (int frames : {300, 301}) {
        const std::string path = folder.file("movie" + std::to_string(frames) + ".avi");
        CreateMovieWriter(path, clock, services, messages.box(), &announcer);
        for (int i = 0; i < frames; ++i) {
            ASSERT_EQ(appendFrame(makeTestFrame(160, 120, i), 160, 120), 0);
            if (i + 1 < frames)
                clock->advance(20000ms / (frames - 1));
        }
        // The set-up clock is read at the first frame: 20,000 ms in all.
        clock->advance(20000ms - (20000ms / (frames - 1)) * (frames - 1));
        CloseMovieWriter(&announcer);
        EXPECT_EQ(readLe32(path, 132), 15u) << frames << " frames";
        EXPECT_EQ(readLe32(path, 128), 1u);

        const MovieProbe probe = probeMovie(path);
        ASSERT_TRUE(probe.opened);
        EXPECT_EQ(probe.codecTag, AviMpeg4Writer::kCodecTag);
        EXPECT_EQ(probe.packets, frames);
        EXPECT_EQ(probe.decodedFrames, frames);
        EXPECT_EQ(probe.width, 160);
        EXPECT_NEAR(probe.durationSeconds, frames / 15.0, 0.01) << "plays at the measured rate";
    }
    EXPECT_EQ(announcer.paths().size(), 2u);
    EXPECT_EQ(messages->count(), 0u);
}

TEST_F(AviMovieWriterTest, ByteTotalCountsEachSampleOnTheNextCall)
{
    const std::string path = folder.file("bytes.avi");
    CreateMovieWriter(path, clock, services, messages.box());
    uint64_t bytes = 1;
    ASSERT_EQ(appendFrame(makeTestFrame(160, 120, 0), 160, 120, &bytes), 0);
    EXPECT_EQ(bytes, 0u) << "nothing written before the first frame";
    uint64_t previous = 0;
    for (int i = 1; i < 10; ++i) {
        ASSERT_EQ(appendFrame(makeTestFrame(160, 120, i), 160, 120, &bytes), 0);
        EXPECT_GT(bytes, previous);
        previous = bytes;
    }
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        bytes = OpenMovieWriter()->CurrentMovieBytes();
    }
    CloseMovieWriter();
    EXPECT_EQ(bytes, probeMovie(path).packetBytes) << "the sum of all ten samples";
}

TEST_F(AviMovieWriterTest, ThreeFrameAdmissionRule)
{
    // The camera could not switch: the capture size stays 1280 × 1024.
    services.Settings().SetUsingCaptureSize(1280, 1024);
    const std::string path = folder.file("admission.avi");
    CreateMovieWriter(path, clock, services, messages.box());
    const auto frame = makeTestFrame(1280, 1024);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(appendFrame(frame, 1280, 1024), 0);
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter()->FramesSkipped(), 3);
        EXPECT_EQ(OpenMovieWriter()->FramesWritten(), 2);
    }
    CloseMovieWriter();
    const MovieProbe probe = probeMovie(path);
    EXPECT_EQ(probe.packets, 2);
    EXPECT_EQ(probe.width, 1280);
    EXPECT_EQ(probe.height, 1024);
}

TEST_F(AviMovieWriterTest, MatchingCaptureSizeWritesTheFirstFrame)
{
    SettingValues values = services.Settings().GetUsingSettings();
    values.movieResolution = 0;
    services.Settings().ApplySettings(values);
    services.Settings().SetUsingCaptureSize(320, 240);
    const std::string path = folder.file("small.avi");
    CreateMovieWriter(path, clock, services, messages.box());
    EXPECT_FALSE(fileExists(path)) << "nothing touched before the first frame";
    ASSERT_EQ(appendFrame(makeTestFrame(320, 240), 320, 240), 0);
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter()->FramesWritten(), 1);
        EXPECT_EQ(OpenMovieWriter()->GetState(), AviMovieWriter::StateWriting);
        EXPECT_GE(OpenMovieWriter()->StagingSize(), size_t(320 * 240 * 4));
    }
    CloseMovieWriter();
    EXPECT_EQ(probeMovie(path).decodedFrames, 1);
}

TEST_F(AviMovieWriterTest, MissingCodecFailsWithoutPatch)
{
    const std::string path = folder.file("nocodec.avi");
    CreateMovieWriter(path, clock, services, messages.box(), &announcer, 0, "no-such-encoder");
    const auto frame = makeTestFrame(160, 120);
    EXPECT_LT(appendFrame(frame, 160, 120), 0);
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        AviMovieWriter *writer = OpenMovieWriter();
        EXPECT_EQ(writer->LastErrorText(),
                  "Unable to Create Compressed Stream: Check your CODEC options");
        EXPECT_TRUE(writer->HasError());
        EXPECT_EQ(writer->GetState(), AviMovieWriter::StateReleased);
        EXPECT_EQ(writer->FramesWritten(), 0);
        EXPECT_LT(writer->AppendMovieFrame(160, 120, frame.data(), frame.size()), 0)
            << "later appends fail at once";
    }
    CloseMovieWriter(&announcer);
    EXPECT_EQ(readLe32(path, 132), 0u) << "not patched";
    EXPECT_EQ(messages->count(), 0u);
}

TEST_F(AviMovieWriterTest, UnwritableMovieFolderGivesSaveFileText)
{
    const std::string plain = folder.write("Movies", "a file where the folder should be");
    const std::string path = plain + "/M20240305_0001.avi";
    CreateMovieWriter(path, clock, services, messages.box(), &announcer);
    EXPECT_LT(appendFrame(makeTestFrame(160, 120), 160, 120), 0);
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter()->LastErrorText(),
                  "Save file " + path + " failureNot a directory");
    }
    CloseMovieWriter(&announcer);
    EXPECT_TRUE(announcer.paths().empty()) << "no file came into being";
    EXPECT_EQ(messages->count(), 0u);
}

TEST_F(AviMovieWriterTest, NewWriterClosesPatchesAndAnnouncesTheOldOne)
{
    const std::string first = folder.file("first.avi");
    const std::string second = folder.file("second.avi");
    CreateMovieWriter(first, clock, services, messages.box(), &announcer);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(appendFrame(makeTestFrame(160, 120, i), 160, 120), 0);
        clock->advance(100ms);
    }
    CreateMovieWriter(second, clock, services, messages.box(), &announcer);
    ASSERT_EQ(announcer.paths(), std::vector<std::string>{first});
    EXPECT_EQ(readLe32(first, 132), 10u);
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        ASSERT_NE(OpenMovieWriter(), nullptr);
        EXPECT_EQ(OpenMovieWriter()->FilePath(), second);
    }
    CloseMovieWriter(&announcer);
    EXPECT_EQ(announcer.paths().size(), 1u) << "the second recording wrote no frame";
    EXPECT_EQ(messages->count(), 0u) << "closing an empty recording is no failure";
}

TEST_F(AviMovieWriterTest, ShortBuffersAndOtherSizesAreHandledSafely)
{
    const std::string path = folder.file("sizes.avi");
    CreateMovieWriter(path, clock, services, messages.box());
    const auto frame = makeTestFrame(160, 120);
    ASSERT_EQ(appendFrame(frame, 160, 120), 0);
    std::vector<uint8_t> shortBuffer(frame.begin(), frame.begin() + 1000);
    EXPECT_EQ(appendFrame(shortBuffer, 160, 120), 0);
    ASSERT_EQ(appendFrame(makeTestFrame(320, 240), 320, 240), 0);
    CloseMovieWriter();
    const MovieProbe probe = probeMovie(path);
    EXPECT_EQ(probe.packets, 2) << "short buffer dropped, larger frame scaled";
    EXPECT_EQ(probe.decodedFrames, 2);
    EXPECT_EQ(probe.width, 160);
}

TEST_F(AviMovieWriterTest, AppendsAndCloseFromTwoThreads)
{
    // The capture thread appends under the writer lock while the UI thread starts and
    // closes recordings.
    std::atomic<bool> running{true};
    std::atomic<int> appended{0};
    std::thread capture([&] {
        const auto frame = makeTestFrame(64, 48);
        while (running.load()) {
            if (appendFrame(frame, 64, 48) == 0)
                appended.fetch_add(1);
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 6; ++i) {
        CreateMovieWriter(folder.file("t" + std::to_string(i) + ".avi"), clock, services,
                          messages.box(), &announcer);
        const int before = appended.load();
        ASSERT_TRUE(processEventsUntil([&] { return appended.load() >= before + 5; }, 5000ms));
    }
    CloseMovieWriter(&announcer);
    running.store(false);
    capture.join();
    const auto paths = announcer.paths();
    ASSERT_EQ(paths.size(), 6u);
    for (const auto &path : paths)
        EXPECT_GT(probeMovie(path).decodedFrames, 0) << path;
}

namespace {

// Records frames camera-style: count frames at framesPerSecond on the fake clock.
void recordFrames(FakeClock &clock, int count, int framesPerSecond, int width = 160,
                  int height = 120)
{
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(appendFrame(makeTestFrame(width, height, i), width, height), 0);
        clock.advance(std::chrono::milliseconds(1000 / framesPerSecond));
    }
}

// Frames an `ffmpeg -i movie.avi movie.mp4` conversion keeps (-1 without ffmpeg).
int framesAfterConversion(const std::string &avi, const std::string &mp4)
{
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
        return -1;
    const std::string command =
        "ffmpeg -nostdin -v error -y -i '" + avi + "' '" + mp4 + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return -2;
    return probeMovie(mp4).decodedFrames;
}

} // namespace

TEST_F(AviMovieWriterTest, EveryRateFieldAgreesWithTheMeasuredRate)
{
    // The camera says 12 but delivers 30 (the old nominal rate against a real camera), and
    // says 30 but delivers 15: after the close, tools read one rate and keep every frame.
    struct Case
    {
        double cameraRate;
        int deliveredRate;
    };
    for (const Case c : {Case{12, 30}, Case{30, 15}, Case{30, 30}}) {
        const std::string name =
            "rate" + std::to_string(int(c.cameraRate)) + "_" + std::to_string(c.deliveredRate);
        const std::string path = folder.file(name + ".avi");
        CreateMovieWriter(path, clock, services, messages.box(), &announcer, c.cameraRate);
        const int frames = c.deliveredRate * 5;
        recordFrames(*clock, frames, c.deliveredRate);
        CloseMovieWriter(&announcer);

        const uint32_t rate = static_cast<uint32_t>(c.deliveredRate);
        EXPECT_EQ(readLe32(path, 132), rate) << name << ": the stream header";
        EXPECT_EQ(readLe32(path, 32), 1'000'000u / rate)
            << name << ": the main header's microseconds per frame";
        const MovieProbe probe = probeMovie(path);
        ASSERT_TRUE(probe.opened) << name;
        EXPECT_DOUBLE_EQ(probe.realFrameRate, c.deliveredRate)
            << name << ": what FFmpeg's tools take as the rate";
        EXPECT_EQ(probe.decodedFrames, frames) << name;
        EXPECT_NEAR(probe.durationSeconds, 5.0, 0.05) << name;

        const int converted = framesAfterConversion(path, folder.file(name + ".mp4"));
        if (converted != -1) {
            EXPECT_EQ(converted, frames) << name << ": a conversion keeps every frame";
        }
    }
    EXPECT_EQ(messages->count(), 0u);
}

TEST_F(AviMovieWriterTest, AMovieLeftWithoutItsCloseCarriesTheCamerasRate)
{
    const std::string path = folder.file("killed.avi");
    CreateMovieWriter(path, clock, services, messages.box(), &announcer, 29.97);
    recordFrames(*clock, 90, 30, 320, 240);
    // The state of the file at this moment is what a SIGKILL or a power loss leaves.
    EXPECT_EQ(readLe32(path, 132), 30u) << "the camera's rate, not the nominal 12";
    EXPECT_EQ(readLe32(path, 32), 33'333u);
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter()->SetUpRate(), 30);
    }
    CloseMovieWriter(&announcer);
    EXPECT_EQ(readLe32(path, 132), 30u) << "measured";

    // A camera that does not say keeps the nominal rate; absurd values stay in range.
    EXPECT_EQ(AviMovieWriter::SetUpRateFor(0), 12);
    EXPECT_EQ(AviMovieWriter::SetUpRateFor(-5), 12);
    EXPECT_EQ(AviMovieWriter::SetUpRateFor(0.2), 1);
    EXPECT_EQ(AviMovieWriter::SetUpRateFor(1e9), AviMpeg4Writer::kMaxFramesPerSecond);
}

TEST_F(AviMovieWriterTest, AFailedCloseIsReportedAndTheFileStillAnnounced)
{
    const std::string path = folder.file("full.avi");
    CreateMovieWriter(path, clock, services, messages.box(), &announcer, 30);
    recordFrames(*clock, 20, 30, 64, 48);
    {
        // The disk fills up after the last frame: the index cannot be written.
        ScopedFileSizeLimit full(std::filesystem::file_size(path));
        CloseMovieWriter(&announcer);
    }
    ASSERT_EQ(messages->count(), 1u) << "a failed close is not a good movie";
    EXPECT_EQ(messages->texts()[0],
              "Unable to Write Video Stream to the output Movie File: File too large");
    EXPECT_EQ(announcer.paths(), std::vector<std::string>{path})
        << "half-written files stay visible";
    EXPECT_EQ(readLe32(path, 132), 30u) << "not patched: the rate set up from the camera stays";
    EXPECT_EQ(probeMovie(path).decodedFrames, 20) << "every frame written is still there";
}

TEST_F(AviMovieWriterTest, AFullDiskAtSetUpSaysWhy)
{
    CreateMovieWriter("/dev/full", clock, services, messages.box(), &announcer, 30);
    EXPECT_LT(appendFrame(makeTestFrame(64, 48), 64, 48), 0);
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        EXPECT_EQ(OpenMovieWriter()->LastErrorText(),
                  "Save file /dev/full failureNo space left on device");
    }
    CloseMovieWriter();
}

TEST(AviMovieWriterRate, ARatePatchThatCannotReachTheDiskFails)
{
    EXPECT_EQ(AviMpeg4Writer::patchFrameRate("/dev/full", 25), -ENOSPC)
        << "the buffered bytes fail at fclose";
    EXPECT_EQ(AviMpeg4Writer::patchFrameRate("/nonexistent/folder/movie.avi", 25), -ENOENT);
    EXPECT_EQ(AviMovieWriter::MeasuredRate(5, 0, 30), 30u) << "no time passed: the set-up rate";
}

TEST(AviMovieWriterClock, AWriterWithoutAClockIsRefused)
{
    const AppServices services(SystemPaths::fromEnvironment());
    EXPECT_THROW(
        AviMovieWriter("/tmp/never-written.avi", nullptr, services, MessageRecorder().box()),
        std::invalid_argument);
}
