#include "win/app/CPromptLine.h"

#include "tests/support/RecordingMessagePresenter.h"
#include "win/common/AppServices.h"

#include <gtest/gtest.h>

#include <QLabel>

using Button = CPromptLine::Button;

namespace {

CPromptLine::State previewing()
{
    CPromptLine::State s;
    s.cameraPresent = true;
    s.devicesListed = true;
    s.captureWidth = 640;
    s.captureHeight = 480;
    s.movieWidth = 320;
    s.movieHeight = 240;
    return s;
}

const QString kDot = QString(QChar(0x25CF));

class PromptLineTest : public ::testing::Test
{
protected:
    varnolet::MessageRecorder m_messages;
    AppServices m_services{varnolet::SystemPaths::fromEnvironment()};
    CPromptLine m_line{m_services, m_messages.box()};
};

} // namespace

TEST_F(PromptLineTest, HoverTextsFollowTheButtonAndTheState)
{
    CPromptLine::State s = previewing();
    EXPECT_EQ(m_line.HoverText(Button::TakePhoto, s), QStringLiteral("以分辨率640 X 480进行拍照"));
    EXPECT_EQ(m_line.HoverText(Button::TimedShot, s),
              QStringLiteral("以分辨率640 X 480进行定时摄像"));
    EXPECT_EQ(m_line.HoverText(Button::Recording, s), QStringLiteral("以分辨率320 X 240进行录像"));
    EXPECT_EQ(m_line.HoverText(Button::Settings, s), QStringLiteral("打开系统设置"));
    EXPECT_EQ(m_line.HoverText(Button::About, s), QStringLiteral("打开关于"));
    EXPECT_EQ(m_line.HoverText(Button::Exit, s), QStringLiteral("退出系统"));
    EXPECT_TRUE(m_line.HoverText(Button::None, s).isEmpty());

    s.timedSeries = true;
    s.recording = true;
    EXPECT_EQ(m_line.HoverText(Button::TimedShot, s), QStringLiteral("停止定时摄像"));
    EXPECT_EQ(m_line.HoverText(Button::Recording, s), QStringLiteral("停止录像"));
}

TEST_F(PromptLineTest, CaptureButtonsWithoutACameraShowTheNoCameraText)
{
    CPromptLine::State s;
    EXPECT_EQ(m_line.HoverText(Button::TakePhoto, s),
              QStringLiteral("Error,No Camera\tis Detected"));
    EXPECT_EQ(m_line.HoverText(Button::Recording, s),
              QStringLiteral("Error,No Camera\tis Detected"));
    s.devicesListed = true; // listed but not previewing
    EXPECT_EQ(m_line.HoverText(Button::TimedShot, s),
              QStringLiteral("Couldn't preview this device,because this device may been using by "
                             "other applicaiton"));
    // Settings does not need a camera.
    EXPECT_EQ(m_line.HoverText(Button::Settings, s), QStringLiteral("打开系统设置"));
}

TEST_F(PromptLineTest, TimedSeriesShowsTotalAndRemainingWholeMinutes)
{
    CPromptLine line{m_services, m_messages.box()};
    CPromptLine::State s = previewing();
    s.timedSeries = true;
    s.seriesTotalMinutes = 120;
    s.seriesStartMs = 1'000'000;
    s.nowMs = s.seriesStartMs;
    const QString head =
        QStringLiteral("正在以分辨率640 X 480进行定时摄像，定时时间  120 分钟，剩余时间 ");
    EXPECT_EQ(line.StatusText(s), head + QStringLiteral("120 分钟"));
    s.nowMs = s.seriesStartMs + 59'900;
    EXPECT_EQ(line.StatusText(s), head + QStringLiteral("120 分钟"));
    s.nowMs = s.seriesStartMs + 60'000;
    EXPECT_EQ(line.StatusText(s), head + QStringLiteral("119 分钟"));
    // The wall clock set back: never more than the total.
    s.nowMs = s.seriesStartMs - 600'000;
    EXPECT_EQ(line.StatusText(s), head + QStringLiteral("120 分钟"));
}

