#include "SettingValues.h"

#include "platform/system/SystemPaths.h"

SettingValues::SettingValues()
    : resourcesPath(varnolet::SystemPaths::documentsFolder())
{
}

int64_t ShotsPerDay(const SettingValues &values)
{
    static constexpr int64_t kPerDay[kTimeUnitCount] = {1440, 24, 1};
    const TimedShotRange *shots = values.timedShot.selectedShots();
    if (!shots || shots->current == 0)
        return 1;
    return int64_t(shots->current) * kPerDay[values.timedShot.shotsUnit];
}

int64_t TimedShotDurationMinutes(const SettingValues &values)
{
    static constexpr int64_t kMinutes[kTimeUnitCount] = {1, 60, 1440};
    const TimedShotRange *times = values.timedShot.selectedTimes();
    if (!times)
        return 1;
    return int64_t(times->current) * kMinutes[values.timedShot.timesUnit];
}

bool IsTimedShotSettingValid(const SettingValues &values)
{
    const TimedShotRange *shots = values.timedShot.selectedShots();
    const TimedShotRange *times = values.timedShot.selectedTimes();
    if (!shots || !times)
        return false;
    const auto within = [](const TimedShotRange &r) {
        return r.current >= r.minimum && r.current <= r.maximum;
    };
    return within(*shots) && within(*times);
}

FrameSize MovieFrameSize(const SettingValues &values)
{
    switch (values.movieResolution) {
    case 0:
        return {320, 240};
    case 1:
        return {640, 480};
    default:
        return {0, 0};
    }
}
