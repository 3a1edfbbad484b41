#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "mac/core/CaptureResolution.h"
#include "mac/core/PropertyList.h"
#include "mac/core/SettingParams.h"
#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"
#include "mac/core/UserDefaults.h"
#include "platform/system/SystemPaths.h"
#include "tests/support/ProgramFolderPaths.h"
#include "tests/support/TestSupport.h"

using varnolet::SystemPaths;
using varnolet::test::TempFolder;

namespace {

// The folders a factory file is read with: "default" locations become this home.
SystemPaths homeAt(const std::string &home)
{
    SystemPaths::Folders folders;
    folders.home = home;
    return SystemPaths(folders);
}
const SystemPaths kPaths = homeAt("/home/tester");

std::string plist(const std::string &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
           "</dict></plist>\n";
}

std::string intKey(const std::string &key, int value)
{
    return "<key>" + key + "</key><integer>" + std::to_string(value) + "</integer>";
}

class EnvironmentGuard
{
public:
    explicit EnvironmentGuard(std::initializer_list<std::pair<const char *, const char *>> values)
    {
        for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char *old = std::getenv(name);
            m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(name);
        }
        for (const auto &[name, value] : values)
            setenv(name, value, 1);
    }
    ~EnvironmentGuard()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace

TEST(SettingParamsTest, FactoryFileFillsEveryFieldAndResolvesDefault)
{
    TempFolder folder;
    const std::string path = folder.write(
        "config.plist",
        plist(
            "<key>resourcespath</key><string>default</string><key>autocreatingfolder</key><true/>" +
            intKey("movieresolution", 0) + "<key>moviesizemax</key><string>2048</string>" +
            intKey("language", 3) + intKey("timetype_takingshots_pretime", 1) +
            intKey("minshots_perhour_taking", 2) + intKey("maxshots_perhour_taking", 3600) +
            intKey("defaultshots_perhour_taking", 60) + intKey("timetype_times_taking", 2) +
            intKey("mintimes_day_taking", 1) + intKey("maxtimes_day_taking", 365) +
            intKey("defaulttimes_day_taking", 7) + intKey("maxtimes_Day_taking", 999)));
    SettingParams params;
    params.settingParamFromPlist(path, kPaths);
    EXPECT_EQ(params.resourcesSavingLocation(), kPaths.homeFolder());
    EXPECT_TRUE(params.isAutoCreatingResourcesFolder());
    EXPECT_EQ(params.movieSizeEnum(), 0);
    EXPECT_EQ(params.movieSavingSizeLimit(), 2048); // numeric string converts
    EXPECT_EQ(params.lanuageSelector(), 3);
    EXPECT_EQ(params.mTimeTypeOfShotsForTimedShot(), 1);
    EXPECT_EQ(params.mObjShotsTakingPreHour(), (ItemTimedShotSetting{60, 2, 3600}));
    EXPECT_EQ(params.mTimeTypeOfTimesForTimedShot(), 2);
    // Keys match exactly: the capitalised "Day" key is not the day key.
    EXPECT_EQ(params.mObjTimesTakingOfDay(), (ItemTimedShotSetting{7, 1, 365}));
    // A missing range key reads 0.
    EXPECT_EQ(params.mObjShotsTakingPreMinute(), (ItemTimedShotSetting{0, 0, 0}));
}

TEST(SettingParamsTest, MissingOrBrokenFactoryFileStillGivesAWorkingRecord)
{
    TempFolder folder;
    for (const std::string &path :
         {folder.file("absent.plist"), folder.write("broken.plist", "<plist><dict>")}) {
        SettingParams params;
        params.settingParamFromPlist(path, kPaths);
        EXPECT_EQ(params.resourcesSavingLocation(), kPaths.homeFolder()) << path;
        for (int unit = 0; unit < 3; ++unit) {
            EXPECT_EQ(params.shotsItemTimedShotSetting(unit), (ItemTimedShotSetting{60, 1, 300}));
            EXPECT_EQ(params.timesItemTimedShotSetting(unit), (ItemTimedShotSetting{60, 1, 300}));
        }
        EXPECT_EQ(params.movieSavingSizeLimit(), 16);
        EXPECT_EQ(params.movieSizeEnum(), 1);
    }
}

TEST(SettingParamsTest, ExplicitLocationIsKeptAndOtherCaseIsNotDefault)
{
    TempFolder folder;
    SettingParams params;
    params.settingParamFromPlist(
        folder.write("c.plist", plist("<key>resourcespath</key><string>Default</string>")), kPaths);
    EXPECT_EQ(params.resourcesSavingLocation(), "Default");
}

TEST(SettingParamsTest, UserStoreRoundTripAndOnlyLocation)
{
    TempFolder folder;
    UserDefaults store(folder.file("prefs/preferences.plist"));
    SettingParams params;
    EXPECT_FALSE(params.settingParamFromUserConfig(store)); // nothing stored: unchanged
    EXPECT_EQ(params.resourcesSavingLocation(), "default");

    SettingParams written;
    written.setResourcesSavingLocation("/data/pictures");
    written.setIsAutoCreatingResourcesFolder(true);
    written.setMovieSizeEnum(0);
    written.setMovieSavingSizeLimit(4096);
    written.setLanuageSelector(-1);
    written.setMTimeTypeOfShotsForTimedShot(2);
    written.mObjShotsTakingPreDay().nCurrentValueForTimedShot = 24;
    written.setMTimeTypeOfTimesForTimedShot(1);
    written.mObjTimesTakingOfHour().nCurrentValueForTimedShot = 12;
    ASSERT_TRUE(written.setSettingParamToUserConfig(store));

    UserDefaults reread(store.path());
    SettingParams loaded;
    // The ranges come with the factory values; the stored values are checked against them.
    loaded.mObjShotsTakingPreDay() = ItemTimedShotSetting{0, 1, 100};
    loaded.mObjTimesTakingOfHour() = ItemTimedShotSetting{0, 1, 100};
    ASSERT_TRUE(loaded.settingParamFromUserConfig(reread));
    EXPECT_EQ(loaded.resourcesSavingLocation(), "/data/pictures");
    EXPECT_TRUE(loaded.isAutoCreatingResourcesFolder());
    EXPECT_EQ(loaded.movieSizeEnum(), 0);
    EXPECT_EQ(loaded.movieSavingSizeLimit(), 4096);
    EXPECT_EQ(loaded.mTimeTypeOfShotsForTimedShot(), 2);
    EXPECT_EQ(loaded.currentShotsTimedShotSetting().nCurrentValueForTimedShot, 24);
    EXPECT_EQ(loaded.mTimeTypeOfTimesForTimedShot(), 1);
    EXPECT_EQ(loaded.currentTimesTimedShotSetting().nCurrentValueForTimedShot, 12);
    {
        EnvironmentGuard env({{"LANG", "de_DE.UTF-8"}});
        EXPECT_EQ(loaded.lanuageSelector(), 3); // -1 survived the store and resolves
    }
}

TEST(SettingParamsTest, UserStoreIsWrittenAtomicallyAsPropertyList)
{
    TempFolder folder;
    UserDefaults store(folder.file("VarnoletMac/preferences.plist"));
    SettingParams params;
    params.setResourcesSavingLocation("/x");
    params.setLanuageSelector(-1);
    ASSERT_TRUE(params.setSettingParamToUserConfig(store));
    const PropertyList list = PropertyList::readFile(store.path());
    ASSERT_TRUE(list.isDictionary());
    EXPECT_EQ(PropertyList::stringValue(list.item("resourcespath")), "/x");
    EXPECT_EQ(PropertyList::intValue(list.item("language")), -1);
    for (const char *key :
         {"autocreatingfolder", "movieresolution", "moviesizemax", "timetype_takingshots_pretime",
          "shots_taking_pretime", "timetype_times_taking", "times_fortaking"})
        EXPECT_TRUE(list.hasKey(key)) << key;
    // No temporary file is left beside it.
    int entries = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder.file("VarnoletMac")))
        entries += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(entries, 1);
}

