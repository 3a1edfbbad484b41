#include "SettingParams.h"

#include <cmath>

#include "mac/core/PreferredLanguage.h"
#include "mac/core/PropertyList.h"
#include "mac/core/SystemLog.h"
#include "mac/core/UserDefaults.h"
#include "platform/system/SystemPaths.h"

namespace {

// Built-in timed-shot limits used when there is no readable factory file.
constexpr int32_t kBuiltInMinimum = 1;
constexpr int32_t kBuiltInMaximum = 300;
constexpr int32_t kBuiltInCurrent = 60;

void readRange(const PropertyList &list, ItemTimedShotSetting &item, const std::string &minKey,
               const std::string &maxKey, const std::string &defaultKey)
{
    item.nMinValueForTimedShot = PropertyList::intValue(list.item(minKey));
    item.nMaxValueForTimedShot = PropertyList::intValue(list.item(maxKey));
    item.nCurrentValueForTimedShot = PropertyList::intValue(list.item(defaultKey));
}

void setBuiltInRange(ItemTimedShotSetting &item)
{
    item.nMinValueForTimedShot = kBuiltInMinimum;
    item.nMaxValueForTimedShot = kBuiltInMaximum;
    item.nCurrentValueForTimedShot = kBuiltInCurrent;
}

// The movie size limit the settings panel accepts, in MB.
constexpr int64_t kMinimumMovieSize = 16;
constexpr int64_t kMaximumMovieSize = 4096;
constexpr int32_t kBuiltInMovieSize = 16;

} // namespace

void SettingParams::settingParamFromPlist(const varnolet::SystemPaths &paths)
{
    settingParamFromPlist(getBundleResourcesPath(paths) + "/config.plist", paths);
}

void SettingParams::settingParamFromPlist(const std::string &path,
                                          const varnolet::SystemPaths &paths)
{
    const PropertyList list = PropertyList::readFile(path);
    if (!list.isDictionary()) {
        if (m_resourcesSavingLocation == "default")
            m_resourcesSavingLocation = paths.homeFolder();
        for (ItemTimedShotSetting *item : {&m_shotsPerMinute, &m_shotsPerHour, &m_shotsPerDay,
                                           &m_timesMinute, &m_timesHour, &m_timesDay})
            setBuiltInRange(*item);
        return;
    }

    const std::optional<std::string> location =
        PropertyList::stringValue(list.item("resourcespath"));
    if (!location || *location == "default")
        m_resourcesSavingLocation = paths.homeFolder();
    else
        m_resourcesSavingLocation = *location;
    m_isAutoCreatingResourcesFolder = PropertyList::boolValue(list.item("autocreatingfolder"));
    m_movieSizeEnum = PropertyList::intValue(list.item("movieresolution"));
    m_movieSavingSizeLimit = PropertyList::intValue(list.item("moviesizemax"));
    m_languageSelector = PropertyList::intValue(list.item("language"));
    // A size limit no movie could be recorded under, or a language there is no text for,
    // takes the record's built-in value.
    if (m_movieSavingSizeLimit < kMinimumMovieSize || m_movieSavingSizeLimit > kMaximumMovieSize) {
        SystemLog::write("config.plist: moviesizemax of %d is not usable; %d is used instead",
                         m_movieSavingSizeLimit, kBuiltInMovieSize);
        m_movieSavingSizeLimit = kBuiltInMovieSize;
    }
    if (m_languageSelector < -1 || m_languageSelector > 7) {
        SystemLog::write("config.plist: language of %d is not usable; 0 is used instead",
                         m_languageSelector);
        m_languageSelector = 0;
    }

    m_timeTypeOfShots = PropertyList::intValue(list.item("timetype_takingshots_pretime"));
    readRange(list, m_shotsPerMinute, "minshots_perminute_taking", "maxshots_perminute_taking",
              "defaultshots_perminute_taking");
    readRange(list, m_shotsPerHour, "minshots_perhour_taking", "maxshots_perhour_taking",
              "defaultshots_perhour_taking");
    readRange(list, m_shotsPerDay, "minshots_perday_taking", "maxshots_perday_taking",
              "defaultshots_perday_taking");
    m_timeTypeOfTimes = PropertyList::intValue(list.item("timetype_times_taking"));
    readRange(list, m_timesMinute, "mintimes_minute_taking", "maxtimes_minute_taking",
              "defaulttimes_minute_taking");
    readRange(list, m_timesHour, "mintimes_hour_taking", "maxtimes_hour_taking",
              "defaulttimes_hour_taking");
    readRange(list, m_timesDay, "mintimes_day_taking", "maxtimes_day_taking",
              "defaulttimes_day_taking");
}

