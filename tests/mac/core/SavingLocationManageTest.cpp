#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "mac/core/SavingLocationManage.h"
#include "mac/core/SettingParams.h"
#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TestSupport.h"

using varnolet::FakeClock;
using varnolet::test::fileExists;
using varnolet::test::TempFolder;

namespace {

class SavingLocationManageTest : public ::testing::Test
{
protected:
    SavingLocationManageTest()
        : m_clock(std::make_shared<FakeClock>(2024, 3, 5))
        , manager(m_clock)
    {
        settings.setResourcesSavingLocation(root.path());
        manager.createLocationsOfAllResources(settings);
    }

    // Writes the file the answered path names, as a capture would.
    std::string take(std::optional<std::string> path)
    {
        EXPECT_TRUE(path.has_value());
        if (!path)
            return {};
        EXPECT_FALSE(fileExists(*path)) << *path;
        root.write(path->substr(root.path().size() + 1), "x");
        return path->substr(root.path().size() + std::string("/Varnolet/").size());
    }

    TempFolder root;
    std::shared_ptr<FakeClock> m_clock;
    SettingParams settings;
    SavingLocationManage manager;
};

} // namespace

TEST_F(SavingLocationManageTest, NamesAndDecoding)
{
    EXPECT_EQ(manager.getTodayString(), "20240305");
    EXPECT_EQ(SavingLocationManage::encodeFileName("Single Shots", "20240305", 0, 7),
              "S20240305_007.jpg");
    EXPECT_EQ(SavingLocationManage::encodeFileName("Timed Shots", "20240305", 2, 13),
              "T20240305_002_0013.jpg");
    EXPECT_EQ(SavingLocationManage::encodeFileName("Movies", "20240305", 0, 1234),
              "M20240305_1234.mov");
    EXPECT_FALSE(SavingLocationManage::encodeFileName("Other", "20240305", 0, 1).has_value());
    EXPECT_EQ(SavingLocationManage::decodeFileName("S20240305_007.jpg"),
              (std::vector<std::string>{"20240305", "007"}));
    EXPECT_EQ(SavingLocationManage::decodeFileName("T20240305_001_0002.jpg"),
              (std::vector<std::string>{"20240305", "001", "0002"}));
    EXPECT_TRUE(SavingLocationManage::decodeFileName("S").empty());
    EXPECT_EQ(SavingLocationManage::getNoString(5, 3), "005");
    EXPECT_EQ(SavingLocationManage::getNoString(12345, 4), "12345");
    EXPECT_FALSE(SavingLocationManage::getCurrentUserName().empty());
}

TEST_F(SavingLocationManageTest, FlatSingleShotsAndMovies)
{
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/S20240305_001.jpg");
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/S20240305_002.jpg");
    EXPECT_EQ(take(manager.getSavingMoviePath(settings)), "Movies/M20240305_001.mov");

    m_clock->setLocal(2024, 3, 6); // the newest photo is now yesterday's
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/S20240306_001.jpg");
    m_clock->setLocal(2024, 3, 4); // clock set back: the later date goes on
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/S20240306_002.jpg");
}

TEST_F(SavingLocationManageTest, FlatNamesNeverRepeatAnExistingFile)
{
    // Past 999 the names no longer sort as text; numbering still goes on.
    root.write("Varnolet/Single Shots/S20240305_998.jpg", "x");
    root.write("Varnolet/Single Shots/S20240305_1000.jpg", "x");
    root.write("Varnolet/Single Shots/S20240305_999.jpg", "x");
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/S20240305_1001.jpg");
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/S20240305_1002.jpg");

    // Foreign names sorting above the program's own do not restart the numbering.
    root.write("Varnolet/Movies/M20240305_004.mov", "x");
    root.write("Varnolet/Movies/zzz_notes.txt", "x");
    root.write("Varnolet/Movies/x.mov", "x");
    root.write("Varnolet/Movies/.DS_Store", "x");
    root.makeFolder("Varnolet/Movies/Mfolder_999.d");
    EXPECT_EQ(take(manager.getSavingMoviePath(settings)), "Movies/M20240305_005.mov");

    // A name in the way of the next number is stepped over.
    root.write("Varnolet/Single Shots/S20240305_1003.jpg", "x");
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/S20240305_1004.jpg");
}