TEST(SettingParamsTest, CopyResolvesLanguageAndKeepsItems)
{
    EnvironmentGuard env({{"LANG", "ja_JP.UTF-8"}});
    SettingParams source;
    source.setResourcesSavingLocation("/a");
    source.setLanuageSelector(-1);
    source.mObjTimesTakingOfDay() = ItemTimedShotSetting{3, 1, 365};
    SettingParams copy;
    ItemTimedShotSetting *item = &copy.mObjTimesTakingOfDay();
    copy.copySetting(source);
    EXPECT_EQ(copy.lanuageSelector(), 5);
    setenv("LANG", "fr_FR.UTF-8", 1);
    EXPECT_EQ(copy.lanuageSelector(), 5); // the copy holds the index, not -1
    EXPECT_EQ(source.lanuageSelector(), 1);
    EXPECT_EQ(&copy.mObjTimesTakingOfDay(), item);
    EXPECT_EQ(*item, (ItemTimedShotSetting{3, 1, 365}));
    EXPECT_EQ(copy.resourcesSavingLocation(), "/a");
}

TEST(SettingParamsTest, PreferredLanguageFromLocale)
{
    struct Case
    {
        const char *variable;
        const char *value;
        int index;
    };
    const Case cases[] = {
        {"LANG", "zh_TW.UTF-8", 6},   {"LANG", "zh_HK.UTF-8", 6},  {"LANG", "zh_CN.UTF-8", 7},
        {"LANG", "fr_FR.UTF-8", 1},   {"LANG", "pt_BR.UTF-8", 0},  {"LANG", "C", 0},
        {"LC_ALL", "es_ES.UTF-8", 2}, {"LANGUAGE", "it:en", 4},    {"LANGUAGE", "zh_Hant", 6},
        {"LANGUAGE", "zh-Hans", 7},   {"LC_MESSAGES", "de_AT", 3}, {"LANG", "en_GB.UTF-8", 0},
    };
    for (const Case &c : cases) {
        EnvironmentGuard env({{c.variable, c.value}});
        EXPECT_EQ(SettingParams::searchUsableLanguageIndexByDefaultLanguage(), c.index) << c.value;
    }
    EnvironmentGuard env({{"LANGUAGE", "ja"}, {"LANG", "fr_FR.UTF-8"}});
    EXPECT_EQ(SettingParams::searchUsableLanguageIndexByDefaultLanguage(), 5); // LANGUAGE first
}

