#include "ExitSignalNotifier.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnolet {

namespace {

// The write end the handler uses; -1 while no instance is active.
std::atomic<int> g_writeFd{-1};

extern "C" void onExitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full socket means earlier signals are still unread: this one changes nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

ExitSignalNotifier::ExitSignalNotifier(Handler handler, std::initializer_list<int> signalNumbers,
                                       QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_signalNumbers(signalNumbers)
{
    if (g_writeFd.load() >= 0)
        return; // another instance owns the signals
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    m_reader.reset(fds[0]);
    g_writeFd.store(fds[1]);

    struct sigaction action
    {
    };
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_previous.resize(m_signalNumbers.size());
    for (size_t i = 0; i < m_signalNumbers.size(); ++i)
        ::sigaction(m_signalNumbers[i], &action, &m_previous[i]);

    m_notifier = new QSocketNotifier(m_reader.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readSignals(); });
    m_active = true;
}

ExitSignalNotifier::~ExitSignalNotifier()
{
    if (!m_active)
        return;
    for (size_t i = 0; i < m_signalNumbers.size(); ++i)
        ::sigaction(m_signalNumbers[i], &m_previous[i], nullptr);
    delete m_notifier;
    // The handler reads the write end from g_writeFd; it is owned here once taken back.
    UniqueFd(g_writeFd.exchange(-1)).reset();
    m_reader.reset();
}

void ExitSignalNotifier::readSignals()
{
    unsigned char bytes[16];
    for (;;) {
        const ssize_t count = ::read(m_reader.get(), bytes, sizeof bytes);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        for (ssize_t i = 0; i < count; ++i) {
            ++m_delivered;
            if (m_handler)
                m_handler(bytes[i]);
        }
    }
}

} // namespace varnolet