template <typename Record, typename Visitor>
void SettingParams::visitUserKeys(Record &record, Visitor &&visit)
{
    visit("resourcespath", record.m_resourcesSavingLocation);
    visit("autocreatingfolder", record.m_isAutoCreatingResourcesFolder);
    visit("movieresolution", record.m_movieSizeEnum, 0, 1);
    visit("moviesizemax", record.m_movieSavingSizeLimit, kMinimumMovieSize, kMaximumMovieSize);
    visit("language", record.m_languageSelector, -1, 7);
    visit("timetype_takingshots_pretime", record.m_timeTypeOfShots, 0, 2);
    auto &shots = record.currentShotsTimedShotSetting();
    visit("shots_taking_pretime", shots.nCurrentValueForTimedShot, shots.nMinValueForTimedShot,
          shots.nMaxValueForTimedShot);
    visit("timetype_times_taking", record.m_timeTypeOfTimes, 0, 2);
    auto &times = record.currentTimesTimedShotSetting();
    visit("times_fortaking", times.nCurrentValueForTimedShot, times.nMinValueForTimedShot,
          times.nMaxValueForTimedShot);
}

namespace {

// Reads one key of the user store into its field. A value that is missing, of another kind
// or out of its range keeps the value the record holds (the factory's) and says so in the
// log; the other keys are read as usual.
struct UserKeyReader
{
    UserDefaults &store;

    static void reject(const char *key, const UserDefaults::StoredValue &stored,
                       const std::string &kept)
    {
        if (!stored.present)
            SystemLog::write("preferences: %s is missing; %s is used instead", key, kept.c_str());
        else
            SystemLog::write("preferences: %s holds %s, which is not usable; %s is used instead",
                             key, stored.description.c_str(), kept.c_str());
    }
    void operator()(const char *key, std::string &field) const
    {
        const UserDefaults::StoredValue stored = store.storedValue(key);
        if (stored.text && !stored.text->empty())
            field = *stored.text;
        else
            reject(key, stored, "\"" + field + "\"");
    }
    void operator()(const char *key, bool &field) const
    {
        const UserDefaults::StoredValue stored = store.storedValue(key);
        if (stored.boolean)
            field = *stored.boolean;
        else
            reject(key, stored, field ? "true" : "false");
    }
    void operator()(const char *key, int32_t &field, int64_t minimum, int64_t maximum) const
    {
        const UserDefaults::StoredValue stored = store.storedValue(key);
        if (stored.integer && *stored.integer >= minimum && *stored.integer <= maximum)
            field = static_cast<int32_t>(*stored.integer);
        else
            reject(key, stored, std::to_string(field));
    }
};

struct UserKeyWriter
{
    UserDefaults &store;

    void operator()(const char *key, const std::string &field) const
    {
        store.setString(key, field);
    }
    void operator()(const char *key, bool field) const { store.setBool(key, field); }
    void operator()(const char *key, int32_t field, int64_t, int64_t) const
    {
        store.setInteger(key, field);
    }
};

} // namespace

bool SettingParams::settingParamFromUserConfig(UserDefaults &store)
{
    if (store.isEmpty())
        return false;
    visitUserKeys(*this, UserKeyReader{store});
    return true;
}

bool SettingParams::setSettingParamToUserConfig(UserDefaults &store) const
{
    visitUserKeys(*this, UserKeyWriter{store});
    return store.synchronize();
}

void SettingParams::copySetting(const SettingParams &other)
{
    if (this == &other)
        return;
    m_resourcesSavingLocation = other.m_resourcesSavingLocation;
    m_isAutoCreatingResourcesFolder = other.m_isAutoCreatingResourcesFolder;
    m_movieSizeEnum = other.m_movieSizeEnum;
    m_movieSavingSizeLimit = other.m_movieSavingSizeLimit;
    m_languageSelector = other.lanuageSelector();
    m_timeTypeOfShots = other.m_timeTypeOfShots;
    m_timeTypeOfTimes = other.m_timeTypeOfTimes;
    m_shotsPerMinute.copy(other.m_shotsPerMinute);
    m_shotsPerHour.copy(other.m_shotsPerHour);
    m_shotsPerDay.copy(other.m_shotsPerDay);
    m_timesMinute.copy(other.m_timesMinute);
    m_timesHour.copy(other.m_timesHour);
    m_timesDay.copy(other.m_timesDay);
}