TEST(SettingParamsTest, DerivedCountsAndLocations)
{
    SettingParams params;
    EXPECT_EQ(params.shotsOfTakingPerDay(), 1); // value 0
    EXPECT_EQ(params.minutesOfTaking(), 1);
    params.mObjShotsTakingPreMinute().nCurrentValueForTimedShot = 2;
    EXPECT_EQ(params.shotsOfTakingPerDay(), 2880);
    params.setMTimeTypeOfShotsForTimedShot(1);
    params.mObjShotsTakingPreHour().nCurrentValueForTimedShot = 3;
    EXPECT_EQ(params.shotsOfTakingPerDay(), 72);
    params.setMTimeTypeOfShotsForTimedShot(7); // unknown unit: the per-minute item, taken as is
    EXPECT_EQ(params.shotsOfTakingPerDay(), 2);
    params.setMTimeTypeOfShotsForTimedShot(0);
    EXPECT_EQ(params.currentShotsTimedShotSetting().nCurrentValueForTimedShot, 2); // kept per unit

    params.mObjTimesTakingOfHour().nCurrentValueForTimedShot = 5;
    params.setMTimeTypeOfTimesForTimedShot(1);
    EXPECT_EQ(params.minutesOfTaking(), 300);
    params.mObjTimesTakingOfDay().nCurrentValueForTimedShot = 2;
    params.setMTimeTypeOfTimesForTimedShot(2);
    EXPECT_EQ(params.minutesOfTaking(), 2880);

    params.setResourcesSavingLocation("/home/u/");
    EXPECT_EQ(params.getResourcesLocationWithVarnolet(), "/home/u//Varnolet");
    EXPECT_EQ(params.getResourcesLocationOfTakingAShot(), "/home/u//Varnolet/Single Shots");
    params.setResourcesSavingLocation("/p/Varnolet");
    EXPECT_EQ(params.getResourcesLocationOfRecordingMovie(), "/p/Varnolet/Varnolet/Movies");
    EXPECT_EQ(params.getResourcesLocationOfTakingTimedShot(), "/p/Varnolet/Varnolet/Timed Shots");
}

