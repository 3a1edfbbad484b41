#pragma once

#include "UniqueFd.h"
#include "WakeablePoll.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace varnolet {

// One inotify event as read from the queue; name is empty for an event on the watched
// path itself.
struct InotifyEvent
{
    int wd = -1;
    uint32_t mask = 0;
    uint32_t cookie = 0;
    std::string name;
};

// The inotify queue of a watcher thread, with the wake-up that ends its wait. It watches
// single paths (addWatch) or a whole tree: the root and every folder below it, each watch
// known by its folder's path relative to the root ("" = the root). The tree is kept up to
// date by the owner as events come in (watchBelow for a folder that appeared, renameBelow
// and dropBelow for one that moved or went), since only the owner can pair the two halves
// of a move. Used from one thread, except wake(), which any thread may call.
class InotifyWatcher
{
public:
    // Deeper trees than this are not followed (guards against bind-mount loops).
    static constexpr int kMaxDepth = 32;

    // poll: the system call, or a stand-in that fails on purpose.
    explicit InotifyWatcher(WakeablePoll::PollFunction poll = nullptr);
    InotifyWatcher(const InotifyWatcher &) = delete;
    InotifyWatcher &operator=(const InotifyWatcher &) = delete;

    // False when no queue or no wake-up could be made.
    bool valid() const { return m_queue.isValid() && m_waiter.valid(); }
    int fd() const { return m_queue.get(); }

    // A watch on one path: its descriptor, or -1 with errno set.
    int addWatch(const std::string &path, uint32_t mask);
    // False with errno set when the kernel no longer knows the watch.
    bool removeWatch(int wd);

    // Watches root and every folder below it with mask, not following links; false when
    // the root cannot be watched or a tree is already watched.
    bool watchTree(const std::string &root, uint32_t mask);
    // Watches a folder of the tree and the folders below it (also again, after lost events).
    void watchBelow(const std::string &relative);
    // Ends the watches on a folder of the tree and everything below it (not on the root).
    void dropBelow(const std::string &relative);
    // A folder of the tree moved within it: the watches below it follow the new name.
    void renameBelow(const std::string &from, const std::string &to);
    // The kernel dropped a watch (IN_IGNORED): it is no longer part of the tree.
    void forget(int wd);
    // The tree folder a watch stands for, or null when it is none of the tree's.
    const std::string *folderOf(int wd) const;
    int rootWatch() const { return m_rootWatch; }
    size_t treeWatchCount() const { return m_folders.size(); }
    std::string fullPath(const std::string &relative) const;

    // Waits up to timeoutMs (-1: no limit) for events or a wake-up; see WakeablePoll.
    WakeablePoll::Result wait(int timeoutMs = -1, int *error = nullptr);
    void wake() { m_waiter.wake(); }

    // Appends the events queued now, at most one buffer of them: 1 when some were read,
    // 0 when none were queued, -1 when reading failed (errno set).
    int read(std::vector<InotifyEvent> &events);

private:
    void watchFolder(const std::string &relative, int depth);

    UniqueFd m_queue;
    WakeablePoll m_waiter;
    std::string m_root;
    uint32_t m_treeMask = 0;
    int m_rootWatch = -1;
    std::unordered_map<int, std::string> m_folders; // tree watch → folder relative to root
    std::vector<char> m_buffer;
};

} // namespace varnolet
