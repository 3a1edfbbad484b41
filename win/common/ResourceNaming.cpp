#include "ResourceNaming.h"

#include "CLanguageTable.h"
#include "TextFormat.h"

#include "platform/system/Clock.h"
#include "platform/system/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <tuple>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace {

// Numbers read from names saturate here, far below the int64 limit, so "+ 1" never
// overflows.
constexpr int64_t kNumberLimit = 1'000'000'000'000'000'000;
constexpr int64_t kSeriesLimit = INT32_MAX;

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

struct FolderEntry
{
    std::string name;
    bool isFolder = false;
};

// The entries of a folder without "." and ".."; empty when it cannot be listed.
std::vector<FolderEntry> listFolder(const std::string &folder)
{
    std::vector<FolderEntry> entries;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return entries;
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st
        {
        };
        const bool isFolder =
            ::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back({name, isFolder});
    }
    return entries;
}

bool pathExists(const std::string &path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0;
}

bool isDigits(std::string_view text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

int64_t decimalValue(std::string_view digits)
{
    int64_t value = 0;
    for (char c : digits) {
        const int digit = c - '0';
        if (value > (kNumberLimit - digit) / 10)
            return kNumberLimit;
        value = value * 10 + digit;
    }
    return value;
}

// The text cut before its last '.', unless that '.' is its first character.
std::string_view withoutExtension(std::string_view text)
{
    const size_t dot = text.rfind('.');
    return (dot == std::string_view::npos || dot == 0) ? text : text.substr(0, dot);
}

// The signed number a text begins with (blanks skipped, optional sign, digits); 0 when it
// does not begin with one.
int64_t leadingNumber(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    size_t end = pos;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    const int64_t value = decimalValue(text.substr(pos, end - pos));
    return negative ? -value : value;
}

// The accepted flat name of the kind that comes last: by date text, then (timed shots)
// series number, then number, each number compared as a number so that 10000 follows 9999.
std::optional<FlatName> greatestFlatName(const std::string &folder, ResourceKind kind)
{
    std::optional<FlatName> best;
    std::string bestName;
    for (const FolderEntry &entry : listFolder(folder)) {
        if (entry.isFolder)
            continue;
        const auto parsed = ParseFlatName(entry.name, kind);
        if (!parsed)
            continue;
        const auto key = [](const FlatName &n, const std::string &name) {
            return std::tie(n.date, n.series, n.number, name);
        };
        if (!best || key(*best, bestName) < key(*parsed, entry.name)) {
            best = parsed;
            bestName = entry.name;
        }
    }
    return best;
}

// Highest leading number of the entries of a folder, -1 when none counts more.
int64_t highestFolderNumber(const std::string &folder)
{
    int64_t highest = -1;
    for (const FolderEntry &entry : listFolder(folder))
        highest = std::max(highest, leadingNumber(entry.name));
    return highest;
}

// Highest number of the entries that begin with the word (read between the word and the
// first '.' after it); -1 when none or the folder is missing.
int64_t highestFileNumber(const std::string &folder, const std::string &word)
{
    int64_t highest = -1;
    for (const FolderEntry &entry : listFolder(folder)) {
        if (!entry.name.starts_with(word))
            continue;
        const std::string_view rest = std::string_view(entry.name).substr(word.size());
        const size_t dot = rest.find('.');
        const int64_t number =
            dot == std::string_view::npos ? 0 : leadingNumber(rest.substr(0, dot));
        highest = std::max(highest, number);
    }
    return highest;
}

std::string flatFileName(ResourceKind kind, const std::string &date, int64_t series, int64_t number)
{
    char name[128];
    switch (kind) {
    case ResourceKindMovie:
        std::snprintf(name, sizeof name, "M%s_%04lld.avi", date.c_str(), (long long)number);
        break;
    case ResourceKindSingleShot:
        std::snprintf(name, sizeof name, "S%s_%04lld.jpg", date.c_str(), (long long)number);
        break;
    case ResourceKindTimedShot:
        std::snprintf(name, sizeof name, "T%s_%03lld_%04lld.jpg", date.c_str(), (long long)series,
                      (long long)number);
        break;
    }
    return name;
}

std::string nextFlatPath(const std::string &folder, ResourceKind kind, const varnolet::Clock &clock)
{
    const std::string today = TodayStamp(clock);
    std::string date = today;
    int64_t number = 1;
    if (const auto greatest = greatestFlatName(folder, kind)) {
        if (today == greatest->date) {
            number = greatest->number + 1;
        } else if (today < greatest->date) {
            // The clock is behind the newest file: continue that file's day.
            date = greatest->date;
            number = greatest->number + 1;
        }
    }
    // Whatever the listing said, never hand out a name that is already taken.
    for (; number < kNumberLimit; ++number) {
        std::string path = folder + "/" + flatFileName(kind, date, 0, number);
        if (!pathExists(path))
            return path;
    }
    return {};
}

std::string nextPerDayPath(const std::string &folder, const char *word, const char *extension,
                           const varnolet::Clock &clock, const varnolet::MessageBox &messages)
{
    if (!EnsureFolder(folder, messages))
        return {};
    const std::string day = folder + "/" + TodayStamp(clock);
    if (!EnsureFolder(day, messages))
        return {};
    const int64_t highestFolder = highestFolderNumber(day);
    int64_t folderNumber = highestFolder == -1 ? 0 : highestFolder;
    int64_t number = highestFileNumber(day + "/" + PadNumber(folderNumber, 3), word) + 1;
    if (number > 0 && number % 1000 == 0)
        ++folderNumber;
    const std::string numbered = day + "/" + PadNumber(folderNumber, 3);
    if (!EnsureFolder(numbered, messages))
        return {};
    for (; number < kNumberLimit; ++number) {
        std::string path = numbered + "/" + word + PadNumber(number, 4) + "." + extension;
        if (!pathExists(path))
            return path;
    }
    return {};
}

} // namespace

