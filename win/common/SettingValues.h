#pragma once

#include <array>
#include <cstdint>
#include <string>

// Unit of a timed-shot value: shots per minute/hour/day, or a run of M minutes/hours/days.
// Records keep the unit as a plain int32_t, since a file may hold any number there.
enum TimeUnit : int32_t {
    TimeUnitMinute = 0,
    TimeUnitHour = 1,
    TimeUnitDay = 2,
};

constexpr int kTimeUnitCount = 3;

// True for 0 (minute), 1 (hour) and 2 (day).
inline bool IsValidTimeUnit(int32_t unit)
{
    return unit >= TimeUnitMinute && unit <= TimeUnitDay;
}

// One timed-shot value with its limits.
struct TimedShotRange
{
    int32_t minimum = 1;
    int32_t maximum = 300;
    int32_t current = 60;      // the value in force when this range's unit is selected
    int32_t defaultValue = 60; // as read from the file

    bool operator==(const TimedShotRange &) const = default;
};

// The timed-shot block of a settings record: how many shots per unit, for how long.
struct TimedShotSetting
{
    int32_t shotsUnit = TimeUnitMinute;
    std::array<TimedShotRange, kTimeUnitCount> shots{}; // per minute, per hour, per day
    int32_t timesUnit = TimeUnitMinute;
    std::array<TimedShotRange, kTimeUnitCount> times{}; // minutes, hours, days

    // The range the unit selects, or nullptr when the unit is not 0..2.
    TimedShotRange *selectedShots()
    {
        return IsValidTimeUnit(shotsUnit) ? &shots[shotsUnit] : nullptr;
    }
    const TimedShotRange *selectedShots() const
    {
        return IsValidTimeUnit(shotsUnit) ? &shots[shotsUnit] : nullptr;
    }
    TimedShotRange *selectedTimes()
    {
        return IsValidTimeUnit(timesUnit) ? &times[timesUnit] : nullptr;
    }
    const TimedShotRange *selectedTimes() const
    {
        return IsValidTimeUnit(timesUnit) ? &times[timesUnit] : nullptr;
    }

    bool operator==(const TimedShotSetting &) const = default;
};

// One record of VarnoletWin settings, holding the built-in defaults when made. The
// resources path is the documents folder given (the user's Documents folder in the
// settings store; empty when none is given) and the root stays empty until the record is
// read from the file (or set with SetSavingLocation).
struct SettingValues
{
    explicit SettingValues(std::string documentsFolder = {});

    int32_t captureWidth = 640;     // never stored in the file
    int32_t captureHeight = 480;    // never stored in the file
    int32_t movieResolution = 1;    // 0 = 320X240, 1 = 640X480
    std::string resourcesPath;      // saving location
    std::string resourcesRoot;      // saving location + "/Varnolet" (see ResourceRootOf)
    int32_t movieSizeMax = 16;      // MB
    int32_t autoCreatingFolder = 0; // 0 = flat names, non-zero = per-day folders
    TimedShotSetting timedShot;
    int32_t language = -1; // -1 = the user's default language, 0..7 a language index

    bool operator==(const SettingValues &) const = default;
};

struct FrameSize
{
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const FrameSize &) const = default;
};

// Shots of one day: the current shots value times 1440 (minute), 24 (hour) or 1 (day);
// 1 when the value is 0 or the unit is not 0..2.
int64_t ShotsPerDay(const SettingValues &values);

// Run length in minutes: the current times value times 1 (minute), 60 (hour) or 1440 (day);
// 1 when the unit is not 0..2.
int64_t TimedShotDurationMinutes(const SettingValues &values);

// True when both current values (shots and times) lie within their ranges, bounds included;
// false when either unit is not 0..2.
bool IsTimedShotSettingValid(const SettingValues &values);

// 640 x 480 for code 1, 320 x 240 for code 0, 0 x 0 for any other code.
FrameSize MovieFrameSize(const SettingValues &values);

// The range of the movie size limit, in MB.
constexpr int32_t kMinimumMovieSize = 16;
constexpr int32_t kMaximumMovieSize = 4096;

// Replaces every value a file may hold outside its range (an unknown movie size or
// language, a size limit outside 16..4096 MB, a unit that is not 0..2, a timed-shot value
// outside its limits) by the factory record's value; a factory value that is itself out of
// range gives the built-in default. Answers whether anything was replaced.
bool KeepValuesInRange(SettingValues &record, const SettingValues &factory);
