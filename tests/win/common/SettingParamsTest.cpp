#include "win/common/AppServices.h"
#include "win/common/CSettingParams.h"
#include "win/common/IniFile.h"
#include "win/common/OemInfo.h"

#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <cerrno>
#include <thread>

#include <gtest/gtest.h>

using varnolet::test::readFile;
using varnolet::test::TempFolder;

namespace {

const char *const kLimits =
    "[timedshotssetting]\nshots_unittype=1\ntimes_unittype=2\n"
    "minshots_perminute_taking=2\nmaxshots_perminute_taking=30\n"
    "defaultshots_perminute_taking=10\n"
    "minshots_perhour_taking=1\nmaxshots_perhour_taking=100\n"
    "defaultshots_perhour_taking=12\n"
    "mintimes_Day_taking=1\nmaxtimes_day_taking=7\ndefaulttimes_day_taking=3\n";

class SettingParamsTest : public ::testing::Test
{
protected:
    std::string writeConfig(const std::string &text) { return m_folder.write("config.ini", text); }

    TempFolder m_folder;
    const varnolet::SystemPaths m_paths{
        {.configHome = m_folder.file("cfg"), .documents = m_folder.file("Documents")}};
    AppServices m_services{m_paths};
    CSettingParams &m_store = m_services.Settings();
};

} // namespace

TEST_F(SettingParamsTest, MissingUsingSectionGivesBuiltInDefaultsNotFactoryValues)
{
    m_store.LoadSettingsFrom(writeConfig(std::string(kLimits) +
                                         "[defaultsetting]\nmovieresolution=0\nmoviesizemax=500\n"
                                         "resourcespath=/factory\nlanguage=3\n"
                                         "[oem]\ncompanyname=Maker\n"));
    const SettingValues factory = m_store.GetDefaultSettings();
    EXPECT_EQ(factory.movieResolution, 0);
    EXPECT_EQ(factory.movieSizeMax, 500);
    EXPECT_EQ(factory.resourcesRoot, "/factory/Varnolet");
    EXPECT_EQ(factory.language, 3);

    const SettingValues current = m_store.GetUsingSettings();
    EXPECT_EQ(current.movieResolution, 1);
    EXPECT_EQ(current.movieSizeMax, 16);
    EXPECT_EQ(current.language, -1);
    EXPECT_EQ(current.resourcesPath, m_folder.file("Documents"));
    EXPECT_EQ(current.resourcesRoot, m_folder.file("Documents") + "/Varnolet");
    EXPECT_EQ(current.timedShot.shotsUnit, 1);
    EXPECT_EQ(current.timedShot.timesUnit, 2);
    EXPECT_EQ(current.timedShot.shots[0], (TimedShotRange{2, 30, 10, 10}));
    // shots_pertime and times_takingtimedshots default to 1 and land in the selected ranges.
    EXPECT_EQ(current.timedShot.shots[1], (TimedShotRange{1, 100, 1, 12}));
    EXPECT_EQ(current.timedShot.times[2], (TimedShotRange{1, 7, 1, 3}));
    EXPECT_EQ(current.timedShot.times[0], (TimedShotRange{1, 300, 60, 60}));
    EXPECT_EQ(m_store.GetPreviousSettings(), current);
    EXPECT_EQ(m_store.GetOemInfo().companyName, "Maker");
    EXPECT_EQ(m_store.GetOemInfo().version, "3.1.00");
}

