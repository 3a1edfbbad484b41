#include "FolderChangeQueue.h"

void FolderChangeQueue::Push(Entry entry)
{
    {
        std::lock_guard guard(m_lock);
        m_entries.push_back(std::move(entry));
    }
    m_changed.notify_one();
}

bool FolderChangeQueue::Take(Entry &entry, std::optional<Clock::time_point> deadline)
{
    std::unique_lock guard(m_lock);
    const auto ready = [this] { return !m_open || !m_entries.empty(); };
    if (deadline) {
        if (!m_changed.wait_until(guard, *deadline, ready))
            return false;
    } else {
        m_changed.wait(guard, ready);
    }
    if (!m_open || m_entries.empty())
        return false;
    entry = std::move(m_entries.front());
    m_entries.pop_front();
    return true;
}

void FolderChangeQueue::Close()
{
    {
        std::lock_guard guard(m_lock);
        m_open = false;
    }
    m_changed.notify_all();
}

void FolderChangeQueue::Open()
{
    std::lock_guard guard(m_lock);
    m_open = true;
}

bool FolderChangeQueue::IsOpen() const
{
    std::lock_guard guard(m_lock);
    return m_open;
}

void FolderChangeQueue::Clear()
{
    std::lock_guard guard(m_lock);
    m_entries.clear();
}

size_t FolderChangeQueue::Count() const
{
    std::lock_guard guard(m_lock);
    return m_entries.size();
}
