#include "MainThreadCall.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>

namespace varnolet {

namespace {

std::atomic<MainThreadCall *> applicationInstance{nullptr};

// Runs on the main thread while the application object is being made.
void makeApplicationInstance()
{
    applicationInstance.store(new MainThreadCall(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(makeApplicationInstance)

MainThreadCall *MainThreadCall::application()
{
    return applicationInstance.load();
}

bool MainThreadCall::postTo(QObject *context, std::function<void()> function)
{
    MainThreadCall *target = application();
    if (!target || !context)
        return false;
    target->post([guard = QPointer<QObject>(context), function = std::move(function)] {
        if (guard)
            function();
    });
    return true;
}

MainThreadCall::MainThreadCall(QObject *parent)
    : QObject(parent)
{
    if (!m_wakeup.valid())
        return;
    m_notifier = new QSocketNotifier(m_wakeup.fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        m_wakeup.consumeWake();
        runPending();
    });
}

MainThreadCall::~MainThreadCall()
{
    MainThreadCall *self = this;
    applicationInstance.compare_exchange_strong(self, nullptr);
    delete m_notifier;
    // A thread still waiting for a function (a folder watcher outliving the window, say)
    // is let go, and the lock and the condition stay until it has left them.
    std::unique_lock lock(m_lock);
    m_closed = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_waiters == 0; });
}

void MainThreadCall::wake()
{
    m_wakeup.wake();
}

void MainThreadCall::post(std::function<void()> function)
{
    {
        std::lock_guard lock(m_lock);
        m_queue.push_back({std::move(function), nullptr});
    }
    wake();
}

bool MainThreadCall::callAndWait(std::function<void()> function,
                                 const std::shared_ptr<Cancellation> &cancellation)
{
    if (QThread::currentThread() == thread()) {
        function();
        return true;
    }
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard lock(m_lock);
        if (m_closed || (cancellation && cancellation->m_cancelled))
            return false;
        m_queue.push_back({std::move(function), done});
        ++m_waiters;
    }
    wake();
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] {
        return *done || m_aborted || m_closed || (cancellation && cancellation->m_cancelled);
    });
    --m_waiters;
    if (m_closed)
        m_changed.notify_all(); // the destructor waits for the last one to leave
    return *done;
}

void MainThreadCall::cancel(Cancellation &cancellation)
{
    {
        std::lock_guard lock(m_lock);
        cancellation.m_cancelled = true;
    }
    m_changed.notify_all();
}

void MainThreadCall::runPending()
{
    for (;;) {
        Item item;
        {
            std::lock_guard lock(m_lock);
            if (m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        item.function();
        if (item.done) {
            {
                std::lock_guard lock(m_lock);
                *item.done = true;
            }
            m_changed.notify_all();
        }
    }
}

void MainThreadCall::abortWaits()
{
    {
        std::lock_guard lock(m_lock);
        m_aborted = true;
    }
    m_changed.notify_all();
}

bool MainThreadCall::hasPending() const
{
    std::lock_guard lock(m_lock);
    return !m_queue.empty();
}

void MainThreadCall::allowWaits()
{
    std::lock_guard lock(m_lock);
    m_aborted = false;
}

} // namespace varnolet
