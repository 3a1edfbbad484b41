#include "win/browser/InotifyTreeWatcher.h"

#include "tests/support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using varnolet::test::TempFolder;
using Records = std::vector<FolderChangeRecord>;
using Result = InotifyTreeWatcher::WaitResult;

void Touch(const std::string &path)
{
    std::ofstream(path) << "x";
}

bool Contains(const Records &records, uint32_t action, const std::string &name)
{
    return std::find(records.begin(), records.end(), FolderChangeRecord{action, name}) !=
           records.end();
}

// Waits (repeatedly) until `done` holds for what came so far, at most two seconds: a
// helper thread wakes the watcher when time is up, so a missing event fails the test
// instead of hanging it.
Records WaitUntil(InotifyTreeWatcher &watcher,
                  const std::function<bool(Result, const Records &)> &done)
{
    Records all;
    std::atomic<bool> finished{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!finished)
            watcher.Wake();
    });
    Records records;
    for (;;) {
        const Result result = watcher.Wait(records);
        all.insert(all.end(), records.begin(), records.end());
        if (result == Result::Woken || result == Result::Failed || done(result, all))
            break;
    }
    finished = true;
    watchdog.join();
    return all;
}

Records CollectUntil(InotifyTreeWatcher &watcher, uint32_t action, const std::string &name)
{
    return WaitUntil(watcher,
                     [&](Result, const Records &all) { return Contains(all, action, name); });
}

class InotifyTreeWatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = temp.file("Varnolet");
        temp.makeFolder("Varnolet/Single Shots/20240305/000");
        temp.makeFolder("Varnolet/Movies");
        temp.makeFolder("elsewhere");
        Touch(root + "/Single Shots/20240305/000/SingleShot0000.jpg");
        Touch(root + "/Single Shots/20240305/000/SingleShot0001.jpg");
        ASSERT_TRUE(watcher.Open(root));
    }

    TempFolder temp;
    std::string root;
    InotifyTreeWatcher watcher;
};

TEST_F(InotifyTreeWatcherTest, ReportsRemovalsDeepBelowTheRootRelativeToIt)
{
    EXPECT_EQ(watcher.WatchCount(), 5u); // root, Single Shots, 20240305, 000, Movies
    fs::remove(root + "/Single Shots/20240305/000/SingleShot0001.jpg");
    const Records records =
        CollectUntil(watcher, 2, "Single Shots/20240305/000/SingleShot0001.jpg");
    EXPECT_TRUE(Contains(records, 2, "Single Shots/20240305/000/SingleShot0001.jpg"));
}

TEST_F(InotifyTreeWatcherTest, RenameGivesOldNameThenNewNameAndMoveOutGivesRemoval)
{
    const std::string folder = root + "/Single Shots/20240305/000/";
    fs::rename(folder + "SingleShot0001.jpg", folder + "SingleShot0001b.jpg");
    Records records = CollectUntil(watcher, 5, "Single Shots/20240305/000/SingleShot0001b.jpg");
    const auto old =
        std::find(records.begin(), records.end(),
                  FolderChangeRecord{4, "Single Shots/20240305/000/SingleShot0001.jpg"});
    ASSERT_NE(old, records.end());
    ASSERT_NE(old + 1, records.end());
    EXPECT_EQ(*(old + 1), (FolderChangeRecord{5, "Single Shots/20240305/000/SingleShot0001b.jpg"}));

    fs::rename(folder + "SingleShot0000.jpg", temp.file("elsewhere/SingleShot0000.jpg"));
    records = CollectUntil(watcher, 2, "Single Shots/20240305/000/SingleShot0000.jpg");
    EXPECT_TRUE(Contains(records, 2, "Single Shots/20240305/000/SingleShot0000.jpg"));
    EXPECT_FALSE(Contains(records, 4, "Single Shots/20240305/000/SingleShot0000.jpg"));

    // Moved in from outside: an addition.
    fs::rename(temp.file("elsewhere/SingleShot0000.jpg"), root + "/Movies/SingleShot0000.jpg");
    records = CollectUntil(watcher, 1, "Movies/SingleShot0000.jpg");
    EXPECT_TRUE(Contains(records, 1, "Movies/SingleShot0000.jpg"));
}