TEST_F(SettingParamsTest, UnitsAndValuesApplyOnlyWhenComplete)
{
    // One unit missing: both units come from [timedshotssetting]; values land in those ranges.
    m_store.LoadSettingsFrom(writeConfig(std::string(kLimits) +
                                         "[usingsetting]\ntimetype_takingshots_pretime=0\n"
                                         "shots_pertime=5\ntimes_takingtimedshots=2\n"));
    SettingValues v = m_store.GetUsingSettings();
    EXPECT_EQ(v.timedShot.shotsUnit, 1);
    EXPECT_EQ(v.timedShot.timesUnit, 2);
    EXPECT_EQ(v.timedShot.shots[1].current, 5);
    EXPECT_EQ(v.timedShot.shots[0].current, 10);
    EXPECT_EQ(v.timedShot.times[2].current, 2);

    // shots_pertime 0: neither value is applied.
    m_store.LoadSettingsFrom(writeConfig(std::string(kLimits) +
                                         "[usingsetting]\ntimetype_takingshots_pretime=0\n"
                                         "timetype_times_taking=0\nshots_pertime=0\n"
                                         "times_takingtimedshots=9\n"));
    v = m_store.GetUsingSettings();
    EXPECT_EQ(v.timedShot.shotsUnit, 0);
    EXPECT_EQ(v.timedShot.timesUnit, 0);
    EXPECT_EQ(v.timedShot.shots[0].current, 10);
    EXPECT_EQ(v.timedShot.times[0].current, 60);

    // A unit outside 0..2 selects no range: its value is dropped, and the unit is taken
    // as the factory's (minute), so Timed Shot works with valid values.
    m_store.LoadSettingsFrom(writeConfig("[usingsetting]\ntimetype_takingshots_pretime=7\n"
                                         "timetype_times_taking=1\nshots_pertime=5\n"
                                         "times_takingtimedshots=4\n"));
    v = m_store.GetUsingSettings();
    EXPECT_EQ(v.timedShot.shotsUnit, 0);
    EXPECT_EQ(v.timedShot.times[1].current, 4);
    EXPECT_TRUE(IsTimedShotSettingValid(v));
    EXPECT_EQ(ShotsPerDay(v), 60 * 1440);
}

TEST_F(SettingParamsTest, DefaultWordIsCaseSensitive)
{
    m_store.LoadSettingsFrom(writeConfig("[usingsetting]\nresourcespath=Default\n"
                                         "[defaultsetting]\nresourcespath=default\n"));
    EXPECT_EQ(m_store.GetUsingSettings().resourcesPath, "Default");
    EXPECT_EQ(m_store.GetDefaultSettings().resourcesPath, m_folder.file("Documents"));
}

TEST_F(SettingParamsTest, ApplyWritesUsingSectionAndRotatesRecords)
{
    const std::string path =
        writeConfig("; keep me\n[oem]\nversion=9\n[usingsetting]\nresourcespath=/old\n"
                    "language=2\n[defaultsetting]\nlanguage=4\n");
    m_store.LoadSettingsFrom(path);
    const SettingValues before = m_store.GetUsingSettings();
    SettingValues next = before;
    next.resourcesPath = m_folder.file("Documents");
    next.language = -1;
    next.captureWidth = 1280;
    next.timedShot.shotsUnit = 2;
    next.timedShot.shots[2].current = 12;
    m_store.ApplySettings(next);

    EXPECT_EQ(m_store.GetUsingSettings(), next);
    EXPECT_EQ(m_store.GetPreviousSettings(), before);
    const std::string text = readFile(path);
    EXPECT_NE(text.find("; keep me\n[oem]\nversion=9\n"), std::string::npos);
    EXPECT_NE(text.find("resourcespath=default\n"), std::string::npos);
    EXPECT_NE(text.find("language=-1\n"), std::string::npos);
    EXPECT_NE(text.find("[defaultsetting]\nlanguage=4\n"), std::string::npos);
    EXPECT_NE(text.find("timetype_takingshots_pretime=2\nshots_pertime=12\n"), std::string::npos);
    EXPECT_EQ(text.find("1280"), std::string::npos); // the capture size is never stored

    m_store.LoadSettingsFrom(path);
    const SettingValues reread = m_store.GetUsingSettings();
    EXPECT_EQ(reread.language, -1);
    EXPECT_EQ(reread.resourcesPath, m_folder.file("Documents"));
    EXPECT_EQ(reread.timedShot.shotsUnit, 2);
    EXPECT_EQ(reread.timedShot.shots[2].current, 12);
    EXPECT_EQ(reread.captureWidth, 640);
}

