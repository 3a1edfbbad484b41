#pragma once

#include "FolderChangeBlock.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

// The change queue between the monitor thread and the processing thread: first in, first
// out, under the event lock. An entry is a block of change records of one root, or the
// empty entry that tells that changes were lost.
class FolderChangeQueue
{
public:
    struct Entry
    {
        std::string root;                       // the watched root the names are relative to
        std::optional<FolderChangeBlock> block; // none: the empty entry (changes were lost)
    };
    using Clock = std::chrono::steady_clock;

    void Push(Entry entry);
    // Takes the first entry. Waits while the queue is empty and open, until `deadline`
    // when one is given; answers false on time-out or when the queue was closed.
    bool Take(Entry &entry, std::optional<Clock::time_point> deadline);
    // Wakes a waiting Take() for good (until Open()).
    void Close();
    void Open();
    bool IsOpen() const;
    void Clear();
    size_t Count() const;

private:
    mutable std::mutex m_lock; // the event lock: guards m_entries and m_open
    std::condition_variable m_changed;
    std::deque<Entry> m_entries;
    bool m_open = true;
};
