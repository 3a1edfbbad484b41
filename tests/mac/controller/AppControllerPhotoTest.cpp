#include "tests/mac/controller/AppControllerFixture.h"

#include <filesystem>
#include <thread>

#include <QDir>

#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"

using namespace std::chrono_literals;
using Control = AppController::Control;
using mactest::AppControllerTest;

namespace {

// A controller that believes a camera is open; the test feeds the frames itself.
class TimedShotTest : public AppControllerTest
{
protected:
    AppController &makeWithoutCamera()
    {
        AppController &controller = make(false);
        controller.setLocationID(0x01100000);
        return controller;
    }

    void setShots(int perUnit, int unit, int times, int timesUnit)
    {
        SettingParams &settings = m_controller->usingSettingParam();
        settings.setMTimeTypeOfShotsForTimedShot(unit);
        settings.currentShotsTimedShotSetting().nMinValueForTimedShot = 0;
        settings.currentShotsTimedShotSetting().nCurrentValueForTimedShot = perUnit;
        settings.setMTimeTypeOfTimesForTimedShot(timesUnit);
        settings.currentTimesTimedShotSetting().nCurrentValueForTimedShot = times;
    }

    void frame(int seed = 0) { m_controller->captureOutput(mactest::makeFrame(64, 48, seed)); }
};

} // namespace

TEST_F(TimedShotTest, IntervalIsADayDividedByThePhotosPerDay)
{
    AppController &controller = makeWithoutCamera();
    struct Case
    {
        int value, unit;
        int32_t interval;
    };
    for (const Case &c : {Case{60, 0, 1000}, Case{7, 0, 8571}, Case{1, 2, 86400000},
                          Case{0, 0, 86400000}, Case{3, 1, 1200000}}) {
        setShots(c.value, c.unit, 1, 0);
        controller.takePhotosByTimes();
        ASSERT_TRUE(controller.bTakePhotoEachTime()) << c.value;
        EXPECT_EQ(controller.milliSecondsToTakingPhoto(), c.interval) << c.value << "/" << c.unit;
        controller.takePhotosByTimes(); // the button again ends the run
        EXPECT_FALSE(controller.bTakePhotoEachTime());
    }
    EXPECT_TRUE(m_messages->texts().empty());
}

TEST_F(TimedShotTest, OnePhotoPerMinuteForOneMinuteSavesTwoAndEndsByItself)
{
    AppController &controller = makeWithoutCamera();
    setShots(1, 0, 1, 0);
    int tooltipChanges = 0;
    QObject::connect(&controller, &AppController::toolTipsChanged, [&] { ++tooltipChanges; });
    controller.takePhotosByTimes();
    ASSERT_TRUE(controller.bTakePhotoEachTime());
    EXPECT_EQ(controller.toolTip(Control::TimedShot), "Stop Timed Shot");
    // Only the timed-shot button stays usable during the run.
    EXPECT_TRUE(controller.isEnabled(Control::TimedShot));
    for (Control c : {Control::TakePhoto, Control::Recording, Control::Settings, Control::About,
                      Control::ResolutionList})
        EXPECT_FALSE(controller.isEnabled(c));

    frame(1); // the first frame after the start: shot 1
    EXPECT_EQ(photos().size(), 1u);
    m_clock->advance(30s);
    frame(2);
    EXPECT_EQ(photos().size(), 1u);
    m_clock->advance(30s);
    frame(3); // exactly one interval: not yet (strict comparison)
    EXPECT_EQ(photos().size(), 1u);
    EXPECT_TRUE(controller.bTakePhotoEachTime());
    m_clock->advance(1ms);
    frame(4); // shot 2, and the run is over
    EXPECT_EQ(photos().size(), 2u);
    EXPECT_FALSE(controller.bTakePhotoEachTime());
    EXPECT_EQ(controller.toolTip(Control::TimedShot), "Start Timed Shot");
    EXPECT_TRUE(controller.isEnabled(Control::TakePhoto));
    EXPECT_GE(tooltipChanges, 2);
    m_clock->advance(2min);
    frame(5);
    EXPECT_EQ(photos().size(), 2u);
    // Both in the series folder, both announced.
    EXPECT_EQ(m_tree.added(), photos());
    for (const std::string &path : photos())
        EXPECT_NE(path.find("/Timed Shots/"), std::string::npos) << path;
}

TEST_F(TimedShotTest, FramesSlowerThanTheIntervalGiveOnePhotoEachAndMissedTimesAreDropped)
{
    AppController &controller = makeWithoutCamera();
    setShots(60, 0, 10, 0); // every second for ten minutes
    controller.takePhotosByTimes();
    for (int i = 0; i < 5; ++i) {
        frame(i);
        m_clock->advance(3500ms);
    }
    EXPECT_EQ(photos().size(), 5u);
    EXPECT_EQ(controller.mCurrentTimedShotCount(), 5);
    // The schedule stays anchored to the start: while the count is behind it, every frame
    // (one shot each) is due, until it has caught up.
    frame(6);
    frame(7);
    EXPECT_EQ(photos().size(), 7u);
    setShots(1, 0, 10, 0); // a run of one a minute: a burst gives nothing
    controller.takePhotosByTimes();
    controller.takePhotosByTimes();
    frame(8);
    frame(9);
    frame(10);
    EXPECT_EQ(photos().size(), 8u);
}

