#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace varnolet {

// Broken-down local time, as the programs print it into names and time stamps.
struct LocalDateTime
{
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The two clocks the programs read: the wall clock (dates in file names, time stamps) and
// the process clock (milliseconds since some start, like GetTickCount; schedules and
// rates). Tests replace the process-wide instance with a FakeClock.
class Clock
{
public:
    using WallTime = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;
    virtual WallTime wallNow() const = 0;
    virtual uint64_t tickMilliseconds() const = 0;
    // Local time of a wall time, in the time zone of the process (TZ).
    virtual LocalDateTime toLocal(WallTime time) const;

    LocalDateTime localNow() const { return toLocal(wallNow()); }

    // The clock every part uses. Never null; the system clock unless a test installed another.
    // The reference stays valid for the life of the process, even after setInstance().
    static Clock &instance();
    // Installs a clock (nullptr: the system clock again) and returns the previous one.
    static std::shared_ptr<Clock> setInstance(std::shared_ptr<Clock> clock);
};

// Real time: system_clock and steady_clock.
class SystemClock final : public Clock
{
public:
    WallTime wallNow() const override;
    uint64_t tickMilliseconds() const override;
};

} // namespace varnolet
