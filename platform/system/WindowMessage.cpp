#include "WindowMessage.h"

#include <QCoreApplication>
#include <QObject>

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
    QCoreApplication::postEvent(target, new WindowMessage(message, wParam, lParam));
    return true;
}

bool WindowMessage::send(QObject *target, int message, long long wParam, long long lParam)
{
    if (!target)
        return false;
    WindowMessage event(message, wParam, lParam);
    return QCoreApplication::sendEvent(target, &event);
}

} // namespace varnolet