TEST(SettingParamsTest, BundlePathsAndResolutionText)
{
    const SystemPaths bundle = varnolet::test::withProgramFolder("/opt/varnolet/");
    EXPECT_EQ(SettingParams::getBundlePath(bundle), "/opt/varnolet");
    EXPECT_EQ(SettingParams::getBundleResourcesPath(bundle), "/opt/varnolet/Contents/Resources");
    EXPECT_EQ(CaptureResolution(1280, 1024).getPixelFormatString(), "1280X1024");
    EXPECT_TRUE(CaptureResolution::getDefaultResolution().isEqual(CaptureResolution(640, 480)));
    EXPECT_FALSE(CaptureResolution(640, 480).isEqual(CaptureResolution(640, 481)));
}

namespace {

void expectRect(const QRectF &actual, double x, double y, double width, double height)
{
    EXPECT_NEAR(actual.x(), x, 1e-4);
    EXPECT_NEAR(actual.y(), y, 1e-4);
    EXPECT_NEAR(actual.width(), width, 1e-4);
    EXPECT_NEAR(actual.height(), height, 1e-4);
}

} // namespace

TEST(SettingParamsTest, DrawingRectKeepsAspect)
{
    const QRectF wide = SettingParams::getDrawingRect(QSizeF(640, 480), QSizeF(100, 100));
    expectRect(wide, 0, 12.5, 100, 75);
    const QRectF tall = SettingParams::getDrawingRect(QSizeF(480, 640), QSizeF(100, 100));
    expectRect(tall, 12.5, 0, 75, 100);
    const QRectF same = SettingParams::getDrawingRect(QSizeF(200, 100), QSizeF(400, 200));
    expectRect(same, 0, 0, 400, 200);
    // Within the same whole percentage the box height is used.
    expectRect(SettingParams::getDrawingRect(QSizeF(1000, 755), QSizeF(100, 75)), 0.33113, 0,
               99.33775, 75);
    EXPECT_TRUE(SettingParams::getDrawingRect(QSizeF(0, 480), QSizeF(100, 100)).isEmpty());
}

TEST(SettingParamsTest, TextConversionsFollowFoundation)
{
    EXPECT_EQ(PropertyList::intValueOfText("  42abc"), 42);
    EXPECT_EQ(PropertyList::intValueOfText("-7"), -7);
    EXPECT_EQ(PropertyList::intValueOfText("x1"), 0);
    EXPECT_EQ(PropertyList::intValueOfText("99999999999"), INT32_MAX);
    EXPECT_EQ(PropertyList::intValueOfText("-99999999999"), INT32_MIN);
    EXPECT_TRUE(PropertyList::boolValueOfText("YES"));
    EXPECT_TRUE(PropertyList::boolValueOfText(" 007"));
    EXPECT_FALSE(PropertyList::boolValueOfText("NO"));
    EXPECT_FALSE(PropertyList::boolValueOfText("000"));
}

namespace {

// A preferences file whose values are those of a complete store unless a case replaces one
// (an empty replacement leaves the key out).
struct StoreCase
{
    const char *name;
    std::map<std::string, std::string> replaced; // key -> plist element, "" for absent
    std::function<void(const SettingParams &)> check;
    std::vector<std::string> rejected; // keys the log names, one line each
};

std::string preferencesFile(const std::map<std::string, std::string> &replaced)
{
    std::map<std::string, std::string> values = {
        {"resourcespath", "<string>/stored</string>"},
        {"autocreatingfolder", "<true/>"},
        {"movieresolution", "<integer>0</integer>"},
        {"moviesizemax", "<integer>512</integer>"},
        {"language", "<integer>4</integer>"},
        {"timetype_takingshots_pretime", "<integer>1</integer>"},
        {"shots_taking_pretime", "<integer>20</integer>"},
        {"timetype_times_taking", "<integer>1</integer>"},
        {"times_fortaking", "<integer>12</integer>"},
    };
    for (const auto &[key, element] : replaced)
        values[key] = element;
    std::string body;
    for (const auto &[key, element] : values)
        if (!element.empty())
            body += "<key>" + key + "</key>" + element;
    return plist(body);
}

// The factory record the store is read over: location /factory, no sub-folders, 640 × 480,
// 64 MB, Spanish, per-minute shots 1..60 (10) and per-hour 1..100 (5), run length in
// minutes 1..300 (30) and in hours 1..24 (2).
void setFactoryValues(SettingParams &params)
{
    params.setResourcesSavingLocation("/factory");
    params.setIsAutoCreatingResourcesFolder(false);
    params.setMovieSizeEnum(1);
    params.setMovieSavingSizeLimit(64);
    params.setLanuageSelector(2);
    params.mObjShotsTakingPreMinute() = ItemTimedShotSetting{10, 1, 60};
    params.mObjShotsTakingPreHour() = ItemTimedShotSetting{5, 1, 100};
    params.mObjTimesTakingOfMinute() = ItemTimedShotSetting{30, 1, 300};
    params.mObjTimesTakingOfHour() = ItemTimedShotSetting{2, 1, 24};
}

} // namespace

