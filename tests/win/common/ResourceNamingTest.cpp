#include "win/common/AppServices.h"
#include "win/common/CSettingParams.h"
#include "win/common/ResourceNaming.h"
#include "win/common/TextFormat.h"

#include "tests/support/FakeClock.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include <filesystem>

#include <gtest/gtest.h>

using varnolet::FakeClock;
using varnolet::MessageRecorder;
using varnolet::test::fileExists;
using varnolet::test::TempFolder;

namespace {

class ResourceNamingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_services.Settings().LoadSettingsFrom(m_folder.file("config.ini"));
        usePerDayFolders(false);
    }
    void usePerDayFolders(bool perDay)
    {
        SettingValues v = m_services.Settings().GetUsingSettings();
        SetSavingLocation(v, m_folder.path());
        v.autoCreatingFolder = perDay ? 1 : 0;
        v.language = 0; // English, whatever the locale of the test run
        m_services.Settings().ApplySettings(v);
        EnsureResourceFolders(v, m_messages.box());
    }
    // Makes the file a name stands for, as the saving Parts would.
    std::string take(const std::string &path)
    {
        if (!path.empty())
            m_folder.write(path.substr(m_folder.path().size() + 1), "");
        return path;
    }
    std::string shots() const { return m_folder.file("Varnolet/Single Shots"); }
    std::string timed() const { return m_folder.file("Varnolet/Timed Shots"); }

    // The scheme photos and movies are named by.
    SettingValues settings() const { return m_services.Settings().GetUsingSettings(); }

    TempFolder m_folder;
    AppServices m_services{
        varnolet::SystemPaths({.documents = m_folder.file("Documents"),
                               .program = m_folder.path() + "/"})}; // no language files
    MessageRecorder m_messages; // the naming functions' message box
    std::shared_ptr<FakeClock> m_clock = std::make_shared<FakeClock>(2024, 3, 5);
};

} // namespace

TEST(ResourceNamingHelpers, PadNumberAndStamp)
{
    EXPECT_EQ(PadNumber(7, 3), "007");
    EXPECT_EQ(PadNumber(42, 4), "0042");
    EXPECT_EQ(PadNumber(1000, 3), "1000");
    EXPECT_EQ(PadNumber(12345, 4), "12345");
    EXPECT_EQ(TodayStamp(FakeClock(2024, 3, 5, 23, 59, 59)), "20240305");
}

TEST(ResourceNamingHelpers, FormatTextNeverReadsMissingArguments)
{
    EXPECT_EQ(FormatText("Save file %s failure", {"/a/b.jpg"}), "Save file /a/b.jpg failure");
    EXPECT_EQ(FormatText("%s: %d of %d min, 100%%", {"640X480", "5"}), "640X480: 5 of  min, 100%");
    EXPECT_EQ(FormatText("%x %s %", {"a", "b"}), "%x a %");
}

TEST(ResourceNamingHelpers, ParseFlatName)
{
    const auto photo = ParseFlatName("S20240305_0007.jpg", ResourceKindSingleShot);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->date, "20240305");
    EXPECT_EQ(photo->number, 7);
    EXPECT_FALSE(ParseFlatName("S20240305_0010 copy.jpg", ResourceKindSingleShot));
    EXPECT_FALSE(ParseFlatName("S2024x305_0010.jpg", ResourceKindSingleShot));
    EXPECT_FALSE(ParseFlatName("S20240305.jpg", ResourceKindSingleShot));
    EXPECT_FALSE(ParseFlatName("S20240305_.jpg", ResourceKindSingleShot)); // "." first: not cut
    const auto bare = ParseFlatName("_", ResourceKindMovie);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->date, "");
    EXPECT_EQ(bare->number, 0);
    const auto shot = ParseFlatName("T20240305_012_0034.jpg", ResourceKindTimedShot);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->series, 12);
    EXPECT_EQ(shot->number, 34);
    EXPECT_FALSE(ParseFlatName("T20240305_0034.jpg", ResourceKindTimedShot));
    EXPECT_FALSE(ParseFlatName("T20240305_01a_0034.jpg", ResourceKindTimedShot));
    const auto huge = ParseFlatName("S1_99999999999999999999999999.jpg", ResourceKindSingleShot);
    ASSERT_TRUE(huge);
    EXPECT_GT(huge->number, int64_t(1) << 59);
    const auto wide = ParseFlatName("T2244_000000000009291144523959646282_", ResourceKindTimedShot);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->series, huge->number); // both saturate at the same limit
    EXPECT_EQ(wide->number, 0);
}

