#include "platform/system/SingleInstance.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <future>

#include <gtest/gtest.h>

using namespace varnolet;

TEST(SingleInstanceTest, TheFirstCopyHoldsTheLockAndASecondFindsNoWindowBeforeListen)
{
    test::TempFolder runtime;
    SingleInstance first("Varnolet", runtime.path());
    ASSERT_EQ(first.acquire(), SingleInstance::Outcome::First);
    EXPECT_TRUE(test::fileExists(first.lockPath()));

    SingleInstance second("Varnolet", runtime.path());
    EXPECT_EQ(second.acquire(), SingleInstance::Outcome::RunningNoWindow);
}

TEST(SingleInstanceTest, OnceTheWindowListensASecondCopyRaisesIt)
{
    test::TempFolder runtime;
    SingleInstance first("Varnolet", runtime.path());
    ASSERT_EQ(first.acquire(), SingleInstance::Outcome::First);
    std::atomic<int> raised{0};
    ASSERT_TRUE(first.listen([&] { ++raised; }));

    // The second copy blocks on the socket, so it runs on its own thread while this one
    // keeps the first copy's event loop going.
    auto second = std::async(std::launch::async, [&] {
        SingleInstance other("Varnolet", runtime.path());
        return other.acquire();
    });
    ASSERT_TRUE(test::processEventsUntil([&] {
        return second.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    }));
    EXPECT_EQ(second.get(), SingleInstance::Outcome::RaisedRunning);
    EXPECT_EQ(raised.load(), 1);
}

TEST(SingleInstanceTest, TheLockIsFreedWithTheFirstCopyAndAStaleSocketIsReplaced)
{
    test::TempFolder runtime;
    {
        SingleInstance first("Varnolet", runtime.path());
        ASSERT_EQ(first.acquire(), SingleInstance::Outcome::First);
        ASSERT_TRUE(first.listen([] {}));
    }
    // A socket file left behind (as after a crash) must not stop the next copy.
    runtime.write("Varnolet.socket", "stale");
    SingleInstance next("Varnolet", runtime.path());
    EXPECT_EQ(next.acquire(), SingleInstance::Outcome::First);
    EXPECT_TRUE(next.listen([] {}));
}

TEST(SingleInstanceTest, DifferentProgramsDoNotExcludeEachOther)
{
    test::TempFolder runtime;
    SingleInstance win("VarnoletWin", runtime.path());
    SingleInstance mac("VarnoletMac", runtime.path());
    EXPECT_EQ(win.acquire(), SingleInstance::Outcome::First);
    EXPECT_EQ(mac.acquire(), SingleInstance::Outcome::First);
}
