#pragma once

#include <cstdint>
#include <string>

#include <QRectF>

#include "mac/core/ItemTimedShotSetting.h"

class UserDefaults;

namespace varnolet {
class SystemPaths;
} // namespace varnolet

// One settings record of the Mac program: saving location and scheme, movie size and
// limit, language and the timed-shot units with their six ranges. Records are copied value
// by value (copySetting); each owns its six items for its whole life.
class SettingParams
{
public:
    SettingParams() = default;
    SettingParams(const SettingParams &) = delete;
    SettingParams &operator=(const SettingParams &) = delete;

    // Fills the record from the bundle's config.plist (settingParamFromPlist(path) of
    // getBundleResourcesPath() + "/config.plist").
    void settingParamFromPlist(const varnolet::SystemPaths &paths);
    // Fills the record from a factory property list. When the file cannot be read as a
    // dictionary, the location "default" becomes the home folder of paths and every range gets the
    // built-in limits 1..300 with 60 in force, so that a first run still works. A size limit
    // outside 16..4096 becomes 16 and a language outside -1..7 becomes 0, each logged.
    void settingParamFromPlist(const std::string &path, const varnolet::SystemPaths &paths);
    // Fills the record from the user store; false, record unchanged, when the store holds
    // nothing. A key that is missing, of another kind or out of its range (location empty,
    // units 0-2, shots and times within their item's range, movie size code 0-1, size limit
    // 16-4096, language -1-7) keeps the record's value, with one line in the log.
    bool settingParamFromUserConfig(UserDefaults &store);
    // Writes the nine user keys and saves the store at once. False when saving failed.
    bool setSettingParamToUserConfig(UserDefaults &store) const;
    void copySetting(const SettingParams &other);

    // Field readers and writers.
    const std::string &resourcesSavingLocation() const { return m_resourcesSavingLocation; }
    void setResourcesSavingLocation(const std::string &location)
    {
        m_resourcesSavingLocation = location;
    }
    bool isAutoCreatingResourcesFolder() const { return m_isAutoCreatingResourcesFolder; }
    void setIsAutoCreatingResourcesFolder(bool on) { m_isAutoCreatingResourcesFolder = on; }
    int32_t movieSizeEnum() const { return m_movieSizeEnum; }
    void setMovieSizeEnum(int32_t code) { m_movieSizeEnum = code; }
    int32_t movieSavingSizeLimit() const { return m_movieSavingSizeLimit; }
    void setMovieSavingSizeLimit(int32_t megabytes) { m_movieSavingSizeLimit = megabytes; }
    // The stored language, except that -1 answers the user's preferred language index.
    int32_t lanuageSelector() const;
    void setLanuageSelector(int32_t index) { m_languageSelector = index; }
    int32_t mTimeTypeOfShotsForTimedShot() const { return m_timeTypeOfShots; }
    void setMTimeTypeOfShotsForTimedShot(int32_t unit) { m_timeTypeOfShots = unit; }
    int32_t mTimeTypeOfTimesForTimedShot() const { return m_timeTypeOfTimes; }
    void setMTimeTypeOfTimesForTimedShot(int32_t unit) { m_timeTypeOfTimes = unit; }

    ItemTimedShotSetting &mObjShotsTakingPreMinute() { return m_shotsPerMinute; }
    ItemTimedShotSetting &mObjShotsTakingPreHour() { return m_shotsPerHour; }
    ItemTimedShotSetting &mObjShotsTakingPreDay() { return m_shotsPerDay; }
    ItemTimedShotSetting &mObjTimesTakingOfMinute() { return m_timesMinute; }
    ItemTimedShotSetting &mObjTimesTakingOfHour() { return m_timesHour; }
    ItemTimedShotSetting &mObjTimesTakingOfDay() { return m_timesDay; }
    const ItemTimedShotSetting &mObjShotsTakingPreMinute() const { return m_shotsPerMinute; }
    const ItemTimedShotSetting &mObjShotsTakingPreHour() const { return m_shotsPerHour; }
    const ItemTimedShotSetting &mObjShotsTakingPreDay() const { return m_shotsPerDay; }
    const ItemTimedShotSetting &mObjTimesTakingOfMinute() const { return m_timesMinute; }
    const ItemTimedShotSetting &mObjTimesTakingOfHour() const { return m_timesHour; }
    const ItemTimedShotSetting &mObjTimesTakingOfDay() const { return m_timesDay; }

