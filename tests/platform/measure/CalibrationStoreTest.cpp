#include "platform/measure/CalibrationStore.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using varnolet::Calibration;
using varnolet::CalibrationStore;
using varnolet::test::TempFolder;

TEST(CalibrationStoreTest, CameraKeysUseTheUsbIdentityElseTheName)
{
    EXPECT_EQ(CalibrationStore::cameraKey(0x046d, 0x0825, "A1B2", "USB Camera"),
              "usb:046d:0825:A1B2");
    EXPECT_EQ(CalibrationStore::cameraKey(0x046d, 0x0825, "", "USB Camera"), "usb:046d:0825");
    EXPECT_EQ(CalibrationStore::cameraKey(0, 0, "", "Virtual Camera"), "name:Virtual Camera");
}

TEST(CalibrationStoreTest, RoundTripKeepsCamerasPresetsAndSizes)
{
    TempFolder folder;
    // The program's folder is made when it is missing.
    const std::string path = folder.file("VarnoletMac/calibration.json");
    {
        CalibrationStore store(path);
        EXPECT_EQ(store.load(), CalibrationStore::LoadResult::Missing);
        ASSERT_TRUE(store.setCalibration("usb:1:2:S", "10\u00d7", Calibration{640, 480, 2.5}));
        ASSERT_TRUE(store.setCalibration("usb:1:2:S", "40\u00d7", Calibration{640, 480, 0.625}));
        ASSERT_TRUE(store.setCalibration("usb:1:2:S", "40\u00d7", Calibration{1600, 1200, 0.25}));
        ASSERT_TRUE(store.setCalibration("name:Other", "10\u00d7", Calibration{1280, 720, 1.0}));
        ASSERT_TRUE(store.choosePreset("usb:1:2:S", "10\u00d7"));
        ASSERT_EQ(store.save(), 0);
    }
    CalibrationStore store(path);
    ASSERT_EQ(store.load(), CalibrationStore::LoadResult::Loaded);
    EXPECT_EQ(store.cameras(), (std::vector<std::string>{"name:Other", "usb:1:2:S"}));
    EXPECT_EQ(store.presetNames("usb:1:2:S"), (std::vector<std::string>{"10\u00d7", "40\u00d7"}));
    EXPECT_EQ(store.currentPreset("usb:1:2:S"), "10\u00d7");
    const auto *preset = store.preset("usb:1:2:S", "40\u00d7");
    ASSERT_NE(preset, nullptr);
    EXPECT_EQ(preset->sizes, (std::vector<Calibration>{{640, 480, 0.625}, {1600, 1200, 0.25}}));
    ASSERT_TRUE(store.lookup("name:Other", 1920, 1080).has_value());
    EXPECT_DOUBLE_EQ(store.lookup("name:Other", 1920, 1080)->micrometresPerPixel, 1280.0 / 1920);
    EXPECT_FALSE(store.lookup("usb:9:9", 640, 480).has_value());
}

TEST(CalibrationStoreTest, PresetsAreAddedRenamedAndDeleted)
{
    CalibrationStore store("/nonexistent/calibration.json");
    EXPECT_TRUE(store.addPreset("cam", "4\u00d7"));
    EXPECT_FALSE(store.addPreset("cam", "4\u00d7")); // taken
    EXPECT_FALSE(store.addPreset("cam", ""));
    EXPECT_FALSE(store.addPreset("cam", std::string(CalibrationStore::kLongestName + 1, 'x')));
    EXPECT_TRUE(store.addPreset("cam", "10\u00d7"));
    EXPECT_EQ(store.currentPreset("cam"), "4\u00d7"); // the first added is in use
    EXPECT_FALSE(store.renamePreset("cam", "4\u00d7", "10\u00d7"));
    EXPECT_TRUE(store.renamePreset("cam", "4\u00d7", "5\u00d7"));
    EXPECT_EQ(store.currentPreset("cam"), "5\u00d7");
    EXPECT_TRUE(store.deletePreset("cam", "5\u00d7"));
    EXPECT_EQ(store.currentPreset("cam"), "10\u00d7");
    EXPECT_FALSE(store.deletePreset("cam", "5\u00d7"));
    EXPECT_EQ(store.presetNames("cam"), std::vector<std::string>{"10\u00d7"});
}

