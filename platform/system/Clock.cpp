#include "Clock.h"

#include <ctime>

namespace varnolet {

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
