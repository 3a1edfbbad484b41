#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"
#include "mac/browser/VxKQueue.h"
#include "mac/browser/VxKQueueDelegate.h"
#include "mac/browser/VxNotificationCenter.h"
#include "tests/support/TestSupport.h"

using namespace std::chrono_literals;
using varnolet::test::processEventsFor;
using varnolet::test::processEventsUntil;
using varnolet::test::TempFolder;

namespace {

struct Report
{
    std::string name;
    std::string path;
    bool onMainThread;
};

class RecordingDelegate final : public VxKQueueDelegate
{
public:
    void watcher(VxKQueue *, const std::string &name, const std::string &path) override
    {
        std::lock_guard lock(m_lock);
        m_reports.push_back(
            {name, path, QThread::currentThread() == QCoreApplication::instance()->thread()});
    }
    std::vector<Report> reports() const
    {
        std::lock_guard lock(m_lock);
        return m_reports;
    }
    size_t size() const { return reports().size(); }

private:
    mutable std::mutex m_lock;
    std::vector<Report> m_reports;
};

// Collects the centre's notifications (they arrive on the watcher thread).
class NotificationRecorder
{
public:
    explicit NotificationRecorder(const void *object)
    {
        m_token = VxNotificationCenter::defaultCenter().addObserver(
            "", object, [this](const VxNotification &n) {
                std::lock_guard lock(m_lock);
                m_notes.push_back(n);
            });
    }
    ~NotificationRecorder() { VxNotificationCenter::defaultCenter().removeObserver(m_token); }
    std::vector<VxNotification> notes() const
    {
        std::lock_guard lock(m_lock);
        return m_notes;
    }

private:
    mutable std::mutex m_lock;
    std::vector<VxNotification> m_notes;
    uint64_t m_token = 0;
};

void createFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "data", 4), 4);
    ::close(fd);
}

} // namespace

TEST(VxKQueueTest, CreatingAFileReportsOneWriteOnTheMainThread)
{
    TempFolder folder;
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    EXPECT_EQ(kq->delegate(), &delegate);
    NotificationRecorder notes(kq.get());
    kq->addPath(folder.path());

    createFile(folder.file("photo.jpg"));
    ASSERT_TRUE(processEventsUntil([&] { return delegate.size() >= 1; }));
    processEventsFor(200ms);
    const std::vector<Report> reports = delegate.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].name, "VxKQueueFileWrittenToNotification");
    EXPECT_EQ(reports[0].path, folder.path());
    EXPECT_TRUE(reports[0].onMainThread);
    EXPECT_TRUE(notes.notes().empty()); // delegate and no alwaysNotify: nothing posted
}

TEST(VxKQueueTest, WithoutDelegateChangesArePostedWithThePath)
{
    TempFolder folder;
    folder.write("a.jpg", "x");
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    NotificationRecorder notes(kq.get());
    kq->addPath(folder.path());

    std::filesystem::rename(folder.file("a.jpg"), folder.file("b.jpg"));
    ASSERT_TRUE(processEventsUntil([&] { return !notes.notes().empty(); }));
    std::filesystem::remove(folder.file("b.jpg"));
    ASSERT_TRUE(processEventsUntil([&] { return notes.notes().size() >= 2; }));
    for (const VxNotification &n : notes.notes()) {
        EXPECT_EQ(n.name, VxFileWatcherWriteNotification);
        EXPECT_EQ(n.object, kq.get());
        EXPECT_EQ(n.userInfo, (std::map<std::string, std::string>{{"path", folder.path()}}));
    }
}

TEST(VxKQueueTest, AlwaysNotifyPostsBesideTheDelegate)
{
    TempFolder folder;
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    kq->setAlwaysNotify(true);
    EXPECT_TRUE(kq->alwaysNotify());
    NotificationRecorder notes(kq.get());
    kq->addPath(folder.path());
    folder.makeFolder("sub");
    ASSERT_TRUE(processEventsUntil([&] { return delegate.size() >= 1 && !notes.notes().empty(); }));
    EXPECT_EQ(notes.notes()[0].name, VxFileWatcherWriteNotification);
}