TEST_F(SettingParamsTest, DerivedValues)
{
    SettingValues v;
    v.timedShot.shotsUnit = TimeUnitHour;
    v.timedShot.shots[1].current = 3;
    v.timedShot.timesUnit = TimeUnitDay;
    v.timedShot.times[2].current = 2;
    EXPECT_EQ(ShotsPerDay(v), 72);
    EXPECT_EQ(TimedShotDurationMinutes(v), 2880);
    EXPECT_TRUE(IsTimedShotSettingValid(v));
    v.timedShot.shots[1].current = 0;
    EXPECT_EQ(ShotsPerDay(v), 1);
    v.timedShot.shots[1] = {10, 5, 7, 7}; // minimum above maximum: nothing is valid
    EXPECT_FALSE(IsTimedShotSettingValid(v));
    v.timedShot.shots[1] = {1, 300, 300, 60};
    EXPECT_TRUE(IsTimedShotSettingValid(v)); // bounds included
    v.timedShot.timesUnit = 3;
    EXPECT_EQ(TimedShotDurationMinutes(v), 1);
    EXPECT_FALSE(IsTimedShotSettingValid(v));
    // Large values from a file do not overflow.
    v.timedShot.shotsUnit = TimeUnitMinute;
    v.timedShot.shots[0].current = INT32_MAX;
    EXPECT_EQ(ShotsPerDay(v), int64_t(INT32_MAX) * 1440);

    v.movieResolution = 0;
    EXPECT_EQ(MovieFrameSize(v), (FrameSize{320, 240}));
    v.movieResolution = 1;
    EXPECT_EQ(MovieFrameSize(v), (FrameSize{640, 480}));
    v.movieResolution = 2;
    EXPECT_EQ(MovieFrameSize(v), (FrameSize{0, 0}));
}

TEST_F(SettingParamsTest, ReadersGetWholeRecordsWhileAnotherThreadApplies)
{
    const std::string path = writeConfig("[usingsetting]\nmoviesizemax=16\n");
    m_store.LoadSettingsFrom(path);
    std::atomic<bool> torn{false};
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) {
            const SettingValues v = m_store.GetUsingSettings();
            // Each applied record carries matching width and maximum size.
            if (v.captureWidth != 640 && v.captureWidth != v.movieSizeMax)
                torn = true;
        }
    });
    for (int i = 0; i < 20; ++i) {
        SettingValues v = m_store.GetUsingSettings();
        v.captureWidth = 1000 + i;
        v.movieSizeMax = 1000 + i;
        m_store.ApplySettings(v);
    }
    reader.join();
    EXPECT_FALSE(torn);
    EXPECT_EQ(m_store.GetUsingSettings().movieSizeMax, 1019);
    EXPECT_EQ(m_store.GetPreviousSettings().movieSizeMax, 1018);
    m_store.SetUsingCaptureSize(1600, 1200);
    EXPECT_EQ(m_store.GetUsingSettings().captureHeight, 1200);
    EXPECT_EQ(m_store.GetPreviousSettings().captureHeight, 480);
}

TEST_F(SettingParamsTest, PerUserFileLivesUnderTheConfigHome)
{
    EXPECT_EQ(PerUserConfigPath(m_paths), m_folder.file("cfg") + "/Microsofttmp/config.ini");
    m_folder.write("cfg/Microsofttmp/config.ini", "[usingsetting]\nlanguage=6\n");
    m_store.LoadSettings();
    EXPECT_EQ(m_store.GetUsingSettings().language, 6);
}