    // 1 the per-hour item, 2 the per-day item, anything else the per-minute item.
    ItemTimedShotSetting &shotsItemTimedShotSetting(int32_t unit);
    const ItemTimedShotSetting &shotsItemTimedShotSetting(int32_t unit) const;
    ItemTimedShotSetting &timesItemTimedShotSetting(int32_t unit);
    const ItemTimedShotSetting &timesItemTimedShotSetting(int32_t unit) const;
    ItemTimedShotSetting &currentShotsTimedShotSetting()
    {
        return shotsItemTimedShotSetting(m_timeTypeOfShots);
    }
    const ItemTimedShotSetting &currentShotsTimedShotSetting() const
    {
        return shotsItemTimedShotSetting(m_timeTypeOfShots);
    }
    ItemTimedShotSetting &currentTimesTimedShotSetting()
    {
        return timesItemTimedShotSetting(m_timeTypeOfTimes);
    }
    const ItemTimedShotSetting &currentTimesTimedShotSetting() const
    {
        return timesItemTimedShotSetting(m_timeTypeOfTimes);
    }

    // Photos per day of the current shots value (1 when it is 0).
    int64_t shotsOfTakingPerDay() const;
    // Run length in minutes of the current times value (1 when it is 0).
    int64_t minutesOfTaking() const;

    // Location + "/Varnolet", and that + "/Single Shots", "/Timed Shots", "/Movies".
    std::string getResourcesLocationWithVarnolet() const;
    std::string getResourcesLocationOfTakingAShot() const;
    std::string getResourcesLocationOfTakingTimedShot() const;
    std::string getResourcesLocationOfRecordingMovie() const;

    // "%@/%@" of both texts.
    static std::string componetPathByTwoString(const std::string &frontPath,
                                               const std::string &laterPath);
    // The program folder without its trailing "/".
    static std::string getBundlePath(const varnolet::SystemPaths &paths);
    // getBundlePath() + "/Contents/Resources".
    static std::string getBundleResourcesPath(const varnolet::SystemPaths &paths);
    // The rectangle that shows an image of szImage whole inside a box of szClient, aspect
    // kept, centred.
    static QRectF getDrawingRect(QSizeF szImage, QSizeF szClient);
    // Index 0..7 of the user's preferred language; 0 for any other language.
    static int32_t searchUsableLanguageIndexByDefaultLanguage();
    static int32_t languageIndexOfCode(const std::string &code);

private:
    // Calls visit(key, field) for the text and boolean keys of the user store and
    // visit(key, field, minimum, maximum) for its whole-number keys, in the order they are
    // written. A timed-shot item's key follows its unit's key, which picks the item, so a
    // reader that fills the unit first gets the right item for the value.
    template <typename Record, typename Visitor>
    static void visitUserKeys(Record &record, Visitor &&visit);

    std::string m_resourcesSavingLocation = "default";
    bool m_isAutoCreatingResourcesFolder = false;
    int32_t m_movieSizeEnum = 1;
    int32_t m_movieSavingSizeLimit = 16;
    int32_t m_languageSelector = 0;
    int32_t m_timeTypeOfShots = 0;
    int32_t m_timeTypeOfTimes = 0;
    ItemTimedShotSetting m_shotsPerMinute;
    ItemTimedShotSetting m_shotsPerHour;
    ItemTimedShotSetting m_shotsPerDay;
    ItemTimedShotSetting m_timesMinute;
    ItemTimedShotSetting m_timesHour;
    ItemTimedShotSetting m_timesDay;
};
