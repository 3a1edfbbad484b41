#include "FolderMonitor.h"

#include "FolderChangeTarget.h"
#include "InotifyTreeWatcher.h"

#include "platform/system/ThreadName.h"

#include <system_error>

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcMonitor, "varnolet.browser.monitor", QtWarningMsg)
}

FolderMonitor::FolderMonitor(FolderChangeTarget &target, varnolet::MessageBox messages)
    : m_target(target)
    , m_messages(std::move(messages))
{
}

FolderMonitor::~FolderMonitor()
{
    StopFolderMonitor();
    StopProcessing();
}

bool FolderMonitor::Launch(std::thread &thread, std::function<void()> body)
{
    bool started = false;
    if (m_launcher) {
        started = m_launcher(thread, std::move(body));
    } else {
        try {
            thread = std::thread(std::move(body));
            started = true;
        } catch (const std::system_error &) {
            started = false;
        }
    }
    if (!started)
        m_messages.warning(kThreadFailureText);
    return started;
}

std::string FolderMonitor::WatchedRoot() const
{
    std::lock_guard guard(m_rootLock);
    return m_watchedRoot;
}

bool FolderMonitor::StartProcessing()
{
    if (m_processingThread.joinable())
        return true;
    m_queue.Open();
    return Launch(m_processingThread, [this] { ProcessingLoop(); });
}

void FolderMonitor::StopProcessing()
{
    m_queue.Close();
    if (m_processingThread.joinable())
        m_processingThread.join();
    m_queue.Clear();
}

bool FolderMonitor::StartMonitor(const std::string &root)
{
    StopFolderMonitor();
    {
        std::lock_guard guard(m_rootLock);
        m_watchedRoot = root;
    }
    m_watcher = std::make_unique<InotifyTreeWatcher>();
    m_monitorRunning = true;
    InotifyTreeWatcher *watcher = m_watcher.get();
    if (!Launch(m_monitorThread, [this, watcher, root] { MonitorLoop(watcher, root); })) {
        m_monitorRunning = false;
        m_watcher.reset();
        return false;
    }
    return true;
}

void FolderMonitor::StopFolderMonitor()
{
    m_monitorRunning = false;
    if (m_watcher)
        m_watcher->Wake();
    if (m_monitorThread.joinable())
        m_monitorThread.join();
    m_watcher.reset();
}

void FolderMonitor::MonitorLoop(InotifyTreeWatcher *watcher, std::string root)
{
    varnolet::ThreadName::set("VarnoletMonitor");
    if (!watcher->Open(root)) {
        qCDebug(lcMonitor) << "cannot watch" << root.c_str();
        return;
    }
    m_watching = true;
    std::vector<FolderChangeRecord> records;
    while (m_monitorRunning) {
        const InotifyTreeWatcher::WaitResult result = watcher->Wait(records);
        if (result == InotifyTreeWatcher::WaitResult::Failed)
            break;
        if (result == InotifyTreeWatcher::WaitResult::Overflow)
            m_queue.Push({root, std::nullopt});
        else if (result == InotifyTreeWatcher::WaitResult::Changes && !records.empty())
            m_queue.Push({root, FolderChangeBlock::Encode(records)});
    }
    m_watching = false;
}

void FolderMonitor::ProcessingLoop()
{
    varnolet::ThreadName::set("VarnoletChanges");
    using Clock = FolderChangeQueue::Clock;
    Clock::time_point quietStart = Clock::now();
    bool rescanPending = false;
    bool repaintPending = false;
    while (m_queue.IsOpen()) {
        std::optional<Clock::time_point> deadline;
        if (rescanPending || repaintPending)
            deadline = quietStart + kQuietTime;
        FolderChangeQueue::Entry entry;
        if (m_queue.Take(entry, deadline)) {
            quietStart = Clock::now();
            if (!entry.block) {
                rescanPending = true;
                repaintPending = true;
                continue;
            }
            for (const FolderChangeRecord &record : entry.block->Decode()) {
                qCDebug(lcMonitor) << record.action << record.name.c_str();
                if (m_target.ApplyFolderChange(entry.root, record.action, record.name))
                    repaintPending = true;
            }
            // The pause is counted from the last change applied.
            quietStart = Clock::now();
            continue;
        }
        if (!m_queue.IsOpen())
            break;
        if (Clock::now() - quietStart < kQuietTime)
            continue;
        if (rescanPending) {
            rescanPending = false;
            repaintPending = false;
            m_target.RescanAfterLostChanges();
        }
        if (repaintPending) {
            repaintPending = false;
            m_target.RepaintAfterChanges();
        }
    }
}