TEST_F(TimedShotTest, RunLastingDaysKeepsItsScheduleWithoutOverflow)
{
    AppController &controller = makeWithoutCamera();
    setShots(300, 0, 300, 2); // 300 a minute (200 ms) for 300 days
    controller.takePhotosByTimes();
    ASSERT_EQ(controller.milliSecondsToTakingPhoto(), 200);
    frame();
    // 200 days later: the schedule product (200 ms × shots) is far past 32 bits of ms.
    m_clock->advance(std::chrono::hours(24 * 200));
    frame();
    EXPECT_TRUE(controller.bTakePhotoEachTime());
    EXPECT_EQ(photos().size(), 2u);
    m_clock->advance(std::chrono::hours(24 * 101));
    frame();
    EXPECT_FALSE(controller.bTakePhotoEachTime());
}

TEST_F(TimedShotTest, StoppedByTheButtonWritesNothingMore)
{
    AppController &controller = makeWithoutCamera();
    setShots(60, 0, 60, 0);
    controller.takePhotosByTimes();
    frame();
    ASSERT_EQ(photos().size(), 1u);
    controller.takePhotosByTimes();
    EXPECT_FALSE(controller.bTakePhotoEachTime());
    m_clock->advance(5s);
    frame();
    EXPECT_EQ(photos().size(), 1u);
}

TEST_F(TimedShotTest, InvalidValuesAndAMissingFolderStartNothing)
{
    AppController &controller = makeWithoutCamera();
    setShots(301, 0, 1, 0); // above the range's maximum
    ScopedLogCapture log;
    controller.takePhotosByTimes();
    EXPECT_FALSE(controller.bTakePhotoEachTime());
    EXPECT_EQ(m_messages->texts(),
              std::vector<std::string>{"Error of time setting to take timed shot"});
    EXPECT_NE(std::find(log.lines().begin(), log.lines().end(), "time set error"),
              log.lines().end());
    EXPECT_TRUE(controller.isEnabled(Control::TakePhoto));

    setShots(1, 0, 1, 0);
    controller.setTimedShotSettingCheck([] { return false; }); // the panel's fields say no
    controller.takePhotosByTimes();
    EXPECT_FALSE(controller.bTakePhotoEachTime());
    EXPECT_EQ(m_messages->count(), 2u);
}

