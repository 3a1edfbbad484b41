#pragma once

#include <QEvent>

class QObject;

namespace varnolet {

// A posted window message: a QEvent whose type is the message number (1025 and up) and
// whose two parameters are kept for the receiver.
class WindowMessage final : public QEvent
{
public:
    WindowMessage(int message, long long wParam = 0, long long lParam = 0);

    int message() const { return static_cast<int>(type()); }
    long long wParam() const { return m_wParam; }
    long long lParam() const { return m_lParam; }

    // Posts a message to a window from any thread; the window's event() sees it on the UI
    // thread. A null target is ignored. Returns false when nothing was posted.
    static bool post(QObject *target, int message, long long wParam = 0, long long lParam = 0);
    // Sends a message at once, on the calling thread (which must be the target's).
    static bool send(QObject *target, int message, long long wParam = 0, long long lParam = 0);

private:
    long long m_wParam;
    long long m_lParam;
};

} // namespace varnolet
