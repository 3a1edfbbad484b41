// Pictures of the main window and the about box in their main states, saved under
// $VARNOLET_SCREENSHOT_DIR (default /tmp/varnolet-screenshots) for the documentation.
// Each picture is checked for what a reader relies on: the live picture is painted, the
// prompt line is not cut off, the buttons show their pictures.
#include "MainViewerTestSupport.h"

#include "win/app/CAboutDlg.h"
#include "win/app/CMainViewerDlg.h"
#include "win/app/CPictureArea.h"
#include "win/app/CPictureBox.h"
#include "win/app/CPictureMeasure.h"
#include "win/app/CPreviewWindow.h"
#include "win/app/CXPStyleButtonST.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QLabel>

#include "platform/widgets/MeasureController.h"
#include "platform/widgets/MeasureOverlay.h"
#include "win/common/AppServices.h"

using namespace std::chrono_literals;
using apptest::MainViewerFixture;
using varnolet::test::processEventsFor;
using varnolet::test::processEventsUntil;

namespace {

// The program folder of the build tree with its shipped pictures and language files, when
// the test runs from it; empty otherwise (the test program's own folder is used).
std::string shippedProgramFolder()
{
    const char *runtime = std::getenv("VARNOLET_RUNTIME_DIR");
    if (runtime && QFileInfo::exists(QString::fromLocal8Bit(runtime) + "/Resource/Image/Exit.png"))
        return std::string(runtime) + "/";
    return {};
}

bool promptFits(const CMainViewerDlg &window)
{
    const QLabel *prompt = window.PromptLabel();
    return prompt->fontMetrics().horizontalAdvance(prompt->text()) <= prompt->width();
}

// The live picture shows the virtual camera's top-left marker (red) and is not black.
bool livePicturePainted(const QImage &shot, const CMainViewerDlg &window)
{
    const CPictureArea *area = window.PreviewWindow()->PictureArea();
    const QPoint centre = area->mapTo(&window, area->rect().center());
    return QColor(shot.pixel(centre)) != QColor(Qt::black);
}

// A few measurements over the virtual camera's cells, at 640 x 480 picture coordinates.
void measureCells(varnolet::MeasureController &controller)
{
    using Tool = varnolet::Measurement::Tool;
    const auto draw = [&](Tool tool, std::vector<QPointF> points) {
        controller.setTool(tool);
        for (const QPointF &point : points)
            controller.addPoint(point);
        if (tool == Tool::Polyline)
            controller.finishDrawing();
    };
    draw(Tool::Line, {{90, 150}, {250, 170}});
    draw(Tool::Circle, {{400, 220}, {460, 260}, {400, 300}});
    draw(Tool::Angle, {{120, 380}, {60, 330}, {180, 300}});
    draw(Tool::Polyline, {{300, 60}, {360, 110}, {440, 90}, {520, 140}});
    controller.setTool(std::nullopt);
}

// The scale bar is drawn: a white run in the bottom right of the picture.
bool scaleBarPainted(const QImage &shot, const CMainViewerDlg &window)
{
    const CPictureArea *area = window.PreviewWindow()->PictureArea();
    const QRect video = area->VideoRect().isEmpty() ? area->rect() : area->VideoRect();
    const QRect picture(area->mapTo(&window, video.topLeft()), video.size());
    for (int y = picture.bottom() - 30; y < picture.bottom(); ++y) {
        int run = 0;
        for (int x = picture.center().x(); x < picture.right(); ++x) {
            run = QColor(shot.pixel(x, y)) == QColor(Qt::white) ? run + 1 : 0;
            if (run >= picture.width() / 8)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(MainViewerScreenshotTest, MeasuringInTwoLanguagesAndFullScreen)
{
    // A fresh per-user folder: no calibration yet.
    MainViewerFixture fixture("language=0\n", std::make_shared<varnolet::SystemClock>(),
                              shippedProgramFolder());
    fixture.hub().plug();
    auto window = fixture.makeWindow();
    window->resize(1100, 720);
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    CPictureArea *area = window->PreviewWindow()->PictureArea();
    ASSERT_TRUE(processEventsUntil([&] { return area->statistics().shown > 3; }));
    auto *overlay = area->findChild<varnolet::MeasureOverlay *>();
    ASSERT_NE(overlay, nullptr);
    varnolet::MeasureController &controller = overlay->controller();
    ASSERT_TRUE(controller.calibrate(452.0, 1.0, varnolet::LengthUnit::Millimetre, "10x"));
    measureCells(controller);
    window->UpdatePrompt(QPoint(-5, -5), false);
    processEventsFor(200ms);
    const QImage english = window->grab().toImage();
    EXPECT_TRUE(english.save(varnolet::test::screenshotPath("measure-english.png")));
    EXPECT_TRUE(scaleBarPainted(english, *window));

    std::unique_ptr<QMenu> menu(overlay->buildMenu(nullptr));
    menu->popup(window->mapToGlobal(QPoint(500, 300)));
    processEventsFor(100ms);
    EXPECT_TRUE(menu->grab().toImage().save(varnolet::test::screenshotPath("measure-menu.png")));
    menu->close();

    SettingValues japanese = fixture.services().Settings().GetUsingSettings();
    japanese.language = 5;
    fixture.services().Settings().ApplySettings(japanese);
    window->UpdateButtonTexts();
    window->UpdatePrompt(QPoint(-5, -5), false);
    controller.clear();
    controller.setCamera("name:uncalibrated"); // no calibration: lengths in pixels
    measureCells(controller);
    processEventsFor(200ms);
    const QImage uncalibrated = window->grab().toImage();
    EXPECT_TRUE(uncalibrated.save(varnolet::test::screenshotPath("measure-japanese.png")));
    EXPECT_TRUE(scaleBarPainted(uncalibrated, *window));
    if (!shippedProgramFolder().empty()) {
        std::unique_ptr<QMenu> japaneseMenu(overlay->buildMenu(nullptr));
        EXPECT_EQ(japaneseMenu->actions().front()->text(), QString::fromUtf8("長さを測定"));
    }

    window->OnFullScreen();
    processEventsUntil([&] { return window->isFullScreen(); }, 1s);
    processEventsFor(200ms);
    const QImage fullScreen = window->grab().toImage();
    EXPECT_TRUE(fullScreen.save(varnolet::test::screenshotPath("measure-full-screen.png")));
    EXPECT_TRUE(scaleBarPainted(fullScreen, *window));
    window->LeaveFullScreen();
}

TEST(MainViewerScreenshotTest, PreviewingRecordingAndFullScreen)
{
    MainViewerFixture fixture("language=7\nmovieresolution=1\n",
                              std::make_shared<varnolet::SystemClock>(), shippedProgramFolder());
    fixture.hub().plug();
    auto window = fixture.makeWindow();
    window->resize(1100, 720);
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    CPictureArea *area = window->PreviewWindow()->PictureArea();
    ASSERT_TRUE(processEventsUntil([&] { return area->statistics().shown > 3; }));
    window->UpdatePrompt(QPoint(-5, -5), false);
    processEventsFor(100ms);

    const QImage previewing = window->grab().toImage();
    EXPECT_TRUE(previewing.save(varnolet::test::screenshotPath("main-window-previewing.png")));
    EXPECT_TRUE(livePicturePainted(previewing, *window));
    EXPECT_TRUE(promptFits(*window)) << window->PromptLabel()->text().toStdString();
    if (!shippedProgramFolder().empty()) {
        EXPECT_TRUE(window->Button(CMainViewerDlg::IDC_SETTINGS)->HasImage());
    }

    // The recording picture in English.
    SettingValues english = fixture.services().Settings().GetUsingSettings();
    english.language = 0;
    fixture.services().Settings().ApplySettings(english);
    window->UpdateButtonTexts();
    window->OnRecording();
    ASSERT_TRUE(window->IsRecording());
    for (int tick = 0; tick < 3; ++tick)
        window->UpdatePrompt(QPoint(-5, -5), false);
    processEventsFor(300ms);
    const QImage recording = window->grab().toImage();
    EXPECT_TRUE(recording.save(varnolet::test::screenshotPath("main-window-recording.png")));
    EXPECT_TRUE(promptFits(*window)) << window->PromptLabel()->text().toStdString();
    EXPECT_TRUE(window->PromptLabel()->text().endsWith(QString(2, QChar(0x25CF))));
    window->OnRecording();

    window->OnFullScreen();
    processEventsUntil([&] { return window->isFullScreen(); }, 1s);
    processEventsFor(200ms);
    const QImage fullScreen = window->grab().toImage();
    EXPECT_TRUE(fullScreen.save(varnolet::test::screenshotPath("main-window-full-screen.png")));
    EXPECT_TRUE(livePicturePainted(fullScreen, *window));
    window->LeaveFullScreen();
}

TEST(MainViewerScreenshotTest, AboutBox)
{
    const std::string programFolder = shippedProgramFolder();
    varnolet::test::TempFolder config;
    AppServices services(varnolet::SystemPaths({.program = programFolder}));
    services.Settings().LoadSettingsFrom(config.write(
        "config.ini", "[oem]\ncompanyname=Hollenby Industries Ltd\nproducename=Varnolet\n"
                      "companywebsite=https://www.hollenby.example/\n"
                      "copyright=Copyright © 2026 Hollenby Industries Ltd. All rights reserved.\n"
                      "version=3.1.00\n"));
    const varnolet::MessageRecorder messages;
    CAboutDlg about(services, messages.box());
    about.show();
    processEventsFor(100ms);
    const QImage shot = about.grab().toImage();
    EXPECT_TRUE(shot.save(varnolet::test::screenshotPath("about-box.png")));
    for (QLabel *label :
         {about.ProductName(), about.CompanyName(), about.Copyright(), about.Version()})
        EXPECT_LE(label->heightForWidth(label->width()), label->height())
            << label->text().toStdString();
    if (!programFolder.empty()) {
        EXPECT_GT(about.Logo()->BitmapWidth(), 0);
    }
}
