#include "platform/media/JpegDecoder.h"
#include "tests/platform/media/MovieProbe.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/win/capture/CSampleGrabberCBTestSupport.h"
#include "win/common/TimedSeries.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <QImage>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

#if defined(__SANITIZE_THREAD__)
// Qt hands a posted event from the posting thread to the UI thread under its own futex-based
// mutex inside libQt6Core, which is not built for ThreadSanitizer, so the hand-over is
// invisible to it: the UI thread's reads (in this program's receiver) and Qt's final delete
// of an event posted by a capture or saving thread look like races with the event's
// construction in WindowMessage::post. Only those accesses to posted events are exempted
// (matched on either side, since the poster's stack is not always kept); every other access
// stays checked.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:varnolet::WindowMessage::post\n"
           "race:varnolet::WindowMessage::~WindowMessage\n"
           "race:varnolet::test::SinkOwnerWindow::event\n";
}
#endif

namespace {

class SavingThreadTest : public SinkTest
{
protected:
    void SetUp() override
    {
        SinkTest::SetUp();
        ASSERT_TRUE(StartTimedSeries(TimedShotsFolder(services.Settings().GetUsingSettings()),
                                     services.Settings().GetUsingSettings(),
                                     owner.TimedSeriesRecord(), *clock, messages.box()));
        saving = CSampleGrabberCB::StartSavingThread(owner);
    }
    void TearDown() override
    {
        CSampleGrabberCB::StopSavingThread();
        if (saving.joinable())
            saving.join();
        SinkTest::TearDown();
    }

    std::thread saving;
};

} // namespace

TEST_F(SavingThreadTest, TimedShotsAreSavedNamedAndAnnounced)
{
    configureTimedShots(TimeUnitMinute, 60, TimeUnitMinute, 10);
    preview().SetFrameSize(320, 240);
    services.Settings().SetUsingCaptureSize(320, 240);
    preview().StartTimedShots();
    owner.SetTimedSeriesActive(true);
    for (int i = 0; i < 3; ++i) {
        auto frame = makeTestFrame(320, 240, i);
        ASSERT_EQ(feed(preview(), frame), 0);
        clock->advance(1000ms);
    }
    ASSERT_TRUE(processEventsUntil([&] { return window.files().size() == 3; }));
    const std::string shots = TimedShotsFolder(services.Settings().GetUsingSettings());
    EXPECT_EQ(window.files(), (std::vector<std::string>{shots + "/T20240305_001_0001.jpg",
                                                        shots + "/T20240305_001_0002.jpg",
                                                        shots + "/T20240305_001_0003.jpg"}));
    JpegDecoder decoder;
    QImage image;
    ASSERT_TRUE(decoder.decodeFile(window.files()[2], image).ok());
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_GT(qGreen(image.pixel(19, 120)), 150) << "the third frame's bar at x 16..23";
    EXPECT_EQ(messages->count(), 0u);
}

TEST_F(SavingThreadTest, FailedShotEndsTheSeriesAndEmptiesTheQueue)
{
    const std::string shots = TimedShotsFolder(services.Settings().GetUsingSettings());
    std::filesystem::remove(shots);
    folder.write("Varnolet/Timed Shots", "not a folder");
    configureTimedShots(TimeUnitMinute, 60, TimeUnitMinute, 10);
    preview().SetFrameSize(64, 48);
    preview().StartTimedShots();
    owner.SetTimedSeriesActive(true);
    auto frame = makeTestFrame(64, 48);
    ASSERT_EQ(feed(preview(), frame), 0);
    ASSERT_TRUE(processEventsUntil(
        [&] { return window.count(CSampleGrabberOwner::TimedSeriesOverMessage) > 0; }));
    ASSERT_TRUE(processEventsUntil([&] { return messages->count() > 0; }));
    EXPECT_EQ(messages->texts()[0],
              "Save file " + shots + "/T20240305_001_0001.jpg failureNot a directory");
    EXPECT_TRUE(processEventsUntil([&] { return preview().SavingQueueLength() == 0; }));
    EXPECT_TRUE(window.files().empty());
}

TEST_F(SavingThreadTest, CaptureSavingAndRecordingRunTogether)
{
    // A capture thread delivers frames (photo, timed shot and movie frame at once) while the
    // UI thread starts and closes recordings and the saving thread writes the shots.
    configureTimedShots(TimeUnitMinute, 60, TimeUnitMinute, 10);
    preview().SetFrameSize(160, 120);
    services.Settings().SetUsingCaptureSize(160, 120);
    SettingValues values = services.Settings().GetUsingSettings();
    values.movieResolution = 2; // movie size 0 × 0: the first three frames pass by
    services.Settings().ApplySettings(values);
    preview().StartTimedShots();
    owner.SetTimedSeriesActive(true);
    owner.SetRecordingActive(true);

    std::atomic<bool> running{true};
    std::atomic<int> delivered{0};
    std::thread capture([&] {
        auto frame = makeTestFrame(160, 120);
        while (running.load()) {
            if (delivered.load() % 25 == 0)
                owner.RequestPhoto();
            feed(preview(), frame);
            clock->advance(250ms);
            delivered.fetch_add(1);
        }
    });
    const std::string movies = MoviesFolder(services.Settings().GetUsingSettings());
    for (int i = 0; i < 3; ++i) {
        CreateMovieWriter(
            NextMoviePath(movies, services.Settings().GetUsingSettings(), *clock, messages.box()),
            clock, services, messages.box(), &window);
        const int before = delivered.load();
        ASSERT_TRUE(processEventsUntil([&] { return delivered.load() >= before + 20; }));
    }
    CloseMovieWriter(&window);
    running.store(false);
    capture.join();
    owner.SetTimedSeriesActive(false);

    const int shots = preview().ShotsTaken();
    EXPECT_GT(shots, 10);
    ASSERT_TRUE(processEventsUntil(
        [&] {
            const auto files = window.files();
            return std::count_if(files.begin(), files.end(), [](const std::string &f) {
                       return f.find("/Timed Shots/") != std::string::npos;
                   }) == shots;
        },
        20000ms));
    int movies_ = 0;
    for (const auto &file : window.files()) {
        if (file.find("/Movies/") != std::string::npos) {
            ++movies_;
            EXPECT_GT(probeMovie(file).decodedFrames, 0) << file;
        }
    }
    EXPECT_EQ(movies_, 3);
    EXPECT_GT(window.count(CSampleGrabberOwner::PhotoTakenMessage), 0);
    EXPECT_EQ(messages->count(), 0u);
}
