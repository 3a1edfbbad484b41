#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "mac/browser/VxKQueueDelegate.h"
#include "platform/system/MainThreadCall.h"

// Carries calls for a target over to the main thread: the call is queued to the main
// thread's event loop and the caller blocks until it has run there. Called on the main
// thread itself, it runs the call at once. The target is not owned; invalidate() makes
// every call still on its way a no-op and releases every waiting caller at once, so the
// target can go away, and a watcher thread be joined, while calls are pending.
//
// The hand-over and the wait are the application's MainThreadCall, with a cancellation of
// the proxy's own.
class VxMainThreadProxy final : public QObject
{
    Q_OBJECT

public:
    // A proxy living on the main thread (the application's thread), whichever thread
    // creates it.
    explicit VxMainThreadProxy(VxKQueueDelegate *target);
    // initWithTarget: as a shared, caller-owned proxy whose last release is safe on any
    // thread.
    static std::shared_ptr<VxMainThreadProxy> copyMainThreadProxy(VxKQueueDelegate *target);

    VxKQueueDelegate *target() const { return m_target.load(); }
    void invalidate();
    bool respondsToSelector() const { return target() != nullptr; }
    VxMainThreadProxy *mainThreadProxy() { return this; }

    // The delegate call, performed on the main thread with the target as receiver.
    void watcher(VxKQueue *kq, const std::string &receivedNotification, const std::string &forPath);
    // Any call of the target, performed on the main thread; the sender waits. Nothing
    // happens when the target is gone by then.
    void performSelector(const std::function<void(VxKQueueDelegate &)> &call);

private:
    std::atomic<VxKQueueDelegate *> m_target;
    const std::shared_ptr<varnolet::MainThreadCall::Cancellation> m_cancellation =
        std::make_shared<varnolet::MainThreadCall::Cancellation>();
};