TEST_F(InotifyTreeWatcherTest, NewFoldersAreWatchedAsTheyAppear)
{
    fs::create_directories(root + "/Single Shots/20240306/000");
    Touch(root + "/Single Shots/20240306/000/SingleShot0000.jpg");
    Records records = CollectUntil(watcher, 1, "Single Shots/20240306");
    EXPECT_TRUE(Contains(records, 1, "Single Shots/20240306"));

    fs::remove(root + "/Single Shots/20240306/000/SingleShot0000.jpg");
    records = CollectUntil(watcher, 2, "Single Shots/20240306/000/SingleShot0000.jpg");
    EXPECT_TRUE(Contains(records, 2, "Single Shots/20240306/000/SingleShot0000.jpg"));
}

TEST_F(InotifyTreeWatcherTest, FoldersRenamedInsideTheRootReportUnderTheirNewName)
{
    fs::rename(root + "/Single Shots/20240305", root + "/Single Shots/20240399");
    Records records = CollectUntil(watcher, 5, "Single Shots/20240399");
    EXPECT_TRUE(Contains(records, 4, "Single Shots/20240305"));

    fs::remove(root + "/Single Shots/20240399/000/SingleShot0000.jpg");
    records = CollectUntil(watcher, 2, "Single Shots/20240399/000/SingleShot0000.jpg");
    EXPECT_TRUE(Contains(records, 2, "Single Shots/20240399/000/SingleShot0000.jpg"));

    // A folder moved out of the root is no longer watched.
    fs::rename(root + "/Single Shots/20240399", temp.file("elsewhere/gone"));
    records = CollectUntil(watcher, 2, "Single Shots/20240399");
    EXPECT_TRUE(Contains(records, 2, "Single Shots/20240399"));
    fs::remove(temp.file("elsewhere/gone/000/SingleShot0001.jpg"));
    Touch(root + "/Movies/marker.avi");
    records = CollectUntil(watcher, 1, "Movies/marker.avi");
    for (const FolderChangeRecord &record : records)
        EXPECT_EQ(record.name.find("SingleShot0001"), std::string::npos) << record.name;
}

TEST_F(InotifyTreeWatcherTest, DeletingAWholeFolderReportsTheFolderItself)
{
    fs::remove_all(root + "/Single Shots/20240305/000");
    const Records records = CollectUntil(watcher, 2, "Single Shots/20240305/000");
    EXPECT_TRUE(Contains(records, 2, "Single Shots/20240305/000/SingleShot0000.jpg"));
    EXPECT_TRUE(Contains(records, 2, "Single Shots/20240305/000"));
}

TEST_F(InotifyTreeWatcherTest, WakeFromAnotherThreadEndsAWaitWithNothingToReport)
{
    std::thread waker([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        watcher.Wake();
    });
    Records records;
    EXPECT_EQ(watcher.Wait(records), Result::Woken);
    EXPECT_TRUE(records.empty());
    waker.join();
}

TEST_F(InotifyTreeWatcherTest, LostEventsGiveOverflowAndWatchingGoesOn)
{
    // More events than the kernel queues (16384 by default) while nobody reads.
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    int limit = 16384;
    limitFile >> limit;
    if (limit > 100000)
        GTEST_SKIP() << "inotify queue too long to overflow quickly: " << limit;
    const std::string folder = root + "/Movies/";
    for (int i = 0; i < limit / 2 + 100; ++i) {
        const std::string path = folder + "f" + std::to_string(i);
        Touch(path);
        fs::remove(path);
    }
    bool overflow = false;
    WaitUntil(watcher, [&overflow](Result result, const Records &) {
        overflow = result == Result::Overflow;
        return overflow;
    });
    EXPECT_TRUE(overflow);

    fs::create_directories(root + "/Movies/after");
    EXPECT_TRUE(Contains(CollectUntil(watcher, 1, "Movies/after"), 1, "Movies/after"));
    Touch(root + "/Movies/after/late.avi");
    fs::remove(root + "/Movies/after/late.avi");
    const Records records = CollectUntil(watcher, 2, "Movies/after/late.avi");
    EXPECT_TRUE(Contains(records, 2, "Movies/after/late.avi"));
}

TEST(InotifyTreeWatcher, MissingRootCannotBeOpened)
{
    TempFolder temp;
    InotifyTreeWatcher watcher;
    EXPECT_FALSE(watcher.Open(temp.file("no such folder")));
    Records records;
    EXPECT_EQ(watcher.Wait(records), Result::Failed);
}

} // namespace
