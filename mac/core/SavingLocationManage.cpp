#include "SavingLocationManage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <tuple>
#include <utility>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mac/core/PropertyList.h"
#include "mac/core/SettingParams.h"
#include "mac/core/SystemLog.h"
#include "platform/system/Clock.h"

namespace {

const char *const kSingleShots = "Single Shots";
const char *const kTimedShots = "Timed Shots";
const char *const kMovies = "Movies";

// Bound on the numbers skipped past entries that already exist, so a folder full of
// foreign names can never make a search run for ever.
constexpr int kMaxSkips = 100000;

bool exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The folder's entry names in listing order; none when it cannot be listed.
std::optional<std::vector<std::string>> listFolder(const std::string &folder)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

bool allDigits(const std::string &text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int64_t leadingValue(const std::string &text)
{
    return PropertyList::intValueOfText(text);
}

// The parts of a flat name of this program (one letter, an eight-digit date, "_" and a
// number, for timed shots "_" and a second number), as (date, number, shot); none for any
// other name.
std::optional<std::tuple<std::string, int64_t, int64_t>> ownFlatName(const std::string &name)
{
    if (name.find('.') == std::string::npos)
        return std::nullopt;
    const std::vector<std::string> parts = SavingLocationManage::decodeFileName(name);
    if (parts.size() < 2 || parts.size() > 3 || parts[0].size() != 8 || !allDigits(parts[0]))
        return std::nullopt;
    for (size_t i = 1; i < parts.size(); ++i)
        if (!allDigits(parts[i]) || parts[i].size() > 9)
            return std::nullopt;
    const int64_t shot = parts.size() == 3 ? leadingValue(parts[2]) : 0;
    return std::make_tuple(parts[0], leadingValue(parts[1]), shot);
}

} // namespace

SavingLocationManage::SavingLocationManage(std::shared_ptr<const varnolet::Clock> clock)
    : m_clock(std::move(clock))
{
    if (!m_clock)
        throw std::invalid_argument("SavingLocationManage needs a clock");
}

void SavingLocationManage::createLocationsOfAllResources(const SettingParams &settings)
{
    createFolder(settings.getResourcesLocationWithVarnolet());
    createFolder(settings.getResourcesLocationOfTakingAShot());
    createFolder(settings.getResourcesLocationOfTakingTimedShot());
    createFolder(settings.getResourcesLocationOfRecordingMovie());
}

std::optional<std::string> SavingLocationManage::getSavingPhotoPath(const SettingParams &settings)
{
    if (settings.isAutoCreatingResourcesFolder())
        return getSavingPath(settings.getResourcesLocationOfTakingAShot(), "SingleShot", "jpg");
    const std::string path = getSavingPathToNotAutoCreatingFolder(
        kSingleShots, settings.getResourcesLocationOfTakingAShot());
    if (path.empty())
        return std::nullopt;
    return path;
}

std::optional<std::string> SavingLocationManage::getSavingMoviePath(const SettingParams &settings)
{
    if (settings.isAutoCreatingResourcesFolder())
        return getSavingPath(settings.getResourcesLocationOfRecordingMovie(), "Movie", "mov");
    const std::string path = getSavingPathToNotAutoCreatingFolder(
        kMovies, settings.getResourcesLocationOfRecordingMovie());
    if (path.empty())
        return std::nullopt;
    return path;
}

bool SavingLocationManage::createNextSavingPhotosPath(const SettingParams &settings)
{
    const std::string folder = settings.getResourcesLocationOfTakingTimedShot();
    if (!settings.isAutoCreatingResourcesFolder()) {
        const std::string today = getTodayString();
        const std::vector<std::string> parts = decodeFileName(getMaximumNoFileName(folder));
        m_photosNo = 0;
        if (parts.size() >= 2 && parts[0] >= today) {
            const int64_t next = leadingValue(parts[1]) + 1;
            if (next > INT32_MAX)
                return false;
            m_currentDateString = parts[0];
            m_photosFolderNo = static_cast<int32_t>(next);
        } else {
            m_currentDateString = today;
            m_photosFolderNo = 1;
        }
        return true;
    }

    if (!createFolder(folder))
        return false;
    const int64_t series = getMaximumFolderNo(folder) + 1;
    if (series > INT32_MAX)
        return false;
    if (!createFolder(folder + "/" + getNoString(series, 3)))
        return false;
    m_photosFolderNo = static_cast<int32_t>(series);
    m_photosNo = 0;
    return true;
}

std::optional<std::string> SavingLocationManage::getSavingPhotosPath(const SettingParams &settings)
{
    const std::string folder = settings.getResourcesLocationOfTakingTimedShot();
    if (!settings.isAutoCreatingResourcesFolder()) {
        for (int skips = 0; skips < kMaxSkips && m_photosNo < INT32_MAX; ++skips) {
            ++m_photosNo;
            const std::string path =
                folder + "/" +
                *encodeFileName(kTimedShots, m_currentDateString, m_photosFolderNo, m_photosNo);
            if (!exists(path))
                return path;
        }
        return std::nullopt;
    }

    const std::string seriesFolder = folder + "/" + getNoString(m_photosFolderNo, 3);
    if (!createFolder(folder) || !createFolder(seriesFolder))
        return std::nullopt;
    for (int skips = 0; skips < kMaxSkips && m_photosNo < INT32_MAX; ++skips) {
        const std::string path = seriesFolder + "/TimeShot" + getNoString(m_photosFolderNo, 3) +
                                 "-" + getNoString(m_photosNo, 4) + ".jpg";
        ++m_photosNo;
        if (!exists(path))
            return path;
    }
    return std::nullopt;
}

std::string SavingLocationManage::getTodayString() const
{
    const varnolet::LocalDateTime now = m_clock->localNow();
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d", now.year, now.month, now.day);
    return text;
}

std::string SavingLocationManage::getCurrentUserName()
{
    struct passwd entry;
    struct passwd *result = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result &&
        result->pw_name)
        return result->pw_name;
    const char *user = std::getenv("USER");
    return user ? user : "";
}

