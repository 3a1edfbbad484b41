#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// The event source of an interface's asynchronous reads: completions posted from any
// thread run on the thread inside run(), until stop() is called from any thread. A stop
// that comes before run() makes run() return at once. Without a pump the loop sleeps until
// a completion or the stop comes; with one, stop() wakes the pump. Completions still
// queued when run() returns are dropped.
class UsbRunLoop
{
public:
    using Task = std::function<void()>;

    UsbRunLoop() = default;
    UsbRunLoop(const UsbRunLoop &) = delete;
    UsbRunLoop &operator=(const UsbRunLoop &) = delete;

    void post(Task task);
    void run();
    void stop();
    bool isStopped() const;

    // Work run on every turn of the loop without the queue locked, for at most about 50 ms
    // (a USB library's event handling); without one the loop sleeps on its queue.
    void setPump(Task pump) { m_pump = std::move(pump); }
    // Called when run() returns, on its thread: cancels what the source still has pending.
    void setOnExit(Task onExit) { m_onExit = std::move(onExit); }
    // Wakes the pump early (called by stop()).
    void setWake(Task wake) { m_wake = std::move(wake); }

private:
    Task m_pump;
    Task m_onExit;
    Task m_wake;

    mutable std::mutex m_lock; // guards m_tasks, m_stopped
    std::condition_variable m_changed;
    std::deque<Task> m_tasks;
    bool m_stopped = false;
};