std::string ResourceRootOf(const std::string &savingLocation)
{
    const std::string product = kProductFolderName;
    if (savingLocation.ends_with(product))
        return savingLocation;
    if (!savingLocation.empty() && savingLocation.back() == '/')
        return savingLocation + product; // the location "/" gives "/Varnolet"
    return savingLocation + "/" + product;
}

std::string SingleShotsFolder(const SettingValues &values)
{
    return values.resourcesRoot + "/Single Shots";
}

std::string TimedShotsFolder(const SettingValues &values)
{
    return values.resourcesRoot + "/Timed Shots";
}

std::string MoviesFolder(const SettingValues &values)
{
    return values.resourcesRoot + "/Movies";
}

std::string CategoryFolder(const SettingValues &values, ResourceKind kind)
{
    switch (kind) {
    case ResourceKindMovie:
        return MoviesFolder(values);
    case ResourceKindSingleShot:
        return SingleShotsFolder(values);
    case ResourceKindTimedShot:
        return TimedShotsFolder(values);
    }
    return {};
}

void SetSavingLocation(SettingValues &record, const std::string &path)
{
    std::string location = path;
    while (location.size() > 1 && location.back() == '/')
        location.pop_back();
    record.resourcesPath = location;
    record.resourcesRoot = ResourceRootOf(location);
}

bool EnsureFolder(const std::string &path, const varnolet::MessageBox &messages)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) == 0)
        return true;
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    const int error = errno;
    // Another thread may have made it in the meantime.
    if (error == EEXIST && ::stat(path.c_str(), &st) == 0)
        return true;
    messages.warning(path + varnolet::SystemError::text(error));
    return false;
}

void EnsureResourceFolders(const SettingValues &values, const varnolet::MessageBox &messages)
{
    for (const std::string &folder : {values.resourcesRoot, SingleShotsFolder(values),
                                      TimedShotsFolder(values), MoviesFolder(values)}) {
        if (!EnsureFolder(folder, messages))
            return;
    }
}

bool CheckSavingLocation(const SettingValues &values, CLanguageTable &languages,
                         const varnolet::MessageBox &messages)
{
    struct stat st
    {
    };
    if (!values.resourcesPath.empty() && ::stat(values.resourcesPath.c_str(), &st) == 0) {
        EnsureResourceFolders(values, messages);
        return true;
    }
    const std::string format = languages.GetLanguageString(
        "ui_alert_not_exist_resource_location",
        "Don't exist location of  %s in setting,please setting", messages);
    messages.warning(FormatText(format, {MoviesFolder(values)}));
    return false;
}

std::string NextSingleShotPath(const std::string &folder, const SettingValues &scheme,
                               const varnolet::Clock &clock, const varnolet::MessageBox &messages)
{
    if (folder.empty())
        return {};
    if (!PerDayFolders(scheme))
        return nextFlatPath(folder, ResourceKindSingleShot, clock);
    return nextPerDayPath(folder, "SingleShot", "jpg", clock, messages);
}