TEST_F(SavingLocationManageTest, FlatTimedSeries)
{
    ASSERT_TRUE(manager.createNextSavingPhotosPath(settings));
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/T20240305_001_0001.jpg");
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/T20240305_001_0002.jpg");
    m_clock->setLocal(2024, 3, 6); // past midnight the series keeps its date
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/T20240305_001_0003.jpg");
    m_clock->setLocal(2024, 3, 5);
    ASSERT_TRUE(manager.createNextSavingPhotosPath(settings));
    EXPECT_EQ(manager.mPhotosFolderNo(), 2);
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/T20240305_002_0001.jpg");

    // A missing folder still starts a series; the save itself then fails elsewhere.
    SettingParams elsewhere;
    elsewhere.setResourcesSavingLocation(root.file("nothing"));
    EXPECT_TRUE(manager.createNextSavingPhotosPath(elsewhere));
    EXPECT_EQ(manager.mCurrentDateString(), "20240305");
    EXPECT_EQ(manager.mPhotosFolderNo(), 1);
}

TEST_F(SavingLocationManageTest, SubFoldersRunAcrossDaysAndRollOverAtAThousand)
{
    settings.setIsAutoCreatingResourcesFolder(true);
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/000/SingleShot0000.jpg");
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/000/SingleShot0001.jpg");
    root.write("Varnolet/Single Shots/000/SingleShot0999.jpg", "x");
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/001/SingleShot1000.jpg");
    m_clock->setLocal(2024, 3, 9);
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/001/SingleShot1001.jpg");
    EXPECT_EQ(take(manager.getSavingMoviePath(settings)), "Movies/000/Movie0000.mov");

    // All files of the highest folder deleted: numbering restarts in that folder.
    std::filesystem::remove(root.file("Varnolet/Single Shots/001/SingleShot1000.jpg"));
    std::filesystem::remove(root.file("Varnolet/Single Shots/001/SingleShot1001.jpg"));
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/001/SingleShot0000.jpg");
}

TEST_F(SavingLocationManageTest, StrayFolderAndWordsBeforeTheDot)
{
    settings.setIsAutoCreatingResourcesFolder(true);
    root.makeFolder("Varnolet/Single Shots/12");
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/012/SingleShot0000.jpg");
    // The word counts anywhere before the first "."; the value is what follows it.
    root.write("Varnolet/Single Shots/012/old-SingleShot0041.jpg", "x");
    root.write("Varnolet/Single Shots/012/a.SingleShot9000.jpg", "x");
    EXPECT_EQ(SavingLocationManage::getMaximumFileNo(root.file("Varnolet/Single Shots"), 12,
                                                     "SingleShot"),
              41);
    EXPECT_EQ(SavingLocationManage::getMaximumFolderNo(root.file("Varnolet/nothing")), -1);
    EXPECT_EQ(take(manager.getSavingPhotoPath(settings)), "Single Shots/012/SingleShot0042.jpg");
}

TEST_F(SavingLocationManageTest, SubFolderTimedSeries)
{
    settings.setIsAutoCreatingResourcesFolder(true);
    ASSERT_TRUE(manager.createNextSavingPhotosPath(settings));
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/000/TimeShot000-0000.jpg");
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/000/TimeShot000-0001.jpg");
    ASSERT_TRUE(manager.createNextSavingPhotosPath(settings));
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/001/TimeShot001-0000.jpg");
    // A foreign file in the way is stepped over, never overwritten.
    root.write("Varnolet/Timed Shots/001/TimeShot001-0001.jpg", "x");
    EXPECT_EQ(take(manager.getSavingPhotosPath(settings)), "Timed Shots/001/TimeShot001-0002.jpg");
}

TEST_F(SavingLocationManageTest, FolderFailuresAreLoggedAndGiveNoPath)
{
    ScopedLogCapture log;
    SettingParams broken;
    broken.setResourcesSavingLocation(root.file("missing/parent"));
    broken.setIsAutoCreatingResourcesFolder(true);
    manager.createLocationsOfAllResources(broken);
    const std::string rootPath = root.file("missing/parent") + "/Varnolet";
    ASSERT_EQ(log.lines().size(), 4u); // every step runs
    EXPECT_EQ(log.lines()[0], "create " + rootPath + " folder is error");
    EXPECT_EQ(log.lines()[3], "create " + rootPath + "/Movies folder is error");
    EXPECT_FALSE(manager.getSavingPhotoPath(broken).has_value());
    EXPECT_FALSE(manager.createNextSavingPhotosPath(broken));
    EXPECT_FALSE(manager.getSavingMoviePath(broken).has_value());
    EXPECT_TRUE(SavingLocationManage::createFolder(root.path())); // existing: true
}

TEST_F(SavingLocationManageTest, TrailingSlashDoublesTheSeparator)
{
    SettingParams slash;
    slash.setResourcesSavingLocation(root.path() + "/");
    manager.createLocationsOfAllResources(slash);
    const std::optional<std::string> path = manager.getSavingPhotoPath(slash);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, root.path() + "//Varnolet/Single Shots/S20240305_001.jpg");
}