TEST(VxKQueueTest, RenamingTheWatchedFolderReportsRenameFirst)
{
    TempFolder parent;
    parent.makeFolder("watched");
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    kq->addPath(parent.file("watched"));
    std::filesystem::rename(parent.file("watched"), parent.file("moved"));
    ASSERT_TRUE(processEventsUntil([&] { return delegate.size() >= 1; }));
    EXPECT_EQ(delegate.reports()[0].name, "VxKQueueFileRenamedNotification");
    EXPECT_EQ(delegate.reports()[0].path,
              parent.file("watched")); // reported under its watched path
}

TEST(VxKQueueTest, KindsOfOneEventComeInTableOrder)
{
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    kq->postChanges("/p", VxKQueue::NoteAttrib | VxKQueue::NoteWrite);
    kq->postChanges("/q", 0x7F);
    const std::vector<Report> reports = delegate.reports();
    std::vector<std::string> names;
    for (const Report &r : reports)
        names.push_back(r.name);
    EXPECT_EQ(
        names,
        (std::vector<std::string>{
            VxFileWatcherWriteNotification, VxFileWatcherAttributeChangeNotification,
            "VxKQueueFileRenamedNotification", "VxKQueueFileWrittenToNotification",
            "VxKQueueFileDeletedNotification", "VxKQueueFileAttributesChangedNotification",
            "VxKQueueFileSizeIncreasedNotification", "VxKQueueFileLinkCountChangedNotification",
            "VxKQueueFileAccessRevocationNotification"}));
    EXPECT_EQ(VxKQueue::kDefaultInterest, 43u);
}

TEST(VxKQueueTest, FilesFoldersAndInterestMasks)
{
    TempFolder folder;
    const std::string file = folder.write("log.txt", "a");
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    kq->addPathToQueue(folder.path(), 0x7F);
    kq->addPathToQueue(file, VxKQueue::NoteWrite | VxKQueue::NoteExtend);

    folder.makeFolder("child");
    ASSERT_TRUE(processEventsUntil([&] { return delegate.size() >= 2; }));
    {
        const std::vector<Report> r = delegate.reports();
        EXPECT_EQ(r[0].name, VxFileWatcherWriteNotification);
        EXPECT_EQ(r[1].name, VxFileWatcherLinkCountChangeNotification);
    }
    FILE *out = std::fopen(file.c_str(), "a");
    ASSERT_NE(out, nullptr);
    std::fputs("more", out);
    std::fclose(out);
    ASSERT_TRUE(processEventsUntil([&] {
        for (const Report &r : delegate.reports())
            if (r.path == file && r.name == VxFileWatcherSizeIncreaseNotification)
                return true;
        return false;
    }));
}

TEST(VxKQueueTest, AddingAndRemovingPaths)
{
    TempFolder folder;
    ScopedLogCapture log;
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    EXPECT_GE(kq->queueFD(), 0);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    kq->addPath(folder.file("does-not-exist"));
    EXPECT_TRUE(kq->watchedPaths().empty());
    kq->addPath(folder.path());
    kq->addPath(folder.path());
    EXPECT_EQ(kq->description(), "VxKQueue { watchedPaths = (\n    \"" + folder.path() +
                                     "\",\n    \"" + folder.path() + "\"\n), alwaysNotify = NO }");
    kq->removePath("/never/added");
    kq->removePathFromQueue(folder.path());
    EXPECT_EQ(kq->watchedPaths(), (std::vector<std::string>{folder.path()}));

    createFile(folder.file("one"));
    ASSERT_TRUE(processEventsUntil([&] { return delegate.size() >= 1; }));
    processEventsFor(150ms);
    EXPECT_EQ(delegate.size(), 1u); // one entry left, one report

    kq->removeAllPathsFromQueue();
    EXPECT_TRUE(kq->watchedPaths().empty());
    createFile(folder.file("two"));
    processEventsFor(200ms);
    EXPECT_EQ(delegate.size(), 1u);
    EXPECT_TRUE(log.lines().empty());
}

