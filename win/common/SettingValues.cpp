#include "SettingValues.h"

#include <utility>

SettingValues::SettingValues(std::string documentsFolder)
    : resourcesPath(std::move(documentsFolder))
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

namespace {

bool movieResolutionValid(int32_t code)
{
    return code == 0 || code == 1;
}

bool movieSizeValid(int32_t megabytes)
{
    return megabytes >= kMinimumMovieSize && megabytes <= kMaximumMovieSize;
}

bool languageValid(int32_t language)
{
    return language >= -1 && language <= 7;
}

bool rangeValid(const TimedShotRange &range, int32_t value)
{
    return range.minimum <= range.maximum && value >= range.minimum && value <= range.maximum;
}

// One field: the record's value when valid, else the factory's, else the built-in one.
template <typename Valid> bool keep(int32_t &value, int32_t factory, int32_t builtIn, Valid valid)
{
    if (valid(value))
        return false;
    value = valid(factory) ? factory : builtIn;
    return true;
}

bool keepRanges(std::array<TimedShotRange, kTimeUnitCount> &ranges,
                const std::array<TimedShotRange, kTimeUnitCount> &factory)
{
    bool replaced = false;
    for (int unit = 0; unit < kTimeUnitCount; ++unit) {
        TimedShotRange &range = ranges[unit];
        if (rangeValid(range, range.current))
            continue;
        replaced = true;
        if (rangeValid(range, factory[unit].current))
            range.current = factory[unit].current;
        else if (rangeValid(range, range.defaultValue))
            range.current = range.defaultValue;
        else if (range.minimum <= range.maximum)
            range.current = range.minimum;
        else
            range = TimedShotRange(); // the limits themselves are broken
    }
    return replaced;
}

} // namespace

bool KeepValuesInRange(SettingValues &record, const SettingValues &factory)
{
    const SettingValues builtIn;
    bool replaced = false;
    replaced |= keep(record.movieResolution, factory.movieResolution, builtIn.movieResolution,
                     movieResolutionValid);
    replaced |=
        keep(record.movieSizeMax, factory.movieSizeMax, builtIn.movieSizeMax, movieSizeValid);
    replaced |= keep(record.language, factory.language, builtIn.language, languageValid);
    TimedShotSetting &timed = record.timedShot;
    replaced |= keep(timed.shotsUnit, factory.timedShot.shotsUnit, builtIn.timedShot.shotsUnit,
                     IsValidTimeUnit);
    replaced |= keep(timed.timesUnit, factory.timedShot.timesUnit, builtIn.timedShot.timesUnit,
                     IsValidTimeUnit);
    replaced |= keepRanges(timed.shots, factory.timedShot.shots);
    replaced |= keepRanges(timed.times, factory.timedShot.times);
    return replaced;
}