TEST(ResourceNamingHelpers, SavingLocationAndRoot)
{
    SettingValues v;
    SetSavingLocation(v, "/data/pictures//");
    EXPECT_EQ(v.resourcesPath, "/data/pictures");
    EXPECT_EQ(v.resourcesRoot, "/data/pictures/Varnolet");
    EXPECT_EQ(MoviesFolder(v), "/data/pictures/Varnolet/Movies");
    SetSavingLocation(v, "/data/pictures/Varnolet");
    EXPECT_EQ(v.resourcesRoot, "/data/pictures/Varnolet");
    SetSavingLocation(v, "/");
    EXPECT_EQ(v.resourcesPath, "/");
    EXPECT_EQ(v.resourcesRoot, "/Varnolet");
}

TEST_F(ResourceNamingTest, FlatPhotosFollowTheNewestFile)
{
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              shots() + "/S20240305_0001.jpg");
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              shots() + "/S20240305_0002.jpg");
    // A hand-made copy does not parse; the numbering goes on from 0002.
    m_folder.write("Varnolet/Single Shots/S20240305_0010 copy.jpg", "");
    EXPECT_EQ(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box()),
              shots() + "/S20240305_0003.jpg");
    // Next day: back to 0001.
    m_clock->setLocal(2024, 3, 6);
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              shots() + "/S20240306_0001.jpg");
    // Clock set back: the later date continues.
    m_clock->setLocal(2024, 3, 1);
    EXPECT_EQ(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box()),
              shots() + "/S20240306_0002.jpg");
    EXPECT_EQ(
        NextMoviePath(m_folder.file("Varnolet/Movies"), settings(), *m_clock, m_messages.box()),
        m_folder.file("Varnolet/Movies/M20240301_0001.avi"));
}

TEST_F(ResourceNamingTest, FlatNumbersGoOnPast9999AndNeverReuseAName)
{
    m_folder.write("Varnolet/Single Shots/S20240305_9999.jpg", "");
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              shots() + "/S20240305_10000.jpg");
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              shots() + "/S20240305_10001.jpg");
    // A folder is not counted by the listing, yet its name is taken.
    m_folder.makeFolder("Varnolet/Single Shots/S20240305_10002.jpg");
    EXPECT_EQ(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box()),
              shots() + "/S20240305_10003.jpg");
    EXPECT_EQ(NextSingleShotPath("", settings(), *m_clock, m_messages.box()), "");
}

TEST_F(ResourceNamingTest, FlatTimedSeries)
{
    TimedSeries series;
    ASSERT_TRUE(StartTimedSeries(timed(), settings(), series, *m_clock, m_messages.box()));
    EXPECT_EQ(take(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box())),
              timed() + "/T20240305_001_0001.jpg");
    EXPECT_EQ(take(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box())),
              timed() + "/T20240305_001_0002.jpg");
    ASSERT_TRUE(StartTimedSeries(timed(), settings(), series, *m_clock, m_messages.box()));
    EXPECT_EQ(take(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box())),
              timed() + "/T20240305_002_0001.jpg");
    // Past series 999 a new series is still new.
    m_folder.write("Varnolet/Timed Shots/T20240305_999_0001.jpg", "");
    ASSERT_TRUE(StartTimedSeries(timed(), settings(), series, *m_clock, m_messages.box()));
    EXPECT_EQ(take(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box())),
              timed() + "/T20240305_1000_0001.jpg");
    ASSERT_TRUE(StartTimedSeries(timed(), settings(), series, *m_clock, m_messages.box()));
    EXPECT_EQ(series.seriesNumber, 1001);
    // A shot name already on disk is skipped.
    m_folder.write("Varnolet/Timed Shots/T20240305_1001_0001.jpg", "");
    series.shotNumber = 1;
    series.seriesNumber = 1001;
    EXPECT_EQ(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box()),
              timed() + "/T20240305_1001_0002.jpg");
    EXPECT_EQ(series.shotNumber, 3);
    EXPECT_FALSE(StartTimedSeries("", settings(), series, *m_clock, m_messages.box()));
}

