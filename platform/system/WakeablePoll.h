#pragma once

#include <poll.h>

#include "UniqueFd.h"

namespace varnolet {

// The wait of every watcher and reader thread: it sleeps until its descriptor is readable
// or another thread wakes it, through an eventfd. The owner wakes the thread and joins it,
// so no thread is ever left blocked in a read. The wake descriptor also serves as a plain
// cross-thread signal for an event loop (QSocketNotifier, epoll) that watches fd().
class WakeablePoll
{
public:
    enum class Result {
        Ready,    // the descriptor can be read
        Woken,    // wake() was called (the wake-up is consumed)
        TimedOut, // neither within the time-out
        Failed,   // poll() failed, or the descriptor reports an error or hang-up
    };
    using PollFunction = int (*)(pollfd *, nfds_t, int);

    // poll: the system call, or a stand-in that fails on purpose.
    explicit WakeablePoll(PollFunction poll = nullptr);
    ~WakeablePoll();
    WakeablePoll(const WakeablePoll &) = delete;
    WakeablePoll &operator=(const WakeablePoll &) = delete;

    // False when no eventfd could be made; then wait() answers Failed with EMFILE or the like.
    bool valid() const { return m_wake.isValid(); }
    // Readable while a wake-up is pending.
    int fd() const { return m_wake.get(); }

    // From any thread: makes a running or the next wait() answer Woken.
    void wake();
    // Takes a pending wake-up; true when there was one.
    bool consumeWake();

    // Waits up to timeoutMs (-1: no limit) for fd to become readable; EINTR is retried.
    // A wake-up wins over a readable descriptor. On Failed, *error (if given) holds the errno
    // of poll() or ENODEV for a descriptor in error.
    Result wait(int fd, int timeoutMs = -1, int *error = nullptr);

private:
    UniqueFd m_wake;
    PollFunction m_poll;
};

} // namespace varnolet
