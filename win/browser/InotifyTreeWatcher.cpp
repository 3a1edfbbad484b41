#include "InotifyTreeWatcher.h"

#include "FolderListing.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                IN_DONT_FOLLOW | IN_EXCL_UNLINK;
constexpr size_t kBufferSize = 8192;
// How long a move out of a folder waits for its other half in a following read before it
// counts as a removal.
constexpr int kMovePairingMs = 5;
// Deeper trees than this are not followed (guards against bind-mount loops).
constexpr int kMaxDepth = 32;

std::string Join(const std::string &folder, const std::string &name)
{
    return folder.empty() ? name : folder + "/" + name;
}

bool IsSameOrBelow(const std::string &path, const std::string &folder)
{
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

} // namespace

InotifyTreeWatcher::InotifyTreeWatcher()
    : m_buffer(kBufferSize)
{
}

InotifyTreeWatcher::~InotifyTreeWatcher()
{
    if (m_inotify >= 0)
        close(m_inotify);
}

std::string InotifyTreeWatcher::FullPath(const std::string &relative) const
{
    return relative.empty() ? m_root : m_root + "/" + relative;
}

bool InotifyTreeWatcher::Open(const std::string &root)
{
    if (m_inotify >= 0 || !m_waiter.valid() || root.empty())
        return false;
    m_inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_inotify < 0)
        return false;
    m_root = root;
    m_rootWatch = inotify_add_watch(m_inotify, root.c_str(), kWatchMask);
    if (m_rootWatch < 0) {
        close(m_inotify);
        m_inotify = -1;
        return false;
    }
    m_paths[m_rootWatch] = "";
    AddWatchesBelow("");
    return true;
}

void InotifyTreeWatcher::AddWatchesBelow(const std::string &relative, int depth)
{
    if (depth > kMaxDepth)
        return;
    if (!relative.empty()) {
        const int wd = inotify_add_watch(m_inotify, FullPath(relative).c_str(), kWatchMask);
        if (wd < 0)
            return;
        m_paths[wd] = relative;
    }
    for (const FolderListing::Subfolder &folder : FolderListing::Subfolders(FullPath(relative))) {
        if (!folder.symbolicLink)
            AddWatchesBelow(Join(relative, folder.name), depth + 1);
    }
}

void InotifyTreeWatcher::DropWatchesBelow(const std::string &relative)
{
    for (auto it = m_paths.begin(); it != m_paths.end();) {
        if (it->first != m_rootWatch && IsSameOrBelow(it->second, relative)) {
            inotify_rm_watch(m_inotify, it->first);
            it = m_paths.erase(it);
        } else {
            ++it;
        }
    }
}

void InotifyTreeWatcher::RenameWatchPaths(const std::string &from, const std::string &to)
{
    for (auto &[wd, path] : m_paths) {
        if (wd != m_rootWatch && IsSameOrBelow(path, from))
            path = to + path.substr(from.size());
    }
}

void InotifyTreeWatcher::Wake()
{
    m_waiter.wake();
}

int InotifyTreeWatcher::PollOnce(int timeoutMs)
{
    switch (m_waiter.wait(m_inotify, timeoutMs)) {
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
    if (m_inotify < 0 || m_rootGone)
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
        AddWatchesBelow("");
        return WaitResult::Overflow;
    }
    FlushPendingMove(records);
    return WaitResult::Changes;
}

bool InotifyTreeWatcher::ReadEvents(std::vector<FolderChangeRecord> &records, bool *overflow)
{
    const ssize_t length = read(m_inotify, m_buffer.data(), m_buffer.size());
    if (length < 0)
        return errno == EAGAIN || errno == EINTR;
    size_t at = 0;
    while (at + sizeof(inotify_event) <= static_cast<size_t>(length)) {
        inotify_event event;
        std::memcpy(&event, m_buffer.data() + at, sizeof event);
        const size_t nameAt = at + sizeof(inotify_event);
        if (nameAt + event.len > static_cast<size_t>(length))
            break;
        std::string name;
        if (event.len > 0)
            name.assign(m_buffer.data() + nameAt, strnlen(m_buffer.data() + nameAt, event.len));
        at = nameAt + event.len;

        if (event.mask & IN_Q_OVERFLOW) {
            *overflow = true;
            continue;
        }
        HandleEvent(event.wd, event.mask, event.cookie, name, records);
    }
    return true;
}

void InotifyTreeWatcher::FlushPendingMove(std::vector<FolderChangeRecord> &records)
{
    if (!m_pendingMove)
        return;
    records.push_back({FolderChangeRecord::Removed, m_pendingMove->name});
    if (m_pendingMove->isFolder)
        DropWatchesBelow(m_pendingMove->name);
    m_pendingMove.reset();
}

void InotifyTreeWatcher::HandleEvent(int wd, uint32_t mask, uint32_t cookie,
                                     const std::string &name,
                                     std::vector<FolderChangeRecord> &records)
{
    if (mask & IN_IGNORED) {
        m_paths.erase(wd);
        if (wd == m_rootWatch)
            m_rootGone = true;
        return;
    }
    const auto folder = m_paths.find(wd);
    if (folder == m_paths.end())
        return;
    if (name.empty()) {
        if ((mask & IN_DELETE_SELF) && wd == m_rootWatch)
            m_rootGone = true;
        return;
    }
    const std::string relative = Join(folder->second, name);
    const bool isFolder = mask & IN_ISDIR;

    if (m_pendingMove && !((mask & IN_MOVED_TO) && cookie == m_pendingMove->cookie))
        FlushPendingMove(records);

    if (mask & IN_CREATE) {
        records.push_back({FolderChangeRecord::Added, relative});
        if (isFolder)
            AddWatchesBelow(relative);
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
                RenameWatchPaths(m_pendingMove->name, relative);
                AddWatchesBelow(relative);
            }
            m_pendingMove.reset();
        } else {
            records.push_back({FolderChangeRecord::Added, relative});
            if (isFolder)
                AddWatchesBelow(relative);
        }
    }
}
