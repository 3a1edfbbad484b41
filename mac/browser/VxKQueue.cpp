#include "VxKQueue.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <set>
#include <stdexcept>

#include <sys/inotify.h>
#include <sys/stat.h>

#include <QCoreApplication>

#include "mac/core/SystemLog.h"
#include "mac/browser/VxKQueueDelegate.h"
#include "mac/browser/VxMainThreadProxy.h"
#include "mac/browser/VxNotificationCenter.h"
#include "platform/system/ThreadName.h"

const char *const VxFileWatcherRenameNotification = "VxKQueueFileRenamedNotification";
const char *const VxFileWatcherWriteNotification = "VxKQueueFileWrittenToNotification";
const char *const VxFileWatcherDeleteNotification = "VxKQueueFileDeletedNotification";
const char *const VxFileWatcherAttributeChangeNotification =
    "VxKQueueFileAttributesChangedNotification";
const char *const VxFileWatcherSizeIncreaseNotification = "VxKQueueFileSizeIncreasedNotification";
const char *const VxFileWatcherLinkCountChangeNotification =
    "VxKQueueFileLinkCountChangedNotification";
const char *const VxFileWatcherAccessRevocationNotification =
    "VxKQueueFileAccessRevocationNotification";

namespace {

constexpr uint32_t kWatchMask = IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_CREATE |
                                IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

struct Kind
{
    uint32_t flag;
    const char *const *name;
};

// The order in which the kinds of one event are reported.
const Kind kKinds[] = {
    {VxKQueue::NoteRename, &VxFileWatcherRenameNotification},
    {VxKQueue::NoteWrite, &VxFileWatcherWriteNotification},
    {VxKQueue::NoteDelete, &VxFileWatcherDeleteNotification},
    {VxKQueue::NoteAttrib, &VxFileWatcherAttributeChangeNotification},
    {VxKQueue::NoteExtend, &VxFileWatcherSizeIncreaseNotification},
    {VxKQueue::NoteLink, &VxFileWatcherLinkCountChangeNotification},
    {VxKQueue::NoteRevoke, &VxFileWatcherAccessRevocationNotification},
};

int64_t sizeOf(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// The change kinds an inotify event means for the watched path itself.
uint32_t kindsOf(const varnolet::InotifyEvent &event)
{
    uint32_t kinds = 0;
    if (!event.name.empty()) {
        // An entry of a watched folder was added, removed or renamed.
        if (event.mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) {
            kinds |= VxKQueue::NoteWrite;
            if (event.mask & IN_ISDIR)
                kinds |= VxKQueue::NoteLink;
        }
        return kinds;
    }
    if (event.mask & IN_MOVE_SELF)
        kinds |= VxKQueue::NoteRename;
    if (event.mask & IN_MODIFY)
        kinds |= VxKQueue::NoteWrite;
    if (event.mask & IN_DELETE_SELF)
        kinds |= VxKQueue::NoteDelete;
    if (event.mask & IN_ATTRIB)
        kinds |= VxKQueue::NoteAttrib;
    if (event.mask & IN_UNMOUNT)
        kinds |= VxKQueue::NoteRevoke;
    return kinds;
}

} // namespace

std::unique_ptr<VxKQueue> VxKQueue::init(PollFunction poll)
{
    std::unique_ptr<VxKQueue> watcher(new VxKQueue(poll));
    if (!watcher->m_queue.valid())
        return nullptr;
    watcher->m_thread = std::thread([target = watcher.get()] { target->watcherThread(); });
    return watcher;
}

namespace {

std::mutex sharedLock;
std::unique_ptr<VxKQueue> shared; // guarded by sharedLock

} // namespace

VxKQueue *VxKQueue::sharedFileWatcher()
{
    std::lock_guard guard(sharedLock);
    if (!shared) {
        shared = init();
        // Joined while the application still exists, not by a static destructor after it.
        if (shared && QCoreApplication::instance())
            qAddPostRoutine(&VxKQueue::releaseSharedFileWatcher);
    }
    return shared.get();
}

void VxKQueue::releaseSharedFileWatcher()
{
    std::unique_ptr<VxKQueue> ending;
    {
        std::lock_guard guard(sharedLock);
        ending = std::move(shared);
    }
}

VxKQueue::VxKQueue(PollFunction poll)
    : m_queue(poll)
{
}

VxKQueue::~VxKQueue()
{
    std::shared_ptr<VxMainThreadProxy> proxy;
    {
        std::lock_guard lock(m_lock);
        m_keepThreadRunning = false;
        m_delegate = nullptr;
        proxy = std::move(m_delegateProxy);
    }
    // Releases the thread should it wait for a delegate call on the main thread.
    if (proxy)
        proxy->invalidate();
    m_queue.wake();
    if (m_thread.joinable())
        m_thread.join();
    proxy.reset();

    std::set<int> watches;
    for (const Entry &entry : m_watched)
        if (entry.wd >= 0)
            watches.insert(entry.wd);
    for (int wd : watches)
        if (!m_queue.removeWatch(wd))
            SystemLog::write("dealloc: Couldn't close file descriptor (%d)", errno);
    m_watched.clear();
}

void VxKQueue::addPath(const std::string &path)
{
    addPathToQueue(path, kDefaultInterest);
}

void VxKQueue::addPathToQueue(const std::string &path, uint32_t notifyingAbout)
{
    std::lock_guard lock(m_lock);
    const int wd = m_queue.addWatch(path, kWatchMask);
    if (wd < 0)
        return;
    m_watched.push_back({path, wd, notifyingAbout, sizeOf(path)});
}

void VxKQueue::removePath(const std::string &path)
{
    removePathFromQueue(path);
}

void VxKQueue::removePathFromQueue(const std::string &path)
{
    std::lock_guard lock(m_lock);
    const auto it = std::find_if(m_watched.begin(), m_watched.end(),
                                 [&](const Entry &entry) { return entry.path == path; });
    if (it == m_watched.end())
        return;
    const int wd = it->wd;
    m_watched.erase(it);
    // Entries for the same file share one inotify watch; it goes with the last of them.
    // Done under the lock so that an add of the same file cannot slip in between.
    if (wd < 0)
        return;
    for (const Entry &entry : m_watched)
        if (entry.wd == wd)
            return;
    if (!m_queue.removeWatch(wd))
        SystemLog::write("removePathFromQueue: Couldn't close file descriptor (%d)", errno);
}

void VxKQueue::removeAllPathsFromQueue()
{
    std::lock_guard lock(m_lock);
    std::set<int> watches;
    for (const Entry &entry : m_watched)
        if (entry.wd >= 0)
            watches.insert(entry.wd);
    for (int wd : watches)
        m_queue.removeWatch(wd);
    m_watched.clear();
}

void VxKQueue::setDelegate(VxKQueueDelegate *delegate)
{
    std::shared_ptr<VxMainThreadProxy> old;
    {
        std::lock_guard lock(m_lock);
        m_delegate = delegate;
        old = std::move(m_delegateProxy);
        if (delegate)
            m_delegateProxy = VxMainThreadProxy::copyMainThreadProxy(delegate);
    }
    // A call through the old proxy still on its way must not reach the old delegate.
    if (old)
        old->invalidate();
}

VxKQueueDelegate *VxKQueue::delegate() const
{
    std::lock_guard lock(m_lock);
    return m_delegate;
}

void VxKQueue::setAlwaysNotify(bool on)
{
    std::lock_guard lock(m_lock);
    m_alwaysNotify = on;
}

bool VxKQueue::alwaysNotify() const
{
    std::lock_guard lock(m_lock);
    return m_alwaysNotify;
}

bool VxKQueue::isRunning() const
{
    std::lock_guard lock(m_lock);
    return m_keepThreadRunning;
}

void VxKQueue::postNotification(const std::string &name, const std::string &forFile)
{
    std::shared_ptr<VxMainThreadProxy> proxy;
    bool notify = true;
    {
        std::lock_guard lock(m_lock);
        proxy = m_delegateProxy;
        notify = !m_delegate || m_alwaysNotify;
    }
    if (proxy)
        proxy->watcher(this, name, forFile);
    if (notify)
        VxNotificationCenter::defaultCenter().postNotification(name, this, {{"path", forFile}});
}

void VxKQueue::postChanges(const std::string &path, uint32_t flags)
{
    for (const Kind &kind : kKinds) {
        if (!(flags & kind.flag))
            continue;
        if (!isRunning())
            return;
        postNotification(*kind.name, path);
    }
}

std::string VxKQueue::description() const
{
    std::lock_guard lock(m_lock);
    std::string paths = "(";
    for (size_t i = 0; i < m_watched.size(); ++i)
        paths += std::string(i ? "," : "") + "\n    \"" + m_watched[i].path + "\"";
    paths += "\n)";
    return std::string("VxKQueue { watchedPaths = ") + paths +
           ", alwaysNotify = " + (m_alwaysNotify ? "YES" : "NO") + " }";
}

std::vector<std::string> VxKQueue::watchedPaths() const
{
    std::lock_guard lock(m_lock);
    std::vector<std::string> paths;
    for (const Entry &entry : m_watched)
        paths.push_back(entry.path);
    return paths;
}

void VxKQueue::watcherThread()
{
    varnolet::ThreadName::set("VxKQueue");
    while (isRunning()) {
        // Sleeps until events come or the owner's wake-up (the destructor) ends the wait.
        int error = 0;
        const varnolet::WakeablePoll::Result result = m_queue.wait(-1, &error);
        // A failing wait on our own descriptors does not heal: going round again would only
        // spin and fill the log. Say it once and end; the owner still joins the thread.
        if (result == varnolet::WakeablePoll::Result::Failed) {
            if (error == ENODEV)
                SystemLog::write("Error in VxKQueue watcherThread: the kernel queue failed; "
                                 "changes are no longer watched");
            else
                SystemLog::write("Error in VxKQueue watcherThread: poll: %s; changes are no "
                                 "longer watched",
                                 std::strerror(error));
            return;
        }
        if (result != varnolet::WakeablePoll::Result::Ready)
            continue;
        try {
            readEvents();
        } catch (const std::exception &error) {
            SystemLog::write("Error in VxKQueue watcherThread: %s", error.what());
            return;
        }
    }
}

void VxKQueue::readEvents()
{
    // The kinds of all events read together are merged per entry (like a cleared kernel
    // event), then reported per entry in the order the entries were first touched.
    std::vector<varnolet::InotifyEvent> events;
    std::vector<std::pair<std::string, uint32_t>> reports;
    while (true) {
        events.clear();
        if (m_queue.read(events) <= 0)
            break;
        std::lock_guard lock(m_lock);
        std::map<size_t, size_t> reportOfEntry; // entry index -> index in reports
        for (const varnolet::InotifyEvent &event : events) {
            if (event.mask & IN_Q_OVERFLOW) {
                // Events were lost: every watched path may have changed.
                for (const Entry &entry : m_watched)
                    if (entry.flags & NoteWrite)
                        reports.emplace_back(entry.path, NoteWrite);
                continue;
            }
            const uint32_t kinds = kindsOf(event);
            for (size_t i = 0; i < m_watched.size(); ++i) {
                Entry &entry = m_watched[i];
                if (entry.wd != event.wd)
                    continue;
                uint32_t entryKinds = kinds;
                if (event.name.empty() && (event.mask & IN_MODIFY)) {
                    const int64_t size = sizeOf(entry.path);
                    if (size > entry.size)
                        entryKinds |= NoteExtend;
                    entry.size = size;
                }
                if (event.mask & IN_IGNORED)
                    entry.wd = -1;
                entryKinds &= entry.flags;
                if (!entryKinds)
                    continue;
                const auto found = reportOfEntry.find(i);
                if (found == reportOfEntry.end()) {
                    reportOfEntry[i] = reports.size();
                    reports.emplace_back(entry.path, entryKinds);
                } else {
                    reports[found->second].second |= entryKinds;
                }
            }
        }
    }
    for (const auto &[path, kinds] : reports)
        postChanges(path, kinds);
}