TEST(SettingParamsTest, UnusableStoredValuesFallBackToTheFactoryValueOneByOne)
{
    const std::vector<StoreCase> cases = {
        {"complete store",
         {},
         [](const SettingParams &p) {
             EXPECT_EQ(p.resourcesSavingLocation(), "/stored");
             EXPECT_TRUE(p.isAutoCreatingResourcesFolder());
             EXPECT_EQ(p.movieSizeEnum(), 0);
             EXPECT_EQ(p.movieSavingSizeLimit(), 512);
             EXPECT_EQ(p.lanuageSelector(), 4);
             EXPECT_EQ(p.mObjShotsTakingPreHour().nCurrentValueForTimedShot, 20);
             EXPECT_EQ(p.mObjTimesTakingOfHour().nCurrentValueForTimedShot, 12);
         },
         {}},
        {"only the location",
         {{"autocreatingfolder", ""},
          {"movieresolution", ""},
          {"moviesizemax", ""},
          {"language", ""},
          {"timetype_takingshots_pretime", ""},
          {"shots_taking_pretime", ""},
          {"timetype_times_taking", ""},
          {"times_fortaking", ""}},
         [](const SettingParams &p) {
             EXPECT_EQ(p.resourcesSavingLocation(), "/stored");
             EXPECT_FALSE(p.isAutoCreatingResourcesFolder());
             EXPECT_EQ(p.movieSizeEnum(), 1);
             EXPECT_EQ(p.movieSavingSizeLimit(), 64);
             EXPECT_EQ(p.lanuageSelector(), 2);
             EXPECT_EQ(p.mTimeTypeOfShotsForTimedShot(), 0);
             EXPECT_EQ(p.currentShotsTimedShotSetting().nCurrentValueForTimedShot, 10);
             EXPECT_EQ(p.currentTimesTimedShotSetting().nCurrentValueForTimedShot, 30);
         },
         {"autocreatingfolder", "language", "movieresolution", "moviesizemax",
          "shots_taking_pretime", "timetype_takingshots_pretime", "timetype_times_taking",
          "times_fortaking"}},
        {"size limit as a word",
         {{"moviesizemax", "<string>abc</string>"}},
         [](const SettingParams &p) {
             EXPECT_EQ(p.movieSavingSizeLimit(), 64);
             EXPECT_EQ(p.lanuageSelector(), 4) << "the rest is read";
         },
         {"moviesizemax"}},
        {"negative size limit",
         {{"moviesizemax", "<integer>-5</integer>"}},
         [](const SettingParams &p) { EXPECT_EQ(p.movieSavingSizeLimit(), 64); },
         {"moviesizemax"}},
        {"size limit above 4096",
         {{"moviesizemax", "<integer>4097</integer>"}},
         [](const SettingParams &p) { EXPECT_EQ(p.movieSavingSizeLimit(), 64); },
         {"moviesizemax"}},
        {"size limit as a numeric text",
         {{"moviesizemax", "<string>4096</string>"}},
         [](const SettingParams &p) { EXPECT_EQ(p.movieSavingSizeLimit(), 4096); },
         {}},
        {"size limit as a text with a unit",
         {{"moviesizemax", "<string>32MB</string>"}},
         [](const SettingParams &p) { EXPECT_EQ(p.movieSavingSizeLimit(), 64); },
         {"moviesizemax"}},
        {"language out of range, preferred language kept",
         {{"language", "<integer>8</integer>"}},
         [](const SettingParams &p) { EXPECT_EQ(p.lanuageSelector(), 2); },
         {"language"}},
        {"unknown unit: the value is checked against the factory unit's range",
         {{"timetype_takingshots_pretime", "<integer>3</integer>"},
          {"shots_taking_pretime", "<integer>50</integer>"}},
         [](const SettingParams &p) {
             EXPECT_EQ(p.mTimeTypeOfShotsForTimedShot(), 0);
             EXPECT_EQ(p.mObjShotsTakingPreMinute().nCurrentValueForTimedShot, 50);
         },
         {"timetype_takingshots_pretime"}},
        {"value above its unit's range",
         {{"times_fortaking", "<integer>25</integer>"}},
         [](const SettingParams &p) {
             EXPECT_EQ(p.mTimeTypeOfTimesForTimedShot(), 1);
             EXPECT_EQ(p.mObjTimesTakingOfHour().nCurrentValueForTimedShot, 2);
         },
         {"times_fortaking"}},
        {"value of the wrong kind",
         {{"shots_taking_pretime", "<true/>"}, {"movieresolution", "<integer>2</integer>"}},
         [](const SettingParams &p) {
             EXPECT_EQ(p.mObjShotsTakingPreHour().nCurrentValueForTimedShot, 5);
             EXPECT_EQ(p.movieSizeEnum(), 1);
         },
         {"movieresolution", "shots_taking_pretime"}},
        {"flag as a word, location as a number",
         {{"autocreatingfolder", "<string>sure</string>"},
          {"resourcespath", "<integer>7</integer>"}},
         [](const SettingParams &p) {
             EXPECT_FALSE(p.isAutoCreatingResourcesFolder());
             EXPECT_EQ(p.resourcesSavingLocation(), "/factory");
         },
         {"autocreatingfolder", "resourcespath"}},
        {"empty location",
         {{"resourcespath", "<string></string>"}},
         [](const SettingParams &p) { EXPECT_EQ(p.resourcesSavingLocation(), "/factory"); },
         {"resourcespath"}},
    };
    for (const StoreCase &c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        UserDefaults store(
            folder.write("VarnoletMac/preferences.plist", preferencesFile(c.replaced)));
        SettingParams params;
        setFactoryValues(params);
        ScopedLogCapture log;
        ASSERT_TRUE(params.settingParamFromUserConfig(store));
        c.check(params);
        std::vector<std::string> lines = log.lines();
        std::vector<std::string> rejected = c.rejected;
        ASSERT_EQ(lines.size(), rejected.size());
        std::sort(lines.begin(), lines.end());
        std::sort(rejected.begin(), rejected.end());
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].rfind("preferences: " + rejected[i] + " ", 0), 0u) << lines[i];
        if (c.rejected.size() == 1) { // what was found and what is used instead
            EXPECT_NE(lines[0].find(" holds "), std::string::npos) << lines[0];
        }
    }
}

