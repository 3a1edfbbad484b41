#include "platform/system/Clock.h"
#include "tests/support/FakeClock.h"

#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace std::chrono_literals;

TEST(ClockTest, FakeClockReportsItsLocalTimeAndAdvancesBothClocks)
{
    auto fake = std::make_shared<FakeClock>(2024, 3, 5, 23, 59, 30, 5000);
    ScopedClock scope(fake);
    LocalDateTime t = Clock::instance().localNow();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 5);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.second, 30);
    EXPECT_EQ(Clock::instance().tickMilliseconds(), 5000u);

    fake->advance(45s);
    t = Clock::instance().localNow();
    EXPECT_EQ(t.day, 6);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.second, 15);
    EXPECT_EQ(Clock::instance().tickMilliseconds(), 50000u);
}

TEST(ClockTest, SettingTheWallClockBackLeavesTheTickCounter)
{
    auto fake = std::make_shared<FakeClock>(2024, 3, 5);
    ScopedClock scope(fake);
    fake->advance(1500ms);
    fake->setLocal(2023, 12, 31);
    EXPECT_EQ(Clock::instance().localNow().year, 2023);
    EXPECT_EQ(Clock::instance().tickMilliseconds(), 2500u);
}

TEST(ClockTest, TheSystemClockComesBackAfterTheScope)
{
    {
        ScopedClock scope(std::make_shared<FakeClock>(1999, 1, 1));
        EXPECT_EQ(Clock::instance().localNow().year, 1999);
    }
    EXPECT_GE(Clock::instance().localNow().year, 2024);
}

TEST(ClockTest, AClockInUseOnAnotherThreadOutlivesItsReplacement)
{
    std::weak_ptr<Clock> first;
    {
        auto fake = std::make_shared<FakeClock>(2024, 3, 5);
        first = fake;
        Clock::setInstance(fake);
    }
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> reads{0};
    // A capture thread keeps reading through the reference it got.
    std::thread reader([&] {
        Clock &clock = Clock::instance();
        while (!stop.load()) {
            clock.tickMilliseconds();
            reads.fetch_add(1);
        }
    });
    while (reads.load() == 0)
        std::this_thread::yield();
    for (int i = 0; i < 20; ++i)
        Clock::setInstance(std::make_shared<FakeClock>(2025, 1, 1 + i));
    Clock::setInstance(nullptr);
    EXPECT_FALSE(first.expired()) << "a replaced clock is never freed under a thread using it";
    stop.store(true);
    reader.join();
    EXPECT_GT(reads.load(), 0u);
}
