#include "VxMainThreadProxy.h"

#include <QCoreApplication>
#include <QPointer>
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

void VxMainThreadProxy::invalidate()
{
    m_target.store(nullptr);
    if (varnolet::MainThreadCall *main = varnolet::MainThreadCall::application())
        main->cancel(*m_cancellation);
}

void VxMainThreadProxy::performSelector(const std::function<void(VxKQueueDelegate &)> &call)
{
    // Runs on the main thread; a call that comes after the proxy is gone does nothing.
    auto perform = [proxy = QPointer<VxMainThreadProxy>(this), call] {
        if (VxKQueueDelegate *delegate = proxy ? proxy->m_target.load() : nullptr)
            call(*delegate);
    };
    varnolet::MainThreadCall *main = varnolet::MainThreadCall::application();
    if (!main || !QCoreApplication::instance()) {
        perform();
        return;
    }
    main->callAndWait(std::move(perform), m_cancellation);
}
