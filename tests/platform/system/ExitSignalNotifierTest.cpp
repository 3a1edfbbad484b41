#include "platform/system/ExitSignalNotifier.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace std::chrono_literals;

namespace {

sighandler_t currentHandler(int signalNumber)
{
    struct sigaction now
    {
    };
    ::sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
}

} // namespace

TEST(ExitSignalNotifierTest, EachSignalReachesTheHandlerOnTheQtThreadInOrder)
{
    std::vector<int> received;
    std::vector<bool> onQtThread;
    ExitSignalNotifier notifier([&](int number) {
        received.push_back(number);
        onQtThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
    });
    ASSERT_TRUE(notifier.isActive());

    ASSERT_EQ(::raise(SIGTERM), 0) << "the process survives: the handler is in place";
    ASSERT_EQ(::raise(SIGHUP), 0);
    // A signal from another thread, as `kill` may land on any thread.
    std::thread other([] { ::kill(::getpid(), SIGINT); });
    other.join();
    EXPECT_TRUE(received.empty()) << "nothing runs inside the signal handler itself";

    ASSERT_TRUE(test::processEventsUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
    EXPECT_EQ(onQtThread, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(notifier.deliveredCount(), 3);
}

TEST(ExitSignalNotifierTest, OnlyTheChosenSignalsAreTakenAndDestructionGivesThemBack)
{
    const sighandler_t before = ::signal(SIGUSR1, SIG_IGN);
    {
        int calls = 0;
        ExitSignalNotifier notifier([&](int) { ++calls; }, {SIGUSR1});
        ASSERT_TRUE(notifier.isActive());
        EXPECT_NE(currentHandler(SIGUSR1), SIG_IGN);
        EXPECT_EQ(currentHandler(SIGTERM), SIG_DFL) << "SIGTERM was not asked for";

        // A second instance would steal the pipe: it stays inactive and leaves the handlers.
        ExitSignalNotifier second([](int) {}, {SIGUSR1});
        EXPECT_FALSE(second.isActive());

        ::raise(SIGUSR1);
        ASSERT_TRUE(test::processEventsUntil([&] { return calls == 1; }));
    }
    EXPECT_EQ(currentHandler(SIGUSR1), SIG_IGN) << "the previous disposition is back";
    ::signal(SIGUSR1, before);

    // After the first one is gone, a new one can take the signals again.
    int calls = 0;
    ExitSignalNotifier again([&](int) { ++calls; }, {SIGUSR1});
    ASSERT_TRUE(again.isActive());
    ::raise(SIGUSR1);
    EXPECT_TRUE(test::processEventsUntil([&] { return calls == 1; }));
}
