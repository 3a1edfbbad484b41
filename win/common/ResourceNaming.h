#pragma once

#include "SettingValues.h"
#include "TimedSeries.h"

#include "platform/system/Clock.h"
#include "platform/system/MessageBox.h"

#include <cstdint>
#include <optional>
#include <string>

class CLanguageTable;

// What a saved file is; the numbers are the ones the naming switches on.
enum ResourceKind : int {
    ResourceKindMovie = 0,
    ResourceKindSingleShot = 1,
    ResourceKindTimedShot = 2,
};

// The product folder below the saving location.
inline constexpr const char *kProductFolderName = "Varnolet";

// saving location + "/Varnolet", or the location itself when it already ends with
// "Varnolet" (case-sensitive).
std::string ResourceRootOf(const std::string &savingLocation);

// The category folders of a record: resource root + "/Single Shots", "/Timed Shots",
// "/Movies".
std::string SingleShotsFolder(const SettingValues &values);
std::string TimedShotsFolder(const SettingValues &values);
std::string MoviesFolder(const SettingValues &values);
std::string CategoryFolder(const SettingValues &values, ResourceKind kind);

// Stores the path without trailing "/" (a lone "/" stays) as saving location and
// recomputes the resource root.
void SetSavingLocation(SettingValues &record, const std::string &path);

// True when the path exists (folder or file) or was created (only its last component);
// otherwise shows path + system error text ("Varnolet", warning) in messages and answers
// false.
bool EnsureFolder(const std::string &path, const varnolet::MessageBox &messages);

// EnsureFolder on the root and the three category folders of the settings, stopping at
// the first failure.
void EnsureResourceFolders(const SettingValues &values, const varnolet::MessageBox &messages);

// True (after EnsureResourceFolders) when the saving location of the settings exists;
// otherwise shows the "ui_alert_not_exist_resource_location" message of languages with the
// movies folder in messages and answers false.
bool CheckSavingLocation(const SettingValues &values, CLanguageTable &languages,
                         const varnolet::MessageBox &messages);

// True when the settings name photos and movies in per-day folders, false for flat names.
inline bool PerDayFolders(const SettingValues &scheme)
{
    return scheme.autoCreatingFolder != 0;
}

// Full path of the next photo / movie in the category folder, by the scheme of the
// settings (flat names or per-day folders). Empty on failure (an empty folder argument, a
// folder that cannot be created, numbers exhausted). Never the path of an existing file.
// The date in a new name is today's by clock; a folder that cannot be made is told in
// messages (as EnsureFolder does).
std::string NextSingleShotPath(const std::string &folder, const SettingValues &scheme,
                               const varnolet::Clock &clock, const varnolet::MessageBox &messages);
std::string NextMoviePath(const std::string &folder, const SettingValues &scheme,
                          const varnolet::Clock &clock, const varnolet::MessageBox &messages);

// Starts a new timed-shot series in the timed-shots folder (fills the record).
bool StartTimedSeries(const std::string &folder, const SettingValues &scheme, TimedSeries &series,
                      const varnolet::Clock &clock, const varnolet::MessageBox &messages);
// Full path of the next shot of the series, then advances its shot number. Empty on
// failure. With per-day folders a series running past midnight continues under the new
// day's folder.
std::string NextTimedShotPath(const std::string &folder, const SettingValues &scheme,
                              TimedSeries &series, const varnolet::Clock &clock,
                              const varnolet::MessageBox &messages);

// Today's local date by clock as "%04d%02d%02d".
std::string TodayStamp(const varnolet::Clock &clock);

// The value in a field of the width ("%3d"/"%4d") with every blank replaced by '0';
// wider values are printed in full (1234 at width 3 gives "1234").
std::string PadNumber(int64_t value, int width);

// The parts of a flat file name (S<date>_<nnnn>.jpg, M<date>_<nnnn>.avi,
// T<date>_<sss>_<nnnn>.jpg); the first letter is not examined. Numbers too long for
// int64 saturate.
struct FlatName
{
    std::string date;
    int64_t series = 0; // timed shots only
    int64_t number = 0;
};
std::optional<FlatName> ParseFlatName(const std::string &fileName, ResourceKind kind);
