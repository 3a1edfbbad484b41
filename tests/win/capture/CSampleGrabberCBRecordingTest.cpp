#include "tests/platform/media/MovieProbe.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/ScopedFileSizeLimit.h"

#include <filesystem>
#include "tests/win/capture/CSampleGrabberCBTestSupport.h"

using namespace varnolet;
using namespace varnolet::test;

namespace {

std::vector<uint8_t> noiseFrame(int width, int height, uint32_t seed)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    uint32_t state = seed * 2654435761u + 1;
    for (auto &byte : frame) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return frame;
}

int framesWritten()
{
    std::lock_guard<std::mutex> guard(MovieWriterLock());
    return OpenMovieWriter() ? OpenMovieWriter()->FramesWritten() : -1;
}

} // namespace

TEST_F(SinkTest, RecordingStopsAtTheSizeLimit)
{
    ASSERT_EQ(services.Settings().GetUsingSettings().movieSizeMax, 16);
    const std::string movie =
        NextMoviePath(MoviesFolder(services.Settings().GetUsingSettings()),
                      services.Settings().GetUsingSettings(), *clock, messages.box());
    CreateMovieWriter(movie, clock, services, messages.box(), &window);
    owner.SetRecordingActive(true);

    int frames = 0;
    for (; frames < 2000 && window.count(CSampleGrabberOwner::StopRecordingMessage) == 0;
         ++frames) {
        auto frame = noiseFrame(640, 480, static_cast<uint32_t>(frames));
        ASSERT_EQ(feed(preview(), frame), 0);
    }
    ASSERT_EQ(window.count(CSampleGrabberOwner::StopRecordingMessage), 1);
    const int written = framesWritten();
    EXPECT_EQ(written, frames - 1) << "the frame that found the limit was not appended";
    uint64_t total = 0;
    {
        std::lock_guard<std::mutex> guard(MovieWriterLock());
        total = OpenMovieWriter()->CurrentMovieBytes();
    }
    EXPECT_GE(total, 16'777'216u);

    // Until the main window clears the flag: a stop message per frame, nothing appended.
    for (int i = 0; i < 3; ++i) {
        auto frame = noiseFrame(640, 480, 99);
        ASSERT_EQ(feed(preview(), frame), 0);
    }
    EXPECT_EQ(framesWritten(), written);
    EXPECT_EQ(window.count(CSampleGrabberOwner::StopRecordingMessage), 4);
    owner.SetRecordingActive(false);
    CloseMovieWriter(&window);

    const MovieProbe probe = probeMovie(movie);
    EXPECT_EQ(probe.packets, written);
    EXPECT_EQ(probe.decodedFrames, written);
    EXPECT_LT(probe.packetBytes - 16'777'216ull, 200'000u) << "stopped right after the limit";
    EXPECT_EQ(messages->count(), 0u);
}

TEST_F(SinkTest, UnwritableMovieFolderShowsTheWriterTextAndStops)
{
    const std::string plain = folder.write("elsewhere", "a file");
    const std::string movie = plain + "/M20240305_0001.avi";
    CreateMovieWriter(movie, clock, services, messages.box(), &window);
    owner.SetRecordingActive(true);
    auto frame = makeTestFrame(640, 480);
    ASSERT_EQ(feed(preview(), frame), 0);
    EXPECT_EQ(window.count(CSampleGrabberOwner::StopRecordingMessage), 1);
    ASSERT_EQ(messages->count(), 1u);
    EXPECT_EQ(messages->texts()[0], "Save file " + movie + " failureNot a directory");
    ASSERT_EQ(feed(preview(), frame), 0); // the writer failed for good: no crash, stop again
    EXPECT_EQ(window.count(CSampleGrabberOwner::StopRecordingMessage), 2);
    owner.SetRecordingActive(false);
    CloseMovieWriter(&window);
    EXPECT_TRUE(window.files().empty());
}

TEST_F(SinkTest, AFullDiskShowsOneWarningWithTheSystemsReason)
{
    const std::string movie =
        NextMoviePath(MoviesFolder(services.Settings().GetUsingSettings()),
                      services.Settings().GetUsingSettings(), *clock, messages.box());
    CreateMovieWriter(movie, clock, services, messages.box(), &window);
    owner.SetRecordingActive(true);
    for (int i = 0; i < 3; ++i) {
        auto frame = noiseFrame(640, 480, static_cast<uint32_t>(i));
        ASSERT_EQ(feed(preview(), frame), 0);
    }
    ASSERT_EQ(framesWritten(), 3);
    {
        // The disk is full from here on; frames keep coming until the stop is handled.
        ScopedFileSizeLimit full(std::filesystem::file_size(movie));
        for (int i = 0; i < 10; ++i) {
            auto frame = noiseFrame(640, 480, static_cast<uint32_t>(i));
            ASSERT_EQ(feed(preview(), frame), 0);
        }
        EXPECT_GE(window.count(CSampleGrabberOwner::StopRecordingMessage), 1)
            << "the failure stops the recording";
        ASSERT_EQ(messages->count(), 1u)
            << "one failure, one box: " << testing::PrintToString(messages->texts());
        EXPECT_EQ(messages->texts()[0],
                  "Unable to Write Video Stream to the output Movie File: File too large");
        owner.SetRecordingActive(false);
        CloseMovieWriter(&window);
    }
    EXPECT_EQ(messages->count(), 1u) << "the close after a reported failure adds nothing";
    EXPECT_EQ(window.files(), std::vector<std::string>{movie})
        << "the half-written movie stays visible";
    EXPECT_EQ(probeMovie(movie).decodedFrames, 3);
}
