#include "InotifyTreeWatcher.h"

#include <cerrno>
#include <cstdint>

#include <sys/inotify.h>

namespace {

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                IN_DONT_FOLLOW | IN_EXCL_UNLINK;
// How long a move out of a folder waits for its other half in a following read before it
// counts as a removal.
constexpr int kMovePairingMs = 5;

std::string Join(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + "/" + name;
}

} // namespace

InotifyTreeWatcher::InotifyTreeWatcher() = default;

InotifyTreeWatcher::~InotifyTreeWatcher() = default;

bool InotifyTreeWatcher::Open(const std::string &root)
{
    return m_tree.valid() && m_tree.watchTree(root, kWatchMask);
}

void InotifyTreeWatcher::Wake()
{
    m_tree.wake();
}

int InotifyTreeWatcher::PollOnce(int timeoutMs)
{
    switch (m_tree.wait(timeoutMs)) {
    case varnolet::WakeablePoll::Result::Ready:
        return 0;
    case varnolet::WakeablePoll::Result::Woken:
        return 1;
    default:
        return -1;
    }
}

InotifyTreeWatcher::WaitResult InotifyTreeWatcher::Wait(std::vector<FolderChangeRecord> &records)
{
    records.clear();
    if (m_tree.rootWatch() < 0 || m_rootGone)
        return WaitResult::Failed;
    const int first = PollOnce(-1);
    if (first == 1)
        return WaitResult::Woken;
    if (first < 0)
        return WaitResult::Failed;

    bool overflow = false;
    if (!ReadEvents(records, &overflow))
        return WaitResult::Failed;
    // A move whose second half has not come yet: give it a moment in a following read.
    while (m_pendingMove && !overflow) {
        const int more = PollOnce(kMovePairingMs);
        if (more == 1) {
            Wake(); // keep the wake-up for the next wait, after these records are delivered
            break;
        }
        if (more < 0)
            break;
        if (!ReadEvents(records, &overflow))
            return WaitResult::Failed;
    }
    if (overflow) {
        records.clear();
        m_pendingMove.reset();
        m_tree.watchBelow("");
        return WaitResult::Overflow;
    }
    FlushPendingMove(records);
    return WaitResult::Changes;
}

bool InotifyTreeWatcher::ReadEvents(std::vector<FolderChangeRecord> &records, bool *overflow)
{
    m_events.clear();
    if (m_tree.read(m_events) < 0)
        return false;
    for (const varnolet::InotifyEvent &event : m_events) {
        if (event.mask & IN_Q_OVERFLOW)
            *overflow = true;
        else
            HandleEvent(event, records);
    }
    return true;
}

void InotifyTreeWatcher::FlushPendingMove(std::vector<FolderChangeRecord> &records)
{
    if (!m_pendingMove)
        return;
    records.push_back({FolderChangeRecord::Removed, m_pendingMove->name});
    if (m_pendingMove->isFolder)
        m_tree.dropBelow(m_pendingMove->name);
    m_pendingMove.reset();
}

void InotifyTreeWatcher::HandleEvent(const varnolet::InotifyEvent &event,
                                     std::vector<FolderChangeRecord> &records)
{
    const uint32_t mask = event.mask;
    const uint32_t cookie = event.cookie;
    if (mask & IN_IGNORED) {
        m_tree.forget(event.wd);
        if (event.wd == m_tree.rootWatch())
            m_rootGone = true;
        return;
    }
    const std::string *folder = m_tree.folderOf(event.wd);
    if (!folder)
        return;
    if (event.name.empty()) {
        if ((mask & IN_DELETE_SELF) && event.wd == m_tree.rootWatch())
            m_rootGone = true;
        return;
    }
    const std::string relative = Join(*folder, event.name);
    const bool isFolder = mask & IN_ISDIR;

    if (m_pendingMove && !((mask & IN_MOVED_TO) && cookie == m_pendingMove->cookie))
        FlushPendingMove(records);

    if (mask & IN_CREATE) {
        records.push_back({FolderChangeRecord::Added, relative});
        if (isFolder)
            m_tree.watchBelow(relative);
    } else if (mask & IN_DELETE) {
        records.push_back({FolderChangeRecord::Removed, relative});
    } else if (mask & IN_CLOSE_WRITE) {
        records.push_back({FolderChangeRecord::Modified, relative});
    } else if (mask & IN_MOVED_FROM) {
        m_pendingMove = PendingMove{cookie, relative, isFolder};
    } else if (mask & IN_MOVED_TO) {
        if (m_pendingMove) {
            records.push_back({FolderChangeRecord::RenamedOldName, m_pendingMove->name});
            records.push_back({FolderChangeRecord::RenamedNewName, relative});
            if (isFolder) {
                m_tree.renameBelow(m_pendingMove->name, relative);
                m_tree.watchBelow(relative);
            }
            m_pendingMove.reset();
        } else {
            records.push_back({FolderChangeRecord::Added, relative});
            if (isFolder)
                m_tree.watchBelow(relative);
        }
    }
}
