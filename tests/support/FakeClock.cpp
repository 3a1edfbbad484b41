#include "FakeClock.h"

#include <ctime>

namespace varnolet {

namespace {

Clock::WallTime fromLocal(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

} // namespace

FakeClock::FakeClock(int year, int month, int day, int hour, int minute, int second,
                     uint64_t startTick)
    : m_wall(fromLocal(year, month, day, hour, minute, second))
    , m_tick(startTick)
{
}

Clock::WallTime FakeClock::wallNow() const
{
    std::lock_guard lock(m_lock);
    return m_wall;
}

uint64_t FakeClock::tickMilliseconds() const
{
    return m_tick.load();
}

void FakeClock::advance(std::chrono::milliseconds delta)
{
    {
        std::lock_guard lock(m_lock);
        m_wall += delta;
    }
    m_tick += static_cast<uint64_t>(delta.count());
}

void FakeClock::setLocal(int year, int month, int day, int hour, int minute, int second)
{
    std::lock_guard lock(m_lock);
    m_wall = fromLocal(year, month, day, hour, minute, second);
}

} // namespace varnolet