std::string NextMoviePath(const std::string &folder, const SettingValues &scheme,
                          const varnolet::Clock &clock, const varnolet::MessageBox &messages)
{
    if (folder.empty())
        return {};
    if (!PerDayFolders(scheme))
        return nextFlatPath(folder, ResourceKindMovie, clock);
    return nextPerDayPath(folder, "Movie", "avi", clock, messages);
}

bool StartTimedSeries(const std::string &folder, const SettingValues &scheme, TimedSeries &series,
                      const varnolet::Clock &clock, const varnolet::MessageBox &messages)
{
    if (folder.empty())
        return false;
    const std::string today = TodayStamp(clock);
    if (!PerDayFolders(scheme)) {
        std::string date = today;
        int64_t number = 1;
        if (const auto greatest = greatestFlatName(folder, ResourceKindTimedShot)) {
            if (today <= greatest->date) {
                if (today < greatest->date)
                    date = greatest->date;
                number = greatest->series + 1;
            }
        }
        if (number > kSeriesLimit)
            return false;
        series.dateStamp = date;
        series.seriesNumber = static_cast<int32_t>(number);
        series.shotNumber = 1;
        return true;
    }
    const std::string day = folder + "/" + today;
    if (!EnsureFolder(day, messages))
        return false;
    const int64_t next = highestFolderNumber(day) + 1;
    if (next > kSeriesLimit)
        return false;
    if (!EnsureFolder(day + "/" + PadNumber(next, 3), messages))
        return false;
    series.seriesNumber = static_cast<int32_t>(next);
    series.shotNumber = 0;
    return true;
}

std::string NextTimedShotPath(const std::string &folder, const SettingValues &scheme,
                              TimedSeries &series, const varnolet::Clock &clock,
                              const varnolet::MessageBox &messages)
{
    if (folder.empty())
        return {};
    std::string seriesFolder;
    if (PerDayFolders(scheme)) {
        // Built under the current day, so a series running past midnight continues in the
        // new day's folder, which is created here.
        const std::string day = folder + "/" + TodayStamp(clock);
        seriesFolder = day + "/" + PadNumber(series.seriesNumber, 3);
        if (!EnsureFolder(day, messages) || !EnsureFolder(seriesFolder, messages))
            return {};
    }
    for (; series.shotNumber < INT32_MAX; ++series.shotNumber) {
        std::string path;
        if (seriesFolder.empty()) {
            path = folder + "/" +
                   flatFileName(ResourceKindTimedShot, series.dateStamp, series.seriesNumber,
                                series.shotNumber);
        } else {
            path = seriesFolder + "/TimeShot" + PadNumber(series.seriesNumber, 3) + "-" +
                   PadNumber(series.shotNumber, 4) + ".jpg";
        }
        if (!pathExists(path)) {
            ++series.shotNumber;
            return path;
        }
    }
    return {};
}

std::string TodayStamp(const varnolet::Clock &clock)
{
    const varnolet::LocalDateTime now = clock.localNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d", now.year, now.month, now.day);
    return stamp;
}

std::string PadNumber(int64_t value, int width)
{
    char text[32];
    std::snprintf(text, sizeof text, "%*lld", width, (long long)value);
    std::string padded = text;
    for (char &c : padded) {
        if (c == ' ')
            c = '0';
    }
    return padded;
}

std::optional<FlatName> ParseFlatName(const std::string &fileName, ResourceKind kind)
{
    const std::string_view name = fileName;
    const size_t first = name.find('_');
    if (first == std::string_view::npos)
        return std::nullopt;
    FlatName parsed;
    const std::string_view date = first == 0 ? std::string_view() : name.substr(1, first - 1);
    if (!isDigits(date))
        return std::nullopt;
    parsed.date = date;
    std::string_view rest = name.substr(first + 1);
    if (kind == ResourceKindTimedShot) {
        const size_t second = rest.find('_');
        if (second == std::string_view::npos)
            return std::nullopt;
        const std::string_view series = rest.substr(0, second);
        if (!isDigits(series))
            return std::nullopt;
        parsed.series = decimalValue(series);
        rest = rest.substr(second + 1);
    }
    const std::string_view number = withoutExtension(rest);
    if (!isDigits(number))
        return std::nullopt;
    parsed.number = decimalValue(number);
    return parsed;
}