TEST(VxKQueueTest, DeletedFolderReportsDeleteAndUnwatchesQuietly)
{
    TempFolder parent;
    parent.makeFolder("gone");
    ScopedLogCapture log;
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    kq->addPath(parent.file("gone"));
    std::filesystem::remove(parent.file("gone"));
    ASSERT_TRUE(processEventsUntil([&] {
        for (const Report &r : delegate.reports())
            if (r.name == VxFileWatcherDeleteNotification)
                return true;
        return false;
    }));
    processEventsFor(100ms);
    kq->removePath(parent.file("gone"));
    kq.reset();
    EXPECT_TRUE(log.lines().empty());
}

TEST(VxKQueueTest, LettingGoEndsTheThreadEvenWhileItWaitsForTheMainThread)
{
    TempFolder folder;
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate delegate;
    kq->setDelegate(&delegate);
    kq->addPath(folder.path());
    createFile(folder.file("x"));
    // Not running the event loop: the watcher thread now waits for its delegate call.
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    kq.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    processEventsFor(50ms);
    EXPECT_EQ(delegate.size(), 0u); // the call still on its way did not reach the delegate
}

TEST(VxKQueueTest, ReplacedDelegateGetsNothingMore)
{
    TempFolder folder;
    std::unique_ptr<VxKQueue> kq = VxKQueue::init();
    ASSERT_NE(kq, nullptr);
    RecordingDelegate first, second;
    kq->setDelegate(&first);
    kq->addPath(folder.path());
    createFile(folder.file("x"));
    std::this_thread::sleep_for(200ms); // the call for the first delegate is on its way
    kq->setDelegate(&second);
    createFile(folder.file("y"));
    ASSERT_TRUE(processEventsUntil([&] { return second.size() >= 1; }));
    EXPECT_EQ(first.size(), 0u);
    kq->setDelegate(nullptr);
    EXPECT_EQ(kq->delegate(), nullptr);
}

TEST(VxKQueueTest, SharedWatcherIsOneInstance)
{
    VxKQueue *shared = VxKQueue::sharedFileWatcher();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(VxKQueue::sharedFileWatcher(), shared);
    std::thread other([&] { EXPECT_EQ(VxKQueue::sharedFileWatcher(), shared); });
    other.join();
}

TEST(VxKQueueTest, SharedWatcherEndsWhenReleased)
{
    VxKQueue *shared = VxKQueue::sharedFileWatcher();
    ASSERT_NE(shared, nullptr);
    VxKQueue::releaseSharedFileWatcher(); // joins its thread; must not hang
    VxKQueue *again = VxKQueue::sharedFileWatcher();
    ASSERT_NE(again, nullptr);
    TempFolder folder;
    RecordingDelegate delegate;
    again->setDelegate(&delegate);
    again->addPath(folder.path());
    std::FILE *file = std::fopen((folder.path() + "/a.jpg").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_TRUE(processEventsUntil([&] { return !delegate.reports().empty(); }));
    again->setDelegate(nullptr);
    VxKQueue::releaseSharedFileWatcher();
}

namespace {

int failingPoll(pollfd *, nfds_t, int)
{
    errno = EBADF;
    return -1;
}

int invalidDescriptorPoll(pollfd *fds, nfds_t count, int)
{
    for (unsigned long i = 0; i < count; ++i)
        fds[i].revents = i == 0 ? POLLNVAL : 0;
    return 1;
}

} // namespace

// A wait that keeps failing ends the thread with one line instead of spinning.
TEST(VxKQueueTest, APersistentWaitFailureEndsTheThreadWithOneLogLine)
{
    for (VxKQueue::PollFunction poll : {&failingPoll, &invalidDescriptorPoll}) {
        ScopedLogCapture log;
        std::unique_ptr<VxKQueue> kq = VxKQueue::init(poll);
        ASSERT_NE(kq, nullptr);
        std::this_thread::sleep_for(200ms);
        const auto lines = log.lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("no longer watched"), std::string::npos) << lines[0];
        kq.reset(); // joins the ended thread at once
    }
}
