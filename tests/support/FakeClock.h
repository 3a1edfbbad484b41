#pragma once

#include "platform/system/Clock.h"

#include <atomic>
#include <mutex>

namespace varnolet {

// A clock that only moves when told to. Thread-safe, so a test can advance it while
// capture or saving threads read it.
class FakeClock final : public Clock
{
public:
    // Starts at the given local date and time (interpreted in the process time zone) with
    // the tick counter at startTick.
    FakeClock(int year, int month, int day, int hour = 12, int minute = 0, int second = 0,
              uint64_t startTick = 1000);

    WallTime wallNow() const override;
    uint64_t tickMilliseconds() const override;

    // Moves both clocks forward.
    void advance(std::chrono::milliseconds delta);
    // Sets the wall clock to another local date and time; the tick counter is not touched
    // (like a user changing the system time).
    void setLocal(int year, int month, int day, int hour = 12, int minute = 0, int second = 0);

private:
    mutable std::mutex m_lock; // guards m_wall
    WallTime m_wall;
    std::atomic<uint64_t> m_tick;
};

} // namespace varnolet
