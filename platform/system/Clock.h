#pragma once

#include <chrono>
#include <cstdint>

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
// rates). Every part that reads the time is handed its clock; tests hand in a FakeClock.
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
};

// Real time: system_clock and steady_clock.
class SystemClock final : public Clock
{
public:
    WallTime wallNow() const override;
    uint64_t tickMilliseconds() const override;
};

} // namespace varnolet