TEST_F(SettingParamsTest, AFileThatCannotBeWrittenIsReportedAndTheValuesStayInForce)
{
    // The settings file sits below a plain file: nothing can be written there.
    const std::string plain = m_folder.write("plain", "not a folder");
    m_store.LoadSettingsFrom(plain + "/config.ini");
    SettingValues values = m_store.GetUsingSettings();
    values.movieSizeMax = 20;
    const int error = m_store.ApplySettings(values);
    EXPECT_EQ(error, ENOTDIR);
    EXPECT_EQ(m_store.GetUsingSettings().movieSizeMax, 20) << "in force for this run";
    const varnolet::MessageRecorder messages; // the language file's box, if any
    EXPECT_EQ(m_services.SettingsWriteFailureText(error, messages.box()),
              "Save file " + plain + "/config.ini failureNot a directory");

    // A full disk: the old file is kept whole, the failure is told.
    const std::string path = writeConfig("[usingsetting]\nmoviesizemax=16\n");
    m_store.LoadSettingsFrom(path);
    values = m_store.GetUsingSettings();
    values.movieSizeMax = 20;
    {
        varnolet::test::ScopedFileSizeLimit full(0);
        EXPECT_EQ(m_store.ApplySettings(values), EFBIG);
    }
    EXPECT_EQ(m_store.GetUsingSettings().movieSizeMax, 20);
    EXPECT_EQ(readFile(path), "[usingsetting]\nmoviesizemax=16\n");
    EXPECT_EQ(m_store.ApplySettings(values), 0) << "with room again, the same values are written";
    EXPECT_NE(readFile(path).find("moviesizemax=20"), std::string::npos);
}

TEST_F(SettingParamsTest, ValuesOutOfRangeAreTakenAsTheFactoryValuesAndTheFileIsLeftAlone)
{
    const std::string factory =
        "[defaultsetting]\nmoviesizemax=64\nmovieresolution=0\nlanguage=3\n";
    for (const std::string bad :
         {"moviesizemax=0\n", "moviesizemax=-1\n", "moviesizemax=99999999999999999999\n",
          "moviesizemax=abc\n", "moviesizemax=4097\n"}) {
        const std::string text = factory + "[usingsetting]\n" + bad;
        const std::string path = writeConfig(text);
        m_store.LoadSettingsFrom(path);
        EXPECT_EQ(m_store.GetUsingSettings().movieSizeMax, 64) << bad;
        EXPECT_EQ(readFile(path), text) << "untouched until the user applies";
    }
    m_store.LoadSettingsFrom(writeConfig(
        factory + "[usingsetting]\nmovieresolution=5\nlanguage=12\nmoviesizemax=4096\n"));
    EXPECT_EQ(m_store.GetUsingSettings().movieResolution, 0);
    EXPECT_EQ(m_store.GetUsingSettings().language, 3);
    EXPECT_EQ(m_store.GetUsingSettings().movieSizeMax, 4096) << "the bounds are in range";

    // A broken factory record falls back to the built-in values.
    m_store.LoadSettingsFrom(writeConfig("[defaultsetting]\nmoviesizemax=1\nlanguage=-7\n"
                                         "[usingsetting]\nmoviesizemax=2\nlanguage=99\n"));
    EXPECT_EQ(m_store.GetDefaultSettings().movieSizeMax, 16);
    EXPECT_EQ(m_store.GetUsingSettings().movieSizeMax, 16);
    EXPECT_EQ(m_store.GetUsingSettings().language, -1);

    // Timed shots: a unit outside 0..2 and a value outside its limits.
    m_store.LoadSettingsFrom(
        writeConfig(std::string(kLimits) +
                    "[usingsetting]\ntimetype_takingshots_pretime=0\ntimetype_times_taking=2\n"
                    "shots_pertime=500\ntimes_takingtimedshots=3\n"));
    const SettingValues loaded = m_store.GetUsingSettings();
    EXPECT_TRUE(IsTimedShotSettingValid(loaded));
    EXPECT_EQ(loaded.timedShot.selectedShots()->current, 10) << "the per-minute default";
    EXPECT_EQ(loaded.timedShot.selectedTimes()->current, 3);
}
