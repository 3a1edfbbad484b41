#include "mac/core/SystemLog.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

// Reading back what was logged after a mark, before and after the kept lines wrap.
TEST(SystemLogTest, LinesSinceAMarkAreReadBackAsFarAsTheyAreKept)
{
    const uint64_t start = SystemLog::lineCount();
    SystemLog::write("first %d", 1);
    SystemLog::writeLine("second");
    EXPECT_EQ(SystemLog::lineCount(), start + 2);
    EXPECT_EQ(SystemLog::linesSince(start), (std::vector<std::string>{"first 1", "second"}));
    EXPECT_EQ(SystemLog::linesSince(start + 1), std::vector<std::string>{"second"});
    EXPECT_TRUE(SystemLog::linesSince(start + 2).empty());
    EXPECT_TRUE(SystemLog::linesSince(start + 10).empty()) << "a mark beyond the end";

    // More lines than are kept: the earliest are gone, the latest stay in order.
    const uint64_t wrapped = SystemLog::lineCount();
    for (size_t i = 0; i < SystemLog::kKeptLines + 5; ++i)
        SystemLog::writeLine("line " + std::to_string(i));
    const std::vector<std::string> kept = SystemLog::linesSince(wrapped);
    ASSERT_EQ(kept.size(), SystemLog::kKeptLines);
    EXPECT_EQ(kept.front(), "line 5");
    EXPECT_EQ(kept.back(), "line " + std::to_string(SystemLog::kKeptLines + 4));
}