TEST(CalibrationStoreTest, ACalibrationReplacesTheOneOfTheSameSize)
{
    CalibrationStore store("/nonexistent/calibration.json");
    store.setCalibration("cam", "10x", Calibration{640, 480, 2.0});
    store.setCalibration("cam", "10x", Calibration{640, 480, 3.0});
    ASSERT_EQ(store.preset("cam", "10x")->sizes.size(), 1u);
    EXPECT_DOUBLE_EQ(store.lookup("cam", 640, 480)->micrometresPerPixel, 3.0);
    EXPECT_FALSE(store.setCalibration("cam", "10x", Calibration{640, 480, 0.0}));
}

class DamagedStoreTest : public ::testing::TestWithParam<const char *>
{
};

TEST_P(DamagedStoreTest, IsSetAsideAndTheStoreStartsEmpty)
{
    TempFolder folder;
    const std::string path = folder.write("calibration.json", GetParam());
    // An earlier damaged file is kept too.
    folder.write("calibration.json.damaged", "older");
    CalibrationStore store(path);
    EXPECT_EQ(store.load(), CalibrationStore::LoadResult::SetAside);
    EXPECT_EQ(store.setAsidePath(), path + ".damaged-2");
    EXPECT_EQ(varnolet::test::readFile(store.setAsidePath()), GetParam());
    EXPECT_EQ(varnolet::test::readFile(path + ".damaged"), "older");
    EXPECT_FALSE(varnolet::test::fileExists(path));
    EXPECT_TRUE(store.presetNames("cam").empty());
    // Saving afresh works and does not touch the set-aside file.
    ASSERT_TRUE(store.setCalibration("cam", "10x", Calibration{640, 480, 2.0}));
    EXPECT_EQ(store.save(), 0);
    EXPECT_EQ(CalibrationStore(path).load(), CalibrationStore::LoadResult::Loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedStoreTest,
    ::testing::Values(
        "", "{", "[]", "{\"format\":2,\"cameras\":{}}", "{\"format\":1}",
        "{\"format\":1,\"cameras\":{\"c\":[]}}",
        "{\"format\":1,\"cameras\":{\"c\":{\"presets\":[{\"name\":\"\",\"sizes\":[]}]}}}",
        "{\"format\":1,\"cameras\":{\"c\":{\"presets\":[{\"name\":\"a\",\"sizes\":[{"
        "\"width\":640,\"height\":480,\"micrometresPerPixel\":-1}]}]}}}",
        "{\"format\":1,\"cameras\":{\"c\":{\"presets\":[{\"name\":\"a\",\"sizes\":[{"
        "\"width\":64.5,\"height\":480,\"micrometresPerPixel\":1}]}]}}}",
        "{\"format\":1,\"cameras\":{\"c\":{\"presets\":[{\"name\":\"a\",\"sizes\":[{"
        "\"width\":640,\"height\":99999,\"micrometresPerPixel\":1}]}]}}}",
        "{\"format\":1,\"cameras\":{\"c\":{\"current\":\"b\",\"presets\":[{\"name\":\"a\","
        "\"sizes\":[]}]}}}",
        "{\"format\":1,\"cameras\":{\"c\":{\"presets\":[{\"name\":\"a\",\"sizes\":[]},"
        "{\"name\":\"a\",\"sizes\":[]}]}}}"));

TEST(CalibrationStoreTest, AnOversizedFileIsSetAside)
{
    TempFolder folder;
    const std::string path =
        folder.write("calibration.json", std::string(CalibrationStore::kLargestFile + 1, ' '));
    CalibrationStore store(path);
    EXPECT_EQ(store.load(), CalibrationStore::LoadResult::SetAside);
}
