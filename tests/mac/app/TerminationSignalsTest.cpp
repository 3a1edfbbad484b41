#include <gtest/gtest.h>

#include <csignal>
#include <vector>

#include "mac/app/TerminationSignals.h"
#include "tests/support/TestSupport.h"

TEST(TerminationSignalsTest, TermIntAndHupArriveOnTheMainThreadOneEach)
{
    std::vector<int> received;
    {
        TerminationSignals handlers;
        ASSERT_TRUE(handlers.isInstalled());
        TerminationSignals second; // one set of handlers per process
        EXPECT_FALSE(second.isInstalled());
        QObject::connect(&handlers, &TerminationSignals::terminationRequested,
                         [&](int number) { received.push_back(number); });
        ::raise(SIGTERM);
        ::raise(SIGINT);
        ::raise(SIGHUP);
        ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return received.size() == 3; }));
    }
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
    // Removed again: a new object can install them.
    TerminationSignals again;
    EXPECT_TRUE(again.isInstalled());
}