bool SavingLocationManage::createFolder(const std::string &path)
{
    if (exists(path))
        return true;
    if (::mkdir(path.c_str(), 0755) == 0)
        return true;
    SystemLog::write("create %s folder is error", path.c_str());
    return false;
}

std::string SavingLocationManage::getNoString(int64_t number, int width)
{
    char text[32];
    std::snprintf(text, sizeof text, width == 3 ? "%03lld" : "%04lld",
                  static_cast<long long>(number));
    return text;
}

std::optional<std::string> SavingLocationManage::encodeFileName(const std::string &kind,
                                                                const std::string &fileDateString,
                                                                int64_t fileFrontNo,
                                                                int64_t fileLaterNo)
{
    if (kind == kSingleShots)
        return "S" + fileDateString + "_" + getNoString(fileLaterNo, 3) + ".jpg";
    if (kind == kTimedShots)
        return "T" + fileDateString + "_" + getNoString(fileFrontNo, 3) + "_" +
               getNoString(fileLaterNo, 4) + ".jpg";
    if (kind == kMovies)
        return "M" + fileDateString + "_" + getNoString(fileLaterNo, 3) + ".mov";
    return std::nullopt;
}

std::vector<std::string> SavingLocationManage::decodeFileName(const std::string &name)
{
    if (name.size() < 2)
        return {};
    std::string rest = name.substr(1);
    if (const size_t dot = rest.rfind('.'); dot != std::string::npos)
        rest.erase(dot);
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = rest.find('_', start);
        parts.push_back(
            rest.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return parts;
}

std::string SavingLocationManage::getMaximumNoFileName(const std::string &folder)
{
    // Only names of the program's own form compete, and they compare by date, then by their
    // numbers as numbers: a plain text comparison would stop at number 999 (and at shot
    // 9999) and let a foreign name restart the numbering, giving names that already exist.
    const std::optional<std::vector<std::string>> names = listFolder(folder);
    if (!names)
        return {};
    std::string best;
    std::optional<std::tuple<std::string, int64_t, int64_t>> bestKey;
    for (const std::string &name : *names) {
        if (name == ".DS_Store")
            continue;
        const auto key = ownFlatName(name);
        if (!key)
            continue;
        if (!bestKey || *key > *bestKey) {
            bestKey = key;
            best = name;
        }
    }
    return best;
}

std::string SavingLocationManage::getSavingPathToNotAutoCreatingFolder(const std::string &kind,
                                                                       const std::string &location)
{
    const std::string today = getTodayString();
    const std::vector<std::string> parts = decodeFileName(getMaximumNoFileName(location));
    std::string date = today;
    int64_t number = 1;
    if (parts.size() >= 2 && parts[0] >= today) {
        date = parts[0];
        number = leadingValue(parts[1]) + 1;
    }
    for (int skips = 0; skips < kMaxSkips; ++skips, ++number) {
        const std::optional<std::string> name = encodeFileName(kind, date, 0, number);
        if (!name)
            return {};
        const std::string path = location + "/" + *name;
        if (!exists(path))
            return path;
    }
    return {};
}

int64_t SavingLocationManage::getMaximumNo(const std::string &folder, const std::string &prename,
                                           bool bHavePrename)
{
    const std::optional<std::vector<std::string>> names = listFolder(folder);
    if (!names)
        return -1;
    int64_t best = -1;
    for (const std::string &name : *names) {
        if (name == ".DS_Store")
            continue;
        int64_t value = 0;
        if (!bHavePrename) {
            value = leadingValue(name);
        } else {
            const size_t word = name.find(prename);
            const size_t dot = name.find('.');
            if (word == std::string::npos || dot == std::string::npos || word >= dot)
                continue;
            const size_t from = word + prename.size();
            value = from <= dot ? leadingValue(name.substr(from, dot - from)) : 0;
        }
        if (value > best)
            best = value;
    }
    return best;
}

int64_t SavingLocationManage::getMaximumFolderNo(const std::string &folder)
{
    return getMaximumNo(folder, "", false);
}

int64_t SavingLocationManage::getMaximumFileNo(const std::string &folder, int64_t folderNo,
                                               const std::string &prename)
{
    return getMaximumNo(folder + "/" + getNoString(folderNo, 3), prename, true);
}

std::optional<std::string> SavingLocationManage::getSavingPath(const std::string &folder,
                                                               const std::string &prename,
                                                               const std::string &behindName)
{
    if (!createFolder(folder))
        return std::nullopt;
    int64_t f = getMaximumFolderNo(folder);
    if (f == -1)
        f = 0;
    int64_t n = getMaximumFileNo(folder, f, prename) + 1;
    for (int skips = 0; skips < kMaxSkips; ++skips, ++n) {
        if (n > 0 && n % 1000 == 0)
            ++f; // a folder holds a thousand numbers
        const std::string numbered = folder + "/" + getNoString(f, 3);
        if (!createFolder(numbered))
            return std::nullopt;
        const std::string path = numbered + "/" + prename + getNoString(n, 4) + "." + behindName;
        if (!exists(path))
            return path;
    }
    return std::nullopt;
}
