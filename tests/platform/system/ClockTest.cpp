#include "platform/system/Clock.h"
#include "tests/support/FakeClock.h"

#include <chrono>
#include <memory>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace std::chrono_literals;

TEST(ClockTest, FakeClockReportsItsLocalTimeAndAdvancesBothClocks)
{
    auto fake = std::make_shared<FakeClock>(2024, 3, 5, 23, 59, 30, 5000);
    LocalDateTime t = fake->localNow();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 5);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.second, 30);
    EXPECT_EQ(fake->tickMilliseconds(), 5000u);

    fake->advance(45s);
    t = fake->localNow();
    EXPECT_EQ(t.day, 6);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.second, 15);
    EXPECT_EQ(fake->tickMilliseconds(), 50000u);
}

TEST(ClockTest, SettingTheWallClockBackLeavesTheTickCounter)
{
    auto fake = std::make_shared<FakeClock>(2024, 3, 5);
    fake->advance(1500ms);
    fake->setLocal(2023, 12, 31);
    EXPECT_EQ(fake->localNow().year, 2023);
    EXPECT_EQ(fake->tickMilliseconds(), 2500u);
}

TEST(ClockTest, TheSystemClockReadsTheRealTime)
{
    const SystemClock clock;
    const auto before = std::chrono::system_clock::now();
    const Clock::WallTime wall = clock.wallNow();
    EXPECT_GE(wall, before);
    EXPECT_LE(wall, std::chrono::system_clock::now());
    EXPECT_GE(clock.localNow().year, 2024);
    const uint64_t tick = clock.tickMilliseconds();
    EXPECT_GE(clock.tickMilliseconds(), tick);
}
