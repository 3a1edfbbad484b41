#include <gtest/gtest.h>

#include "mac/core/AppControllerSettings.h"
#include "mac/core/SavingLocationManage.h"
#include "mac/core/UserDefaults.h"
#include "platform/system/Clock.h"
#include "platform/system/SystemPaths.h"
#include "tests/support/TestSupport.h"

using varnolet::SystemPaths;
using varnolet::test::fileExists;
using varnolet::test::TempFolder;

namespace {

// A bundle in a temporary folder, and the folders that make it the program folder.
class Bundle
{
public:
    SystemPaths paths(const std::string &home = {}) const
    {
        SystemPaths::Folders folders;
        folders.home = home;
        folders.program = m_folder.path() + "/";
        return SystemPaths(folders);
    }

    std::string resources(const std::string &relative, const std::string &content) const
    {
        return m_folder.write("Contents/Resources/" + relative, content);
    }
    std::string path(const std::string &relative) const { return m_folder.file(relative); }

private:
    TempFolder m_folder;
};

const char *kConfig = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                      "<key>resourcespath</key><string>default</string>"
                      "<key>moviesizemax</key><integer>1024</integer>"
                      "<key>language</key><integer>1</integer>"
                      "<key>minshots_perminute_taking</key><integer>1</integer>"
                      "<key>maxshots_perminute_taking</key><integer>60</integer>"
                      "<key>defaultshots_perminute_taking</key><integer>6</integer>"
                      "</dict></plist>";

} // namespace

TEST(AppControllerSettingsTest, FirstRunUsesFactoryValuesAndCreatesFolders)
{
    Bundle bundle;
    TempFolder home;
    const std::string config = bundle.resources("config.plist", kConfig);
    UserDefaults store(bundle.path("prefs.plist"));
    SavingLocationManage manager(std::make_shared<varnolet::SystemClock>());
    AppControllerSettings settings(bundle.paths(home.path()));
    settings.startUp(manager, config, store);

    const SettingParams &using_ = settings.usingSettingParam();
    EXPECT_EQ(using_.resourcesSavingLocation(), home.path());
    EXPECT_EQ(using_.movieSavingSizeLimit(), 1024);
    EXPECT_EQ(using_.lanuageSelector(), 1);
    EXPECT_EQ(using_.mObjShotsTakingPreMinute(), (ItemTimedShotSetting{6, 1, 60}));
    EXPECT_EQ(settings.preUsingSettingParam().movieSavingSizeLimit(), 1024);
    EXPECT_EQ(settings.defaultSettingParam().resourcesSavingLocation(), home.path());
    for (const char *folder :
         {"/Varnolet", "/Varnolet/Single Shots", "/Varnolet/Timed Shots", "/Varnolet/Movies"})
        EXPECT_TRUE(fileExists(home.path() + folder)) << folder;
}

TEST(AppControllerSettingsTest, UserStoreOverridesFactoryValues)
{
    Bundle bundle;
    TempFolder saving;
    const std::string config = bundle.resources("config.plist", kConfig);
    UserDefaults store(bundle.path("prefs.plist"));
    store.setString("resourcespath", saving.path());
    store.setInteger("moviesizemax", 64);
    SavingLocationManage manager(std::make_shared<varnolet::SystemClock>());
    AppControllerSettings settings(bundle.paths());
    settings.startUp(manager, config, store);
    EXPECT_EQ(settings.usingSettingParam().movieSavingSizeLimit(), 64);
    EXPECT_EQ(settings.defaultSettingParam().movieSavingSizeLimit(), 1024);
    EXPECT_EQ(settings.preUsingSettingParam().resourcesSavingLocation(), saving.path());
    EXPECT_TRUE(fileExists(saving.path() + "/Varnolet/Movies"));
}

