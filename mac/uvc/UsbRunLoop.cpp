#include "UsbRunLoop.h"

void UsbRunLoop::post(Task task)
{
    {
        std::lock_guard lock(m_lock);
        m_tasks.push_back(std::move(task));
    }
    m_changed.notify_all();
    if (m_wake)
        m_wake();
}

void UsbRunLoop::run()
{
    while (true) {
        if (m_pump)
            m_pump();
        std::deque<Task> tasks;
        {
            std::unique_lock lock(m_lock);
            if (!m_pump)
                m_changed.wait(lock, [this] { return !m_tasks.empty() || m_stopped; });
            if (m_stopped)
                break;
            tasks.swap(m_tasks);
        }
        for (Task &task : tasks) {
            task();
            if (isStopped())
                break; // a completion stopped the loop: the rest is dropped
        }
    }
    if (m_onExit)
        m_onExit();
    std::lock_guard lock(m_lock);
    m_tasks.clear();
}

void UsbRunLoop::stop()
{
    {
        std::lock_guard lock(m_lock);
        m_stopped = true;
    }
    m_changed.notify_all();
    if (m_wake)
        m_wake();
}

bool UsbRunLoop::isStopped() const
{
    std::lock_guard lock(m_lock);
    return m_stopped;
}