TEST_F(ResourceNamingTest, PerDayPhotosFillNumberedFolders)
{
    usePerDayFolders(true);
    const std::string day = shots() + "/20240305";
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              day + "/000/SingleShot0000.jpg");
    m_folder.write("Varnolet/Single Shots/20240305/000/SingleShot0999.jpg", "");
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              day + "/001/SingleShot1000.jpg");
    EXPECT_EQ(take(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box())),
              day + "/001/SingleShot1001.jpg");
    // All files of the highest folder deleted: 0000 in that same folder.
    std::filesystem::remove(day + "/001/SingleShot1000.jpg");
    std::filesystem::remove(day + "/001/SingleShot1001.jpg");
    EXPECT_EQ(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box()),
              day + "/001/SingleShot0000.jpg");
    // Numbers grow wider instead of stopping at four digits.
    m_folder.write("Varnolet/Single Shots/20240305/009/SingleShot9999.jpg", "");
    EXPECT_EQ(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box()),
              day + "/010/SingleShot10000.jpg");
    EXPECT_TRUE(std::filesystem::is_directory(day + "/010"));
    const std::string movies = m_folder.file("Varnolet/Movies");
    EXPECT_EQ(NextMoviePath(movies, settings(), *m_clock, m_messages.box()),
              movies + "/20240305/000/Movie0000.avi");
}

TEST_F(ResourceNamingTest, PerDayTimedSeriesAndMidnight)
{
    usePerDayFolders(true);
    TimedSeries series;
    ASSERT_TRUE(StartTimedSeries(timed(), settings(), series, *m_clock, m_messages.box()));
    EXPECT_EQ(take(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box())),
              timed() + "/20240305/000/TimeShot000-0000.jpg");
    ASSERT_TRUE(StartTimedSeries(timed(), settings(), series, *m_clock, m_messages.box()));
    EXPECT_EQ(take(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box())),
              timed() + "/20240305/001/TimeShot001-0000.jpg");
    // The series carries on past midnight under the new day, whose folder is created.
    m_clock->setLocal(2024, 3, 6, 0, 0, 30);
    EXPECT_EQ(take(NextTimedShotPath(timed(), settings(), series, *m_clock, m_messages.box())),
              timed() + "/20240306/001/TimeShot001-0001.jpg");
}

TEST_F(ResourceNamingTest, FolderFailuresShowPathAndSystemText)
{
    EXPECT_FALSE(EnsureFolder(m_folder.file("none/child"), m_messages.box()));
    ASSERT_EQ(m_messages->count(), 1u);
    EXPECT_EQ(m_messages->texts().front(),
              m_folder.file("none/child") + "No such file or directory");
    EXPECT_EQ(m_messages->messages().front().caption, "Varnolet");

    // A plain file where the per-day folder should be counts as existing.
    usePerDayFolders(true);
    m_folder.write("Varnolet/Single Shots/20240305", "");
    m_messages->clear();
    EXPECT_EQ(NextSingleShotPath(shots(), settings(), *m_clock, m_messages.box()), "");
    EXPECT_EQ(m_messages->count(), 1u); // the numbered folder below a file cannot be made
}

TEST_F(ResourceNamingTest, CheckSavingLocation)
{
    std::filesystem::remove_all(m_folder.file("Varnolet"));
    EXPECT_TRUE(CheckSavingLocation(settings(), m_services.Languages(), m_messages.box()));
    EXPECT_TRUE(std::filesystem::is_directory(m_folder.file("Varnolet/Movies")));
    EXPECT_TRUE(std::filesystem::is_directory(timed()));

    SettingValues v = m_services.Settings().GetUsingSettings();
    SetSavingLocation(v, m_folder.file("gone"));
    m_services.Settings().ApplySettings(v);
    EXPECT_FALSE(CheckSavingLocation(settings(), m_services.Languages(), m_messages.box()));
    // Without language files the lookup reports the missing file, then the built-in text.
    EXPECT_EQ(m_messages->texts(),
              (std::vector<std::string>{
                  "Fail to open " + m_folder.file("Resource/English.lproj/Localizable.strings"),
                  "Don't exist location of  " + m_folder.file("gone") +
                      "/Varnolet/Movies in setting,please setting"}));
    EXPECT_FALSE(fileExists(m_folder.file("gone")));
}
