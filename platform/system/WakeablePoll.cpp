#include "WakeablePoll.h"

#include <cerrno>
#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

namespace varnolet {

WakeablePoll::WakeablePoll(PollFunction poll)
    : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_poll(poll ? poll : &::poll)
{
}

WakeablePoll::~WakeablePoll() = default;

void WakeablePoll::wake()
{
    if (!m_wake)
        return;
    const uint64_t one = 1;
    ssize_t written;
    do {
        written = ::write(m_wake.get(), &one, sizeof one);
    } while (written < 0 && errno == EINTR);
}

bool WakeablePoll::consumeWake()
{
    uint64_t count = 0;
    ssize_t got;
    do {
        got = ::read(m_wake.get(), &count, sizeof count);
    } while (got < 0 && errno == EINTR);
    return got == sizeof count && count > 0;
}

WakeablePoll::Result WakeablePoll::wait(int fd, int timeoutMs, int *error)
{
    if (!m_wake) {
        if (error)
            *error = EBADF;
        return Result::Failed;
    }
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
    int ready;
    do {
        ready = m_poll(fds, 2, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        if (error)
            *error = errno;
        return Result::Failed;
    }
    if (ready == 0)
        return Result::TimedOut;
    if (fds[1].revents & POLLIN) {
        consumeWake();
        return Result::Woken;
    }
    if ((fds[0].revents | fds[1].revents) & (POLLERR | POLLHUP | POLLNVAL)) {
        if (error)
            *error = ENODEV;
        return Result::Failed;
    }
    return fds[0].revents & POLLIN ? Result::Ready : Result::TimedOut;
}

} // namespace varnolet
