#include "WindowMessage.h"

#include "MainThreadCall.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

namespace varnolet {

WindowMessage::WindowMessage(int message, long long wParam, long long lParam)
    : QEvent(static_cast<QEvent::Type>(message))
    , m_wParam(wParam)
    , m_lParam(lParam)
{
}

bool WindowMessage::post(QObject *target, int message, long long wParam, long long lParam)
{
    if (!target)
        return false;
    if (QThread::currentThread() == target->thread()) {
        QCoreApplication::postEvent(target, new WindowMessage(message, wParam, lParam));
        return true;
    }
    // From another thread the message is made on the window's thread, after the hand-over.
    return MainThreadCall::postTo(target, [target, message, wParam, lParam] {
        WindowMessage event(message, wParam, lParam);
        QCoreApplication::sendEvent(target, &event);
    });
}

bool WindowMessage::send(QObject *target, int message, long long wParam, long long lParam)
{
    if (!target)
        return false;
    WindowMessage event(message, wParam, lParam);
    return QCoreApplication::sendEvent(target, &event);
}

} // namespace varnolet
