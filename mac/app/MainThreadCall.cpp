#include "MainThreadCall.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

MainThreadCall::MainThreadCall()
    : m_shared(std::make_shared<Shared>())
{
}

bool MainThreadCall::callAndWait(QObject *context, std::function<void()> function)
{
    if (QThread::currentThread() == context->thread()) {
        function();
        return true;
    }
    auto done = std::make_shared<bool>(false);
    std::shared_ptr<Shared> shared = m_shared;
    QMetaObject::invokeMethod(
        context,
        [shared, done, function = std::move(function)] {
            function();
            {
                std::lock_guard lock(shared->lock);
                *done = true;
            }
            shared->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared->lock);
    shared->changed.wait(lock, [&] { return *done || shared->aborted; });
    return *done;
}

void MainThreadCall::abortWaits()
{
    {
        std::lock_guard lock(m_shared->lock);
        m_shared->aborted = true;
    }
    m_shared->changed.notify_all();
}

void MainThreadCall::allowWaits()
{
    std::lock_guard lock(m_shared->lock);
    m_shared->aborted = false;
}
