#include "tests/platform/media/TestFrames.h"
#include "tests/win/capture/CSampleGrabberCBTestSupport.h"

#include <chrono>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

class TimedShotsTest : public SinkTest
{
protected:
    void SetUp() override
    {
        SinkTest::SetUp();
        preview().SetFrameSize(64, 48);
        frame = makeTestFrame(64, 48);
    }

    // Feeds one frame at the clock's current time; answers whether a shot was queued.
    bool frameAt()
    {
        const size_t before = preview().SavingQueueLength();
        EXPECT_EQ(feed(preview(), frame), 0);
        return preview().SavingQueueLength() > before;
    }

    std::vector<uint8_t> frame;
};

} // namespace

TEST_F(TimedShotsTest, IdleSinkReturnsAtOnceAndRefusesNullBuffersWhenBusy)
{
    EXPECT_EQ(preview().BufferCB(0.0, nullptr, 0), 0);
    owner.SetTimedSeriesActive(true);
    EXPECT_EQ(preview().BufferCB(0.0, nullptr, 0), CSampleGrabberCB::kInvalidPointer);
    EXPECT_EQ(preview().SavingQueueLength(), 0u);
}

TEST_F(TimedShotsTest, OnePerMinuteForTwoMinutesAtThirtyFps)
{
    configureTimedShots(TimeUnitMinute, 1, TimeUnitMinute, 2);
    EXPECT_EQ(owner.ShotInterval(), 60000);
    preview().StartTimedShots();
    owner.SetTimedSeriesActive(true);

    std::vector<int64_t> shots;
    int64_t firstOver = -1;
    int64_t elapsed = 0;
    for (int k = 0; k <= 3700; ++k) {
        const int64_t t = k * 1000LL / 30; // 30 frames per second
        clock->advance(std::chrono::milliseconds(t - elapsed));
        elapsed = t;
        if (frameAt())
            shots.push_back(t);
        if (firstOver < 0 && window.count(CSampleGrabberOwner::TimedSeriesOverMessage) > 0)
            firstOver = t;
    }
    EXPECT_EQ(shots, (std::vector<int64_t>{0, 60000, 120000}));
    EXPECT_EQ(firstOver, 120033) << "the first frame after 120 s";
    EXPECT_EQ(preview().ShotsTaken(), 3);
    EXPECT_GT(window.count(CSampleGrabberOwner::TimedSeriesOverMessage), 50)
        << "posted on every frame after the end";
}

TEST_F(TimedShotsTest, LateFramesKeepTheScheduleAnchoredToTheStart)
{
    configureTimedShots(TimeUnitMinute, 60, TimeUnitHour, 1); // one per second
    ASSERT_EQ(owner.ShotInterval(), 1000);
    preview().StartTimedShots();
    owner.SetTimedSeriesActive(true);

    std::vector<int64_t> frames;
    std::vector<int64_t> shots;
    for (int64_t t = 0; t <= 30000; t += 700) {
        if (t > 0)
            clock->advance(700ms);
        frames.push_back(t);
        if (frameAt())
            shots.push_back(t);
    }
    // Shot k at the first frame after start + k × 1000 ms.
    std::vector<int64_t> expected{0};
    for (int64_t k = 1;; ++k) {
        auto next =
            std::find_if(frames.begin(), frames.end(), [k](int64_t t) { return t > k * 1000; });
        if (next == frames.end())
            break;
        expected.push_back(*next);
    }
    EXPECT_EQ(shots, expected);
    EXPECT_EQ(shots[1], 1400);
    EXPECT_EQ(shots[2], 2100);
}

TEST_F(TimedShotsTest, ThreeDaysAtOnePerHourGiveExactly73ShotsWithoutDrift)
{
    configureTimedShots(TimeUnitHour, 1, TimeUnitDay, 3);
    ASSERT_EQ(owner.ShotInterval(), 3'600'000);
    preview().StartTimedShots();
    const int64_t start = preview().SeriesStartTime();
    owner.SetTimedSeriesActive(true);

    std::vector<int64_t> shotOffsets;
    bool over = false;
    for (int frames = 0; !over && frames < 40000; ++frames) {
        if (frames > 0)
            clock->advance(10s);
        if (frameAt())
            shotOffsets.push_back(preview().LastShotTime() - start);
        // The main window stops the series at the first over message.
        over = window.count(CSampleGrabberOwner::TimedSeriesOverMessage) > 0;
        if (over)
            owner.SetTimedSeriesActive(false);
        if (preview().SavingQueueLength() > 10)
            preview().ClearSavingQueue(); // no saving thread here; keep memory small
    }
    ASSERT_TRUE(over);
    ASSERT_EQ(shotOffsets.size(), 73u);
    for (size_t k = 0; k < shotOffsets.size(); ++k)
        EXPECT_EQ(shotOffsets[k], static_cast<int64_t>(k) * 3'600'000) << "shot " << k;
}