int32_t SettingParams::lanuageSelector() const
{
    if (m_languageSelector == -1)
        return searchUsableLanguageIndexByDefaultLanguage();
    return m_languageSelector;
}

ItemTimedShotSetting &SettingParams::shotsItemTimedShotSetting(int32_t unit)
{
    return unit == 1 ? m_shotsPerHour : unit == 2 ? m_shotsPerDay : m_shotsPerMinute;
}

const ItemTimedShotSetting &SettingParams::shotsItemTimedShotSetting(int32_t unit) const
{
    return unit == 1 ? m_shotsPerHour : unit == 2 ? m_shotsPerDay : m_shotsPerMinute;
}

ItemTimedShotSetting &SettingParams::timesItemTimedShotSetting(int32_t unit)
{
    return unit == 1 ? m_timesHour : unit == 2 ? m_timesDay : m_timesMinute;
}

const ItemTimedShotSetting &SettingParams::timesItemTimedShotSetting(int32_t unit) const
{
    return unit == 1 ? m_timesHour : unit == 2 ? m_timesDay : m_timesMinute;
}

int64_t SettingParams::shotsOfTakingPerDay() const
{
    const int64_t v = currentShotsTimedShotSetting().nCurrentValueForTimedShot;
    if (v == 0)
        return 1;
    if (m_timeTypeOfShots == 0)
        return v * 1440;
    if (m_timeTypeOfShots == 1)
        return v * 24;
    return v;
}

int64_t SettingParams::minutesOfTaking() const
{
    const int64_t m = currentTimesTimedShotSetting().nCurrentValueForTimedShot;
    if (m == 0)
        return 1;
    if (m_timeTypeOfTimes == 1)
        return m * 60;
    if (m_timeTypeOfTimes == 2)
        return m * 1440;
    return m;
}

std::string SettingParams::getResourcesLocationWithVarnolet() const
{
    return componetPathByTwoString(m_resourcesSavingLocation, "Varnolet");
}

std::string SettingParams::getResourcesLocationOfTakingAShot() const
{
    return componetPathByTwoString(getResourcesLocationWithVarnolet(), "Single Shots");
}

std::string SettingParams::getResourcesLocationOfTakingTimedShot() const
{
    return componetPathByTwoString(getResourcesLocationWithVarnolet(), "Timed Shots");
}

std::string SettingParams::getResourcesLocationOfRecordingMovie() const
{
    return componetPathByTwoString(getResourcesLocationWithVarnolet(), "Movies");
}

std::string SettingParams::componetPathByTwoString(const std::string &frontPath,
                                                   const std::string &laterPath)
{
    return frontPath + "/" + laterPath;
}

std::string SettingParams::getBundlePath(const varnolet::SystemPaths &paths)
{
    std::string path = paths.programFolder();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string SettingParams::getBundleResourcesPath(const varnolet::SystemPaths &paths)
{
    return getBundlePath(paths) + "/Contents/Resources";
}

QRectF SettingParams::getDrawingRect(QSizeF szImage, QSizeF szClient)
{
    const double imageWidth = szImage.width();
    const double imageHeight = szImage.height();
    const double w = szClient.width();
    const double h = szClient.height();
    if (imageWidth <= 0 || imageHeight <= 0 || w <= 0 || h <= 0)
        return QRectF(0, 0, 0, 0); // nothing sensible to draw
    const double r = imageHeight / imageWidth;
    // Whole percentages, compared as truncated values (no integer conversion to overflow).
    const double a = std::trunc(r * 100.0);
    const double b = std::trunc(h / w * 100.0);
    if (a < b) {
        const double height = r * w;
        return QRectF(0, (h - height) * 0.5, w, height);
    }
    const double width = h / r;
    return QRectF((w - width) * 0.5, 0, width, h);
}

int32_t SettingParams::languageIndexOfCode(const std::string &code)
{
    static const char *const kCodes[] = {"en", "fr", "es", "de", "it", "ja", "zh-Hant", "zh-Hans"};
    for (int32_t i = 0; i < 8; ++i)
        if (code == kCodes[i])
            return i;
    return 0;
}

int32_t SettingParams::searchUsableLanguageIndexByDefaultLanguage()
{
    return languageIndexOfCode(PreferredLanguage::firstPreferredLanguage());
}