TEST_F(PromptLineTest, RecordingDotsCycleAndOtherStatusesResetThem)
{
    CPromptLine line{m_services, m_messages.box()};
    CPromptLine::State s = previewing();
    s.recording = true;
    const QString head = QStringLiteral("正在以分辨率320 X 240进行录像");
    EXPECT_EQ(line.StatusText(s), head);
    EXPECT_EQ(line.StatusText(s), head + kDot);
    EXPECT_EQ(line.StatusText(s), head + kDot + kDot);
    EXPECT_EQ(line.StatusText(s), head + kDot + kDot + kDot);
    EXPECT_EQ(line.StatusText(s), head);
    EXPECT_EQ(line.StatusText(s), head + kDot);

    s.recording = false;
    EXPECT_EQ(line.StatusText(s), QStringLiteral("系统正在以分辨率640 X 480进行预览"));
    EXPECT_EQ(line.DotCounter(), 0);
    s.recording = true;
    EXPECT_EQ(line.StatusText(s), head);
}

TEST_F(PromptLineTest, StatusPrecedenceAndNoCamera)
{
    CPromptLine line{m_services, m_messages.box()};
    CPromptLine::State s = previewing();
    s.photoPending = true;
    s.timedSeries = true;
    EXPECT_EQ(line.StatusText(s), QStringLiteral("正在以分辨率640 X 480进行拍照"));
    EXPECT_EQ(line.StatusText(CPromptLine::State{}),
              QStringLiteral("Error,No Camera\tis Detected"));
}

TEST_F(PromptLineTest, HoverWinsOverStatusAndAMoveOffTheButtonsKeepsTheText)
{
    CPromptLine line{m_services, m_messages.box()};
    CPromptLine::State s = previewing();
    s.recording = true;
    QLabel label;
    // Pointer resting on Settings while recording: the Settings text, tick after tick.
    EXPECT_TRUE(CPromptLine::Show(&label, line.Update(Button::Settings, false, s)));
    EXPECT_FALSE(CPromptLine::Show(&label, line.Update(Button::Settings, false, s)));
    EXPECT_EQ(label.text(), QStringLiteral("打开系统设置"));
    // Moving off the buttons keeps the text until the next tick.
    EXPECT_TRUE(line.Update(Button::None, true, s).isNull());
    EXPECT_FALSE(CPromptLine::Show(&label, line.Update(Button::None, true, s)));
    EXPECT_EQ(label.text(), QStringLiteral("打开系统设置"));
    EXPECT_TRUE(CPromptLine::Show(&label, line.Update(Button::None, false, s)));
    EXPECT_EQ(label.text(), QStringLiteral("正在以分辨率320 X 240进行录像"));
}

TEST_F(PromptLineTest, NoticeTakesTheIdleStatusUntilItsTimeIsOver)
{
    CPromptLine line{m_services, m_messages.box()};
    CPromptLine::State s = previewing();
    s.nowMs = 1000;
    line.Announce(line.RepairedMoviesText({QStringLiteral("M20261209_0001.avi")}), 31000);
    const QString notice = QStringLiteral("未完成的录像 M20261209_0001.avi 已修复，可以播放");
    EXPECT_EQ(line.StatusText(s), notice);
    // Work in progress and the buttons' hints still come first.
    s.recording = true;
    EXPECT_EQ(line.StatusText(s), QStringLiteral("正在以分辨率320 X 240进行录像"));
    s.recording = false;
    EXPECT_EQ(line.Update(Button::Exit, false, s), QStringLiteral("退出系统"));
    EXPECT_EQ(line.Update(Button::None, false, s), notice);
    s.nowMs = 31000;
    EXPECT_EQ(line.StatusText(s), QStringLiteral("系统正在以分辨率640 X 480进行预览"));

    EXPECT_EQ(line.RepairedMoviesText({QStringLiteral("a.avi"), QStringLiteral("b.avi")}),
              QStringLiteral("2 个未完成的录像已修复，可以播放"));
    EXPECT_TRUE(line.RepairedMoviesText({}).isEmpty());
}
