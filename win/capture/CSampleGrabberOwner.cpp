#include "CSampleGrabberOwner.h"

#include "win/common/SettingValues.h"

#include <stdexcept>

CSampleGrabberOwner::CSampleGrabberOwner(std::shared_ptr<const varnolet::Clock> clock,
                                         varnolet::MessageBox messages, const AppServices &services)
    : m_clock(std::move(clock))
    , m_messages(std::move(messages))
    , m_services(services)
{
    if (!m_clock)
        throw std::invalid_argument("CSampleGrabberOwner needs a clock");
}

int32_t CSampleGrabberOwner::ShotIntervalOf(const SettingValues &values)
{
    const int64_t shotsPerDay = ShotsPerDay(values);
    return static_cast<int32_t>(86'400'000 / (shotsPerDay > 0 ? shotsPerDay : 1));
}

float CSampleGrabberOwner::SeriesDurationOf(const SettingValues &values)
{
    return static_cast<float>(TimedShotDurationMinutes(values)) / 60.0f;
}

void CSampleGrabberOwner::SetTimedShotTiming(const SettingValues &values)
{
    SetShotInterval(ShotIntervalOf(values));
    SetSeriesDuration(SeriesDurationOf(values));
}
