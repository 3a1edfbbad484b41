#include "platform/system/WakeablePoll.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace varnolet;
using namespace std::chrono_literals;

namespace {

struct Pipe
{
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe()
    {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    int readEnd() const { return fds[0]; }
    void send() const { EXPECT_EQ(::write(fds[1], "x", 1), 1); }
    void closeWriteEnd()
    {
        ::close(fds[1]);
        fds[1] = -1;
    }
};

int interruptedOnce(pollfd *fds, nfds_t count, int timeout)
{
    static thread_local bool interrupted = false;
    if (!interrupted) {
        interrupted = true;
        errno = EINTR;
        return -1;
    }
    return ::poll(fds, count, timeout);
}

int failingPoll(pollfd *, nfds_t, int)
{
    errno = ENOMEM;
    return -1;
}

} // namespace

TEST(WakeablePoll, AnswersReadyTimedOutAndAWakeUpThatWinsAndIsConsumed)
{
    WakeablePoll waiter;
    ASSERT_TRUE(waiter.valid());
    Pipe pipe;
    EXPECT_EQ(waiter.wait(pipe.readEnd(), 0), WakeablePoll::Result::TimedOut);
    pipe.send();
    EXPECT_EQ(waiter.wait(pipe.readEnd(), 0), WakeablePoll::Result::Ready);
    waiter.wake();
    EXPECT_EQ(waiter.wait(pipe.readEnd(), 0), WakeablePoll::Result::Woken) << "a wake-up wins";
    EXPECT_EQ(waiter.wait(pipe.readEnd(), 0), WakeablePoll::Result::Ready) << "and is consumed";
    EXPECT_FALSE(waiter.consumeWake());
    waiter.wake();
    waiter.wake();
    EXPECT_TRUE(waiter.consumeWake()) << "wake-ups pile into one";
    EXPECT_FALSE(waiter.consumeWake());
}

TEST(WakeablePoll, AnotherThreadEndsABlockedWait)
{
    WakeablePoll waiter;
    Pipe pipe;
    WakeablePoll::Result result = WakeablePoll::Result::Ready;
    std::thread thread([&] { result = waiter.wait(pipe.readEnd(), -1); });
    std::this_thread::sleep_for(20ms);
    waiter.wake();
    thread.join();
    EXPECT_EQ(result, WakeablePoll::Result::Woken);
}

TEST(WakeablePoll, FailuresCarryTheirReason)
{
    Pipe pipe;
    pipe.closeWriteEnd();
    WakeablePoll waiter;
    int error = 0;
    EXPECT_EQ(waiter.wait(pipe.readEnd(), 0, &error), WakeablePoll::Result::Failed) << "hang-up";
    EXPECT_EQ(error, ENODEV);

    WakeablePoll failing(&failingPoll);
    EXPECT_EQ(failing.wait(pipe.readEnd(), -1, &error), WakeablePoll::Result::Failed);
    EXPECT_EQ(error, ENOMEM);

    WakeablePoll interrupted(&interruptedOnce);
    interrupted.wake();
    EXPECT_EQ(interrupted.wait(pipe.readEnd(), -1), WakeablePoll::Result::Woken)
        << "EINTR is retried";
}