TEST(SettingParamsTest, FactorySizeLimitAndLanguageOutsideTheirRangesTakeTheBuiltInValues)
{
    struct Case
    {
        std::string body;
        int32_t limit;
        int32_t language;
        size_t logLines;
    };
    const Case cases[] = {
        {intKey("moviesizemax", 64) + intKey("language", -1), 64, -1, 0},
        {intKey("language", 2), 16, 2, 1}, // a missing limit reads 0
        {"<key>moviesizemax</key><string>abc</string>" + intKey("language", 8), 16, 0, 2},
        {intKey("moviesizemax", 4097) + intKey("language", 7), 16, 7, 1},
    };
    for (const Case &c : cases) {
        TempFolder folder;
        SettingParams params;
        ScopedLogCapture log;
        params.settingParamFromPlist(folder.write("config.plist", plist(c.body)), kPaths);
        EXPECT_EQ(params.movieSavingSizeLimit(), c.limit) << c.body;
        // -1 (the preferred language) is kept, and answers the preferred language's index.
        EXPECT_EQ(params.lanuageSelector(),
                  c.language == -1 ? SettingParams::searchUsableLanguageIndexByDefaultLanguage()
                                   : c.language)
            << c.body;
        EXPECT_EQ(log.lines().size(), c.logLines) << c.body;
    }
}
