#include "win/browser/FolderChangeTarget.h"
#include "win/browser/FolderMonitor.h"

#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using varnolet::test::TempFolder;
using SteadyClock = std::chrono::steady_clock;

// Records what the processing thread asks for, with the time of each call.
class RecordingTarget final : public FolderChangeTarget
{
public:
    struct Change
    {
        std::string root;
        uint32_t action;
        std::string name;
    };

    bool ApplyFolderChange(const std::string &root, uint32_t action,
                           const std::string &name) override
    {
        std::lock_guard guard(m_lock);
        m_changes.push_back({root, action, name});
        m_lastChange = SteadyClock::now();
        return action == 2;
    }
    void RescanAfterLostChanges() override
    {
        std::lock_guard guard(m_lock);
        ++m_rescans;
    }
    void RepaintAfterChanges() override
    {
        std::lock_guard guard(m_lock);
        ++m_repaints;
        m_lastRepaint = SteadyClock::now();
    }

    std::vector<Change> changes() const
    {
        std::lock_guard guard(m_lock);
        return m_changes;
    }
    size_t countOf(uint32_t action) const
    {
        std::lock_guard guard(m_lock);
        size_t count = 0;
        for (const Change &change : m_changes)
            count += change.action == action;
        return count;
    }
    int rescans() const
    {
        std::lock_guard guard(m_lock);
        return m_rescans;
    }
    int repaints() const
    {
        std::lock_guard guard(m_lock);
        return m_repaints;
    }
    SteadyClock::duration quietBeforeRepaint() const
    {
        std::lock_guard guard(m_lock);
        return m_lastRepaint - m_lastChange;
    }

private:
    mutable std::mutex m_lock;
    std::vector<Change> m_changes;
    int m_rescans = 0;
    int m_repaints = 0;
    SteadyClock::time_point m_lastChange;
    SteadyClock::time_point m_lastRepaint;
};

bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds timeout = 3000ms)
{
    const auto end = SteadyClock::now() + timeout;
    while (!condition()) {
        if (SteadyClock::now() > end)
            return condition();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class FolderMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = temp.file("Varnolet");
        temp.makeFolder("Varnolet/Single Shots");
        ASSERT_TRUE(monitor.StartProcessing());
        ASSERT_TRUE(monitor.StartMonitor(root));
        ASSERT_TRUE(WaitFor([this] { return monitor.IsWatching(); }));
    }

    TempFolder temp;
    std::string root;
    RecordingTarget target;
    varnolet::MessageRecorder messages;
    FolderMonitor monitor{target, messages.box()};
};

TEST_F(FolderMonitorTest, ABurstOfFiveHundredDeletionsCostsOneRepaintAfterTheQuietTime)
{
    const std::string folder = root + "/Single Shots/";
    for (int i = 0; i < 500; ++i)
        std::ofstream(folder + "S20240305_" + std::to_string(1000 + i) + ".jpg") << "x";
    // Let the creations pass first (they ask for no repaint).
    ASSERT_TRUE(WaitFor([&] { return target.countOf(1) == 500; }));
    for (int i = 0; i < 500; ++i)
        fs::remove(folder + "S20240305_" + std::to_string(1000 + i) + ".jpg");

    ASSERT_TRUE(WaitFor([&] { return target.countOf(2) == 500 && target.repaints() > 0; }));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(target.repaints(), 1);
    EXPECT_GE(target.quietBeforeRepaint(), FolderMonitor::kQuietTime);
    for (const RecordingTarget::Change &change : target.changes())
        EXPECT_EQ(change.root, root);
}

TEST_F(FolderMonitorTest, LostChangesCauseOneRescanAfterTheQuietTimeInsteadOfARepaint)
{
    monitor.Queue().Push({root, std::nullopt});
    monitor.Queue().Push(
        {root, FolderChangeBlock::Encode({{FolderChangeRecord::Removed, "a.jpg"}})});
    monitor.Queue().Push({root, std::nullopt});
    ASSERT_TRUE(WaitFor([&] { return target.rescans() > 0; }));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(target.rescans(), 1);
    EXPECT_EQ(target.repaints(), 0);
    EXPECT_EQ(target.countOf(2), 1u);
    EXPECT_EQ(monitor.QueuedCount(), 0u);
}

TEST_F(FolderMonitorTest, StopEndsTheWaitingThreadAndLeavesNothingInTheRoot)
{
    const auto start = SteadyClock::now();
    monitor.StopFolderMonitor();
    EXPECT_LT(SteadyClock::now() - start, 1s);
    EXPECT_FALSE(monitor.MonitorRunning());
    EXPECT_FALSE(monitor.IsWatching());
    std::vector<std::string> entries;
    for (const auto &entry : fs::directory_iterator(root))
        entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"Single Shots"});
    EXPECT_FALSE(fs::exists(root + "/MyVarnoletMMNXXXTemp.dat"));

    // Changes after the stop reach nobody.
    fs::remove(root + "/Single Shots");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(target.countOf(2), 0u);
}

TEST_F(FolderMonitorTest, RestartMovesTheWatchToTheNewRoot)
{
    const std::string newRoot = temp.file("Other/Varnolet");
    temp.makeFolder("Other/Varnolet/Movies");
    ASSERT_TRUE(monitor.StartMonitor(newRoot));
    ASSERT_TRUE(WaitFor([this] { return monitor.IsWatching(); }));
    EXPECT_EQ(monitor.WatchedRoot(), newRoot);

    fs::remove(root + "/Single Shots");
    fs::remove(newRoot + "/Movies");
    ASSERT_TRUE(WaitFor([&] { return target.countOf(2) >= 1; }));
    std::this_thread::sleep_for(100ms);
    const std::vector<RecordingTarget::Change> changes = target.changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].root, newRoot);
    EXPECT_EQ(changes[0].name, "Movies");
}

TEST_F(FolderMonitorTest, AMissingRootMeansNoMonitoringButNoFailure)
{
    EXPECT_TRUE(monitor.StartMonitor(temp.file("absent")));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(monitor.IsWatching());
    monitor.StopFolderMonitor();
    EXPECT_FALSE(monitor.MonitorRunning());
}

TEST(FolderMonitor, AThreadThatCannotStartShowsTheMessageAndTheRestGoesOn)
{
    varnolet::MessageRecorder messages;
    RecordingTarget target;
    FolderMonitor monitor(target, messages.box());
    monitor.SetThreadLauncher([](std::thread &, std::function<void()>) { return false; });
    TempFolder temp;
    EXPECT_FALSE(monitor.StartMonitor(temp.path()));
    EXPECT_FALSE(monitor.StartProcessing());
    ASSERT_EQ(messages->count(), 2u);
    EXPECT_EQ(messages->texts()[0], "Thread of monitoring Varnolet path  run failure");
    EXPECT_EQ(messages->messages()[0].caption, "Varnolet");
    EXPECT_EQ(messages->messages()[0].icon, varnolet::MessageIcon::Warning);
    EXPECT_FALSE(monitor.MonitorRunning());
    monitor.StopFolderMonitor(); // nothing to join, must not hang
}

} // namespace
