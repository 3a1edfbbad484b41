#include "VxMainThreadProxy.h"

#include "platform/system/MainThreadCall.h"

#include <QCoreApplication>
#include <QThread>

VxMainThreadProxy::VxMainThreadProxy(VxKQueueDelegate *target)
    : m_target(target)
{
    if (QCoreApplication *app = QCoreApplication::instance(); app && thread() != app->thread())
        moveToThread(app->thread());
}

std::shared_ptr<VxMainThreadProxy> VxMainThreadProxy::copyMainThreadProxy(VxKQueueDelegate *target)
{
    return std::shared_ptr<VxMainThreadProxy>(
        new VxMainThreadProxy(target), [](VxMainThreadProxy *proxy) {
            // A QObject is deleted on its own thread; from any other thread it is handed over.
            if (QThread::currentThread() == proxy->thread() || !QCoreApplication::instance())
                delete proxy;
            else
                proxy->deleteLater();
        });
}

void VxMainThreadProxy::watcher(VxKQueue *kq, const std::string &receivedNotification,
                                const std::string &forPath)
{
    performSelector(
        [&](VxKQueueDelegate &delegate) { delegate.watcher(kq, receivedNotification, forPath); });
}

struct VxMainThreadProxy::Handover
{
    std::function<void(VxKQueueDelegate &)> call;
    bool done = false;
};

void VxMainThreadProxy::invalidate()
{
    m_target.store(nullptr);
    std::lock_guard lock(m_lock);
    m_invalid = true;
    m_completed.notify_all();
}

void VxMainThreadProxy::performSelector(const std::function<void(VxKQueueDelegate &)> &call)
{
    if (QThread::currentThread() == thread() || !QCoreApplication::instance()) {
        if (VxKQueueDelegate *delegate = m_target.load())
            call(*delegate);
        return;
    }
    auto handover = std::make_shared<Handover>();
    handover->call = call;
    {
        std::lock_guard lock(m_lock);
        if (m_invalid)
            return;
    }
    varnolet::MainThreadCall::postTo(this, [this, handover] {
        if (VxKQueueDelegate *delegate = m_target.load())
            handover->call(*delegate);
        std::lock_guard lock(m_lock);
        handover->done = true;
        m_completed.notify_all();
    });
    std::unique_lock lock(m_lock);
    m_completed.wait(lock, [&] { return handover->done || m_invalid; });
}
