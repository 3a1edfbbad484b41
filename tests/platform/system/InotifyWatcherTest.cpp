#include "platform/system/InotifyWatcher.h"

#include "tests/support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/inotify.h>

#include <gtest/gtest.h>

using namespace varnolet;

namespace {

namespace fs = std::filesystem;
using varnolet::test::TempFolder;

constexpr uint32_t kTreeMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

// Reads events until one named `name` comes from the tree folder `folder`, for at most two
// seconds of waiting.
bool awaitEvent(InotifyWatcher &watcher, const std::string &folder, const std::string &name)
{
    for (int round = 0; round < 20; ++round) {
        if (watcher.wait(100) != WakeablePoll::Result::Ready)
            continue;
        std::vector<InotifyEvent> events;
        EXPECT_GE(watcher.read(events), 0);
        for (const InotifyEvent &event : events) {
            const std::string *at = watcher.folderOf(event.wd);
            if (at && *at == folder && event.name == name)
                return true;
        }
    }
    return false;
}

class InotifyWatcherTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        temp.makeFolder("root/a/b/c");
        temp.makeFolder("root/d");
        temp.makeFolder("outside");
        fs::create_directory_symlink(temp.file("outside"), temp.file("root/link"));
        ASSERT_TRUE(watcher.valid());
        ASSERT_TRUE(watcher.watchTree(temp.file("root"), kTreeMask));
    }

    TempFolder temp;
    InotifyWatcher watcher;
};

TEST_F(InotifyWatcherTreeTest, WatchesEveryFolderBelowTheRootButNoLinks)
{
    EXPECT_EQ(watcher.treeWatchCount(), 5u); // root, a, a/b, a/b/c, d
    ASSERT_NE(watcher.folderOf(watcher.rootWatch()), nullptr);
    EXPECT_EQ(*watcher.folderOf(watcher.rootWatch()), "");
    EXPECT_EQ(watcher.fullPath("a/b"), temp.file("root/a/b"));
    EXPECT_FALSE(watcher.watchTree(temp.file("outside"), kTreeMask)); // one tree only
}

TEST_F(InotifyWatcherTreeTest, EventsNameTheFolderTheyHappenedIn)
{
    std::ofstream(temp.file("root/a/b/new.jpg")) << "x";
    EXPECT_TRUE(awaitEvent(watcher, "a/b", "new.jpg"));
}

TEST_F(InotifyWatcherTreeTest, NewFoldersJoinTheTreeWhenWatchedBelow)
{
    temp.makeFolder("root/e/f");
    watcher.watchBelow("e");
    EXPECT_EQ(watcher.treeWatchCount(), 7u);
    std::ofstream(temp.file("root/e/f/shot.jpg")) << "x";
    EXPECT_TRUE(awaitEvent(watcher, "e/f", "shot.jpg"));
}

TEST_F(InotifyWatcherTreeTest, RenamedFoldersKeepTheirWatchesUnderTheNewName)
{
    fs::rename(temp.file("root/a"), temp.file("root/z"));
    watcher.renameBelow("a", "z");
    std::ofstream(temp.file("root/z/b/c/moved.jpg")) << "x";
    EXPECT_TRUE(awaitEvent(watcher, "z/b/c", "moved.jpg"));
    EXPECT_EQ(watcher.treeWatchCount(), 5u);
}

TEST_F(InotifyWatcherTreeTest, DroppingAFolderEndsTheWatchesBelowItButNotTheRoot)
{
    watcher.dropBelow("a");
    EXPECT_EQ(watcher.treeWatchCount(), 2u); // root and d
    watcher.dropBelow("");
    EXPECT_EQ(watcher.treeWatchCount(), 1u);
    EXPECT_NE(watcher.folderOf(watcher.rootWatch()), nullptr);
}

TEST(InotifyWatcherTest, TreesDeeperThanTheLimitAreCutOff)
{
    TempFolder temp;
    std::string deep = "root";
    for (int depth = 0; depth < InotifyWatcher::kMaxDepth + 3; ++depth)
        deep += "/n";
    temp.makeFolder(deep);
    InotifyWatcher watcher;
    ASSERT_TRUE(watcher.watchTree(temp.file("root"), kTreeMask));
    EXPECT_EQ(watcher.treeWatchCount(), static_cast<size_t>(InotifyWatcher::kMaxDepth) + 1);
}

TEST(InotifyWatcherTest, AMissingRootIsNotWatched)
{
    TempFolder temp;
    InotifyWatcher watcher;
    EXPECT_FALSE(watcher.watchTree(temp.file("missing"), kTreeMask));
    EXPECT_FALSE(watcher.watchTree("", kTreeMask));
    EXPECT_EQ(watcher.treeWatchCount(), 0u);
}

TEST(InotifyWatcherTest, ASinglePathReportsItsOwnChangesUntilRemoved)
{
    TempFolder temp;
    const std::string file = temp.write("photo.jpg", "x");
    InotifyWatcher watcher;
    const int wd = watcher.addWatch(file, IN_MODIFY);
    ASSERT_GE(wd, 0);
    std::ofstream(file, std::ios::app) << "more";
    ASSERT_EQ(watcher.wait(2000), WakeablePoll::Result::Ready);
    std::vector<InotifyEvent> events;
    ASSERT_EQ(watcher.read(events), 1);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].wd, wd);
    EXPECT_TRUE(events[0].mask & IN_MODIFY);
    EXPECT_EQ(events[0].name, "");
    EXPECT_EQ(watcher.folderOf(wd), nullptr); // not part of a tree

    EXPECT_TRUE(watcher.removeWatch(wd));
    EXPECT_FALSE(watcher.removeWatch(wd));
    EXPECT_EQ(watcher.addWatch(temp.file("missing"), IN_MODIFY), -1);
}

TEST(InotifyWatcherTest, NothingQueuedReadsNothingAndTimesOut)
{
    InotifyWatcher watcher;
    std::vector<InotifyEvent> events;
    EXPECT_EQ(watcher.read(events), 0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(watcher.wait(0), WakeablePoll::Result::TimedOut);
}

TEST(InotifyWatcherTest, AWakeFromAnotherThreadEndsAnEndlessWait)
{
    InotifyWatcher watcher;
    std::thread waker([&] { watcher.wake(); });
    EXPECT_EQ(watcher.wait(-1), WakeablePoll::Result::Woken);
    waker.join();
}

} // namespace
