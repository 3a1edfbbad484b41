#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "mac/core/AppControllerSettings.h"
#include "mac/core/PropertyList.h"
#include "mac/core/SettingParams.h"
#include "mac/core/StringsFile.h"

namespace {

// The bundle layout the build puts beside VarnoletMac.
std::string runtimeFolder()
{
    if (const char *dir = std::getenv("VARNOLET_RUNTIME_DIR"))
        return dir;
    return QCoreApplication::applicationDirPath().toStdString() + "/../bin";
}

} // namespace

TEST(ShippedDataTest, EveryLanguageFileReadsAsPropertyList)
{
    const std::string resources = runtimeFolder() + "/Contents/Resources/";
    for (int index = 0; index < 8; ++index) {
        const std::string path =
            resources + AppControllerSettings::getLocalizedFolder(index) + "/Localizable.strings";
        const auto table = StringsFile::readFile(path);
        ASSERT_TRUE(table.has_value()) << path;
        EXPECT_GT(table->size(), 50u) << path;
        EXPECT_FALSE(table->at("ui_view_btn_take_a_shot").empty()) << path;
        EXPECT_TRUE(table->count("ui_comobo_simplified_chiese")) << path;
    }
}

TEST(ShippedDataTest, FactoryValuesLieInsideTheirRanges)
{
    const std::string contents = runtimeFolder() + "/Contents";
    SettingParams factory;
    factory.settingParamFromPlist(contents + "/Resources/config.plist",
                                  varnolet::SystemPaths::fromEnvironment());
    EXPECT_GE(factory.movieSavingSizeLimit(), 16);
    EXPECT_LE(factory.movieSavingSizeLimit(), 4096);
    EXPECT_TRUE(factory.movieSizeEnum() == 0 || factory.movieSizeEnum() == 1);
    for (int unit = 0; unit < 3; ++unit) {
        for (const ItemTimedShotSetting *item :
             {&factory.shotsItemTimedShotSetting(unit), &factory.timesItemTimedShotSetting(unit)}) {
            EXPECT_GE(item->nMinValueForTimedShot, 1) << unit;
            EXPECT_LE(item->nMinValueForTimedShot, item->nCurrentValueForTimedShot) << unit;
            EXPECT_LE(item->nCurrentValueForTimedShot, item->nMaxValueForTimedShot) << unit;
        }
    }
    const PropertyList config = PropertyList::readFile(contents + "/Resources/config.plist");
    EXPECT_EQ(PropertyList::stringValue(config.item("resourcespath")), "default");
    EXPECT_EQ(PropertyList::intValue(config.item("language")), -1);

    const PropertyList info = PropertyList::readFile(contents + "/info.plist");
    for (const char *key : {"Oem Compare Name", "Oem Produce Name", "Oem Compare Wibsite",
                            "Oem Copyright", "Oem Version"}) {
        const auto value = PropertyList::stringValue(info.item(key));
        ASSERT_TRUE(value.has_value()) << key;
        EXPECT_FALSE(value->empty()) << key;
    }
}
