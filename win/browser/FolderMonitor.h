#pragma once

#include "FolderChangeQueue.h"

#include "platform/system/MessageBox.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class FolderChangeTarget;
class InotifyTreeWatcher;

// The two threads that let the thumbnail pane follow the disk: the monitor thread waits
// for change reports below the watched root and queues them; the processing thread applies
// them to the target and asks for a repaint (or a rescan, after lost changes) only once the
// reports have paused for kQuietTime, so a burst of changes costs one repaint.
// Start and stop are called from one thread (the UI thread).
class FolderMonitor
{
public:
    static constexpr std::chrono::milliseconds kQuietTime{51};
    static constexpr const char *kThreadFailureText =
        "Thread of monitoring Varnolet path  run failure";

    // Starts a thread running `body` into `thread`; false when it could not be started.
    using ThreadLauncher = std::function<bool(std::thread &thread, std::function<void()> body)>;

    // messages: where a thread that cannot start is told.
    FolderMonitor(FolderChangeTarget &target, varnolet::MessageBox messages);
    ~FolderMonitor();
    FolderMonitor(const FolderMonitor &) = delete;
    FolderMonitor &operator=(const FolderMonitor &) = delete;

    // Each shows the thread-failure message and answers false when its thread can't start.
    bool StartProcessing();
    bool StartMonitor(const std::string &root);
    // Ends the monitor thread and waits for it.
    void StopFolderMonitor();
    // Ends the processing thread, waits for it and drops what is still queued.
    void StopProcessing();

    bool MonitorRunning() const { return m_monitorThread.joinable(); }
    bool ProcessingRunning() const { return m_processingThread.joinable(); }
    // True once the monitor thread has its watches in place (until it ends).
    bool IsWatching() const { return m_watching.load(); }
    std::string WatchedRoot() const;
    size_t QueuedCount() const { return m_queue.Count(); }

    // The change queue between the two threads (tests feed it directly).
    FolderChangeQueue &Queue() { return m_queue; }
    // For tests: replaces the way threads are started.
    void SetThreadLauncher(ThreadLauncher launcher) { m_launcher = std::move(launcher); }

private:
    bool Launch(std::thread &thread, std::function<void()> body);
    void MonitorLoop(InotifyTreeWatcher *watcher, std::string root);
    void ProcessingLoop();

    FolderChangeTarget &m_target;
    const varnolet::MessageBox m_messages;
    FolderChangeQueue m_queue;
    ThreadLauncher m_launcher;

    std::atomic<bool> m_monitorRunning{false};
    std::atomic<bool> m_watching{false};
    std::unique_ptr<InotifyTreeWatcher> m_watcher; // used by the monitor thread while it runs
    std::thread m_monitorThread;
    mutable std::mutex m_rootLock; // guards m_watchedRoot
    std::string m_watchedRoot;

    std::thread m_processingThread;
};