TEST(AppControllerSettingsTest, LookupReadsTheChosenLanguageFile)
{
    Bundle bundle;
    bundle.resources("german.lproj/Localizable.strings",
                     "/* German */\n\"ui_view_btn_take_a_shot\" = \"Foto aufnehmen\";\n"
                     "\"ui_comobo_german\" = \"Deutsch (DE)\";\n");
    bundle.resources("french.lproj/Localizable.strings",
                     "\"ui_view_btn_take_a_shot\" = \"Prendre\";");
    bundle.resources("english.lproj/Localizable.strings", "broken = ;");
    AppControllerSettings settings(bundle.paths());
    settings.usingSettingParam().setLanuageSelector(3);
    EXPECT_EQ(settings.myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo"),
              "Foto aufnehmen");
    EXPECT_EQ(settings.myNSLocationString("ui_missing", "fallback"), "fallback");

    // The file is read anew: a change on disk shows at the next lookup.
    bundle.resources("german.lproj/Localizable.strings", "\"ui_view_btn_take_a_shot\" = \"Neu\";");
    EXPECT_EQ(settings.myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo"), "Neu");

    settings.usingSettingParam().setLanuageSelector(1);
    EXPECT_EQ(settings.myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo"), "Prendre");
    settings.usingSettingParam().setLanuageSelector(0); // unreadable file: fallbacks
    EXPECT_EQ(settings.myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo"),
              "Take a Photo");
    settings.usingSettingParam().setLanuageSelector(6); // no such folder
    EXPECT_EQ(settings.myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo"),
              "Take a Photo");
    settings.usingSettingParam().setLanuageSelector(9); // no folder name at all
    EXPECT_EQ(settings.myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo"),
              "Take a Photo");

    // A negative index other than -1: the bundle's own localisation, which answers the key
    // itself when it has no entry.
    setenv("LANGUAGE", "fr", 1);
    settings.usingSettingParam().setLanuageSelector(-2);
    EXPECT_EQ(settings.myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo"), "Prendre");
    EXPECT_EQ(settings.myNSLocationString("ui_missing", "fallback"), "ui_missing");
    unsetenv("LANGUAGE");
}

TEST(AppControllerSettingsTest, LanguageListAndFolders)
{
    Bundle bundle;
    bundle.resources("german.lproj/Localizable.strings",
                     "\"ui_comobo_german\" = \"Deutsch (DE)\";");
    AppControllerSettings settings(bundle.paths());
    settings.usingSettingParam().setLanuageSelector(3);
    settings.refillLanguageArray();
    const std::vector<std::string> expected = {"English",  "Française", "Español",  "Deutsch (DE)",
                                               "Italiano", "日本語",    "繁體中文", "简体中文"};
    EXPECT_EQ(settings.languageArray(), expected);
    settings.refillLanguageArray(); // refilled, not appended
    EXPECT_EQ(settings.languageArray().size(), 8u);
    EXPECT_EQ(settings.getLanuageName(5), "日本語");
    EXPECT_EQ(settings.getLanuageName(8), "");
    EXPECT_EQ(settings.getLanuageName(-1), "");
    EXPECT_EQ(settings.getLanuageIndex("简体中文"), 7);
    EXPECT_EQ(settings.getLanuageIndex("Deutsch"), -1);
    EXPECT_EQ(settings.getLanuageIndex(nullptr), -1);

    EXPECT_EQ(AppControllerSettings::getLocalizedFolder(0), "english.lproj");
    EXPECT_EQ(AppControllerSettings::getLocalizedFolder(6), "zh_Hant.lproj");
    EXPECT_EQ(AppControllerSettings::getLocalizedFolder(7), "zh_Hans.lproj");
    EXPECT_EQ(AppControllerSettings::getLocalizedFolder(8), "");
    EXPECT_EQ(AppControllerSettings::getLocalizedFolder(-1), "");
}

TEST(AppControllerSettingsTest, StoreHoldingOnlyTheLocationKeepsTheFactoryValues)
{
    Bundle bundle;
    TempFolder saving;
    const std::string config = bundle.resources("config.plist", kConfig);
    const std::string preferences =
        bundle.resources("prefs.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                        "<key>resourcespath</key><string>" +
                                            saving.path() + "</string></dict></plist>");
    UserDefaults store(preferences);
    SavingLocationManage manager(std::make_shared<varnolet::SystemClock>());
    AppControllerSettings settings(bundle.paths());
    settings.startUp(manager, config, store);
    const SettingParams &using_ = settings.usingSettingParam();
    EXPECT_EQ(using_.resourcesSavingLocation(), saving.path());
    EXPECT_EQ(using_.movieSavingSizeLimit(), 1024) << "a movie limit of 0 records nothing";
    EXPECT_EQ(using_.lanuageSelector(), 1);
    EXPECT_EQ(using_.mObjShotsTakingPreMinute(), (ItemTimedShotSetting{6, 1, 60}));
}
