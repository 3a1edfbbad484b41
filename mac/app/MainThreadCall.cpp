#include "MainThreadCall.h"

#include <QThread>

MainThreadCall::MainThreadCall(QObject *parent)
    : QObject(parent)
{
    connect(this, &MainThreadCall::pending, this, &MainThreadCall::runPending,
            Qt::QueuedConnection);
}

void MainThreadCall::post(std::function<void()> function)
{
    {
        std::lock_guard lock(m_lock);
        m_queue.push_back({std::move(function), nullptr});
    }
    emit pending();
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
    emit pending();
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
