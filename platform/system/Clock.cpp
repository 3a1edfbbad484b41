#include "Clock.h"

#include <ctime>
#include <mutex>
#include <vector>

namespace varnolet {

namespace {

std::mutex g_clockLock; // guards g_clock and g_retiredClocks
std::shared_ptr<Clock> g_clock;
// Every clock ever replaced: instance() hands out plain references that a thread may still
// be using when another clock is installed, so no installed clock is ever freed.
std::vector<std::shared_ptr<Clock>> g_retiredClocks;

std::shared_ptr<Clock> systemClock()
{
    static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

} // namespace

LocalDateTime Clock::toLocal(WallTime time) const
{
    const auto since = time.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const std::time_t t = static_cast<std::time_t>(seconds.count());
    std::tm tm{};
    localtime_r(&t, &tm);
    LocalDateTime result;
    result.year = tm.tm_year + 1900;
    result.month = tm.tm_mon + 1;
    result.day = tm.tm_mday;
    result.hour = tm.tm_hour;
    result.minute = tm.tm_min;
    result.second = tm.tm_sec;
    result.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds).count());
    return result;
}

Clock &Clock::instance()
{
    std::lock_guard lock(g_clockLock);
    if (!g_clock)
        g_clock = systemClock();
    // Kept alive by g_clock, and by g_retiredClocks once replaced.
    return *g_clock;
}

std::shared_ptr<Clock> Clock::setInstance(std::shared_ptr<Clock> clock)
{
    std::lock_guard lock(g_clockLock);
    std::shared_ptr<Clock> previous = g_clock ? g_clock : systemClock();
    if (g_clock)
        g_retiredClocks.push_back(g_clock);
    g_clock = clock ? std::move(clock) : systemClock();
    return previous;
}

Clock::WallTime SystemClock::wallNow() const
{
    return std::chrono::system_clock::now();
}

uint64_t SystemClock::tickMilliseconds() const
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

} // namespace varnolet
