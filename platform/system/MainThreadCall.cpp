#include "MainThreadCall.h"

#include <QSocketNotifier>
#include <QThread>

namespace varnolet {

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
    delete m_notifier;
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

bool MainThreadCall::callAndWait(std::function<void()> function)
{
    if (QThread::currentThread() == thread()) {
        function();
        return true;
    }
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard lock(m_lock);
        m_queue.push_back({std::move(function), done});
    }
    wake();
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] { return *done || m_aborted; });
    return *done;
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

void MainThreadCall::allowWaits()
{
    std::lock_guard lock(m_lock);
    m_aborted = false;
}

} // namespace varnolet