TEST_F(TimedShotTest, FailedShotEndsTheRunWithAWarningAndKeepsEarlierPhotos)
{
    AppController &controller = makeWithoutCamera();
    setShots(60, 0, 60, 0);
    controller.takePhotosByTimes();
    frame();
    ASSERT_EQ(photos().size(), 1u);
    // The series folder vanishes and cannot be made again.
    const std::string series = photos().front().substr(0, photos().front().rfind('/'));
    QDir(QString::fromStdString(root() + "/Timed Shots")).removeRecursively();
    QFile blocker(QString::fromStdString(root() + "/Timed Shots"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder was
    blocker.close();
    m_clock->advance(1500ms);
    frame();
    EXPECT_FALSE(controller.bTakePhotoEachTime());
    ASSERT_EQ(m_messages->count(), 1u);
    const std::string text = m_messages->texts().front();
    EXPECT_TRUE(text == "Failure to create save timed shot path" ||
                text.rfind("Failure to save image data to file ", 0) == 0)
        << text;
}

TEST_F(TimedShotTest, TakePhotoAfterTheSavingFolderWasRemovedWarnsWithItsPath)
{
    AppController &controller = makeWithoutCamera();
    const std::string location = m_folder.path() + "/gone";
    QDir().mkpath(QString::fromStdString(location));
    controller.usingSettingParam().setResourcesSavingLocation(location);
    QDir(QString::fromStdString(location)).removeRecursively();
    controller.takePhotos();
    controller.takePhotosByTimes();
    controller.takeVideoRecording();
    const std::string expected = "Don't location " + location + " existed in setting";
    EXPECT_EQ(m_messages->texts(), (std::vector<std::string>{expected, expected, expected}));
    EXPECT_FALSE(controller.isDoRecordingOrTakingJob());
    frame();
    EXPECT_TRUE(photos().empty());
}

TEST_F(TimedShotTest, OnePressGivesOnePhotoAndTheSnapshotButtonWorksInEveryState)
{
    AppController &controller = makeWithoutCamera();
    controller.takePhotos();
    EXPECT_TRUE(controller.bTakePhoto());
    EXPECT_FALSE(controller.isEnabled(Control::TakePhoto));
    EXPECT_TRUE(controller.isDoRecordingOrTakingJob());
    controller.doTimerByMainViewer();
    EXPECT_EQ(controller.promptText(), "正在以分辨率640X480进行拍照");
    frame();
    EXPECT_FALSE(controller.bTakePhoto());
    EXPECT_TRUE(controller.isEnabled(Control::TakePhoto));
    frame();
    ASSERT_EQ(photos().size(), 1u);
    EXPECT_NE(photos()[0].find("/Single Shots/"), std::string::npos);

    // The snapshot button: one photo from the next frame, no button changes.
    controller.setMIsHandwareTrigger(true);
    EXPECT_FALSE(controller.isDoRecordingOrTakingJob());
    frame();
    frame();
    EXPECT_EQ(photos().size(), 2u);
    // With "Take a Photo" pending too, the same frame gives two files.
    controller.takePhotos();
    controller.setMIsHandwareTrigger(true);
    frame();
    EXPECT_EQ(photos().size(), 4u);
    // During a timed-shot run.
    setShots(1, 2, 1, 2);
    controller.takePhotosByTimes();
    frame(); // the run's first shot
    controller.setMIsHandwareTrigger(true);
    frame();
    EXPECT_EQ(photos().size(), 6u);
    EXPECT_TRUE(controller.bTakePhotoEachTime());
    EXPECT_EQ(m_tree.added().size(), 6u);
}

TEST_F(TimedShotTest, PhotosAreNamedByTheClockPassedIn)
{
    struct Row
    {
        int year, month, day;
        const char *name;
    };
    const Row rows[] = {{2024, 3, 5, "Single Shots/S20240305_001.jpg"},
                        {2025, 12, 31, "Single Shots/S20251231_001.jpg"},
                        {2031, 1, 1, "Single Shots/S20310101_001.jpg"}};
    AppController &controller = makeWithoutCamera();
    size_t taken = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        m_clock->setLocal(row.year, row.month, row.day);
        controller.takePhotos();
        frame();
        frame();
        ASSERT_EQ(photos().size(), ++taken);
        EXPECT_EQ(m_tree.added().back(), root() + "/" + row.name);
    }
}

TEST_F(TimedShotTest, TimedShotPromptCountsTheMinutesLeft)
{
    AppController &controller = makeWithoutCamera();
    setShots(1, 0, 1, 1); // one a minute for one hour
    controller.takePhotosByTimes();
    m_clock->advance(5min + 10s);
    controller.doTimerByMainViewer();
    EXPECT_EQ(controller.promptText(),
              "正在以分辨率640X480进行定时摄像，定时时间 60 分钟，剩余时间 55 分钟");
    EXPECT_TRUE(controller.doMouseMovedOverControl(Control::TimedShot));
    EXPECT_EQ(controller.promptText(), "停止定时摄像");
    EXPECT_FALSE(controller.doMouseMovedOverControl(std::nullopt));
    EXPECT_EQ(controller.promptText(), "停止定时摄像");
}

TEST_F(AppControllerTest, PhotoFromTheVirtualCameraIsAFullSizeJpeg)
{
    plug("Camera", 0x01100000);
    AppController &controller = make();
    ASSERT_TRUE(waitFrames(1));
    controller.takePhotos();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !controller.bTakePhoto(); }));
    ASSERT_TRUE(waitFrames(3));
    ASSERT_EQ(photos().size(), 1u); // one press, exactly one photo
    EXPECT_EQ(m_tree.added(), photos());
    QImage image(QString::fromStdString(photos()[0]));
    EXPECT_EQ(image.size(), QSize(640, 480));
}

TEST_F(AppControllerTest, SavingLocationWhoseNameIsNoUtf8KeepsItsBytes)
{
    // "café" in Latin-1: the byte 0xE9 alone is no UTF-8.
    const std::string location = m_folder.path() + "/caf\xE9";
    ASSERT_TRUE(std::filesystem::create_directory(location));
    m_folder.write("preferences.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                        "<key>resourcespath</key><string>" +
                                            location + "</string></dict></plist>");
    m_locationFromStore = true;
    plug("Camera", 0x01100000);
    AppController &controller = make();
    EXPECT_EQ(controller.usingSettingParam().resourcesSavingLocation(), location);
    ASSERT_TRUE(waitFrames(1));
    controller.takePhotos();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !controller.bTakePhoto(); }));

    std::vector<std::string> saved;
    for (const auto &entry :
         std::filesystem::recursive_directory_iterator(location + "/Varnolet/Single Shots"))
        if (entry.path().extension() == ".jpg")
            saved.push_back(entry.path().string());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(m_tree.added(), saved);
    EXPECT_TRUE(m_messages->texts().empty());
}
