#pragma once

#include "FolderChangeBlock.h"

#include "platform/system/InotifyWatcher.h"

#include <optional>
#include <string>
#include <vector>

// Recursive change reporting below one root folder with inotify: a watch on every folder
// below the root, added as folders appear and moved or dropped with them. Each wait turns
// the kernel's events into change records with names relative to the root:
//   created → 1, deleted → 2, written and closed → 3, moved within the root → 4 (old name)
//   followed by 5 (new name), moved out of the root → 2, moved in → 1.
// Wait() runs on one thread (the monitor thread); Wake() may be called from any thread.
class InotifyTreeWatcher
{
public:
    enum class WaitResult { Changes, Overflow, Woken, Failed };

    InotifyTreeWatcher();
    ~InotifyTreeWatcher();
    InotifyTreeWatcher(const InotifyTreeWatcher &) = delete;
    InotifyTreeWatcher &operator=(const InotifyTreeWatcher &) = delete;

    // Watches the root and every folder below it; false when the root cannot be watched.
    bool Open(const std::string &root);

    // Blocks until changes arrive or Wake() is called. Changes: `records` holds them (it
    // may be empty when only bookkeeping events came). Overflow: the kernel dropped events;
    // the watches were brought up to date again and `records` is empty. Woken: Wake() was
    // called. Failed: the root is gone or the descriptors failed.
    WaitResult Wait(std::vector<FolderChangeRecord> &records);

    // Makes a running or the next Wait() return Woken.
    void Wake();

    size_t WatchCount() const { return m_tree.treeWatchCount(); }

private:
    struct PendingMove
    {
        uint32_t cookie = 0;
        std::string name;
        bool isFolder = false;
    };

    bool ReadEvents(std::vector<FolderChangeRecord> &records, bool *overflow);
    void HandleEvent(const varnolet::InotifyEvent &event, std::vector<FolderChangeRecord> &records);
    void FlushPendingMove(std::vector<FolderChangeRecord> &records);
    // 0 when the descriptor became readable, 1 when the wake-up came, -1 on time-out or error.
    int PollOnce(int timeoutMs);

    varnolet::InotifyWatcher m_tree;
    bool m_rootGone = false;
    std::optional<PendingMove> m_pendingMove;
    std::vector<varnolet::InotifyEvent> m_events;
};
