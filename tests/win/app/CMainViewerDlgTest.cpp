#include "MainViewerTestSupport.h"

#include "win/app/CMainViewerDlg.h"
#include "win/app/CNormalSplitterWnd.h"
#include "win/app/CPictureArea.h"
#include "win/app/CPreviewWindow.h"
#include "win/app/CXPStyleButtonST.h"
#include "win/app/CXSplitterWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <linux/videodev2.h>

#include "win/app/CDevicePropertiesDlg.h"
#include "win/app/CSettingDlg.h"

using namespace std::chrono_literals;
using apptest::MainViewerFixture;
using varnolet::MessageResult;
using varnolet::test::processEventsFor;
using varnolet::test::processEventsUntil;

namespace {

const std::string kNoCamera = "Error,No Camera\tis Detected";

void sendKey(QWidget *target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

class MainViewerTest : public ::testing::Test
{
protected:
    MainViewerFixture m_fixture;
};

} // namespace

TEST_F(MainViewerTest, NoCameraAtStartShowsTheMessageOnceAndAPluggedCameraOpens)
{
    auto window = m_fixture.makeWindow();
    window->show();
    ASSERT_TRUE(processEventsUntil([&] { return m_fixture.messages().count() >= 1; }));
    processEventsFor(100ms);
    ASSERT_EQ(m_fixture.messages().count(), 1u);
    EXPECT_EQ(m_fixture.messages().texts().front(), kNoCamera);
    EXPECT_EQ(m_fixture.messages().messages().front().caption, "Varnolet");
    EXPECT_FALSE(window->IsCameraPresent());

    const std::string path = m_fixture.hub().plug();
    ASSERT_TRUE(processEventsUntil([&] { return window->IsCameraPresent(); }));
    EXPECT_EQ(window->OpenDevicePath(), path);
    EXPECT_EQ(m_fixture.messages().count(), 1u);
    // Frames reach the picture area.
    CPictureArea *area = window->PreviewWindow()->PictureArea();
    EXPECT_TRUE(processEventsUntil([&] { return area->HasPicture(); }));
}

TEST_F(MainViewerTest, TheOpenCameraUnpluggedSwitchesToTheOtherOne)
{
    const std::string first = m_fixture.hub().plug();
    const std::string second = m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    EXPECT_EQ(window->OpenDevicePath(), first); // the smaller device path comes first

    m_fixture.hub().unplug(first);
    ASSERT_TRUE(processEventsUntil([&] { return window->OpenDevicePath() == second; }));
    EXPECT_TRUE(window->IsCameraPresent());
    EXPECT_EQ(m_fixture.messages().count(), 0u);

    // The last camera gone: the no-camera state with its message.
    m_fixture.hub().unplug(second);
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsCameraPresent(); }));
    ASSERT_TRUE(processEventsUntil([&] { return m_fixture.messages().count() >= 1; }));
    EXPECT_EQ(m_fixture.messages().texts().back(), kNoCamera);
}

TEST_F(MainViewerTest, ASecondCameraPluggedInChangesNothing)
{
    const std::string first = m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    CPictureArea *area = window->PreviewWindow()->PictureArea();
    ASSERT_TRUE(processEventsUntil([&] { return area->HasPicture(); }));

    m_fixture.hub().plug();
    ASSERT_TRUE(processEventsUntil([&] { return window->DeviceCount() == 2; }));
    processEventsFor(100ms);
    EXPECT_EQ(window->OpenDevicePath(), first);
    // The stream was not reopened: frames keep coming without a gap that cleared the area.
    EXPECT_TRUE(area->HasPicture());
    EXPECT_EQ(m_fixture.messages().count(), 0u);
}

TEST_F(MainViewerTest, EscapeLeavesFullScreenAndOtherwiseDoesNothing)
{
    m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    const QRect normal = window->geometry();

    // Escape and Enter in normal mode: the window stays, nothing is asked.
    sendKey(window.get(), Qt::Key_Escape);
    sendKey(window->Button(CMainViewerDlg::IDC_TAKE_PHOTO), Qt::Key_Return);
    processEventsFor(50ms);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->IsPhotoPending());
    EXPECT_EQ(m_fixture.messages().count(), 0u);

    window->Button(CMainViewerDlg::IDC_FULL_SCREEN)->click();
    EXPECT_TRUE(window->IsFullScreen());
    EXPECT_TRUE(window->MainSplitter()->IsCollapsed());
    EXPECT_FALSE(window->PromptLabel()->isVisible());
    EXPECT_FALSE(window->Button(CMainViewerDlg::IDC_SETTINGS)->isVisible());
    processEventsUntil([&] { return window->isFullScreen(); }, 1s);
    // The panes cover the window; the collapsed column's bar lies left of the screen, so
    // the live picture pane starts at the screen's left edge.
    EXPECT_EQ(window->MainSplitter()->geometry(),
              QRect(-8, 0, window->width() + 8, window->height()));
    EXPECT_EQ(window->PreviewWindow()->mapTo(window.get(), QPoint(0, 0)).x(), 0);

    sendKey(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_FALSE(window->MainSplitter()->IsCollapsed());
    EXPECT_TRUE(window->PromptLabel()->isVisible());
    processEventsUntil([&] { return window->geometry() == normal; }, 1s);
    EXPECT_EQ(window->geometry(), normal);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainViewerTest, DoubleClickLeavesFullScreenAndACollapsedBrowserStaysCollapsed)
{
    m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    window->MainSplitter()->Collapse();
    window->OnFullScreen();
    QWidget *area = window->PreviewWindow()->PictureArea();
    const QPointF at(10, 10);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, area->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &dbl);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_TRUE(window->MainSplitter()->IsCollapsed());
}

TEST_F(MainViewerTest, CancelOnTheExitQuestionKeepsEverythingRunning)
{
    m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    m_fixture.messages().setAnswer(MessageResult::Cancel);

    window->Button(CMainViewerDlg::IDC_EXIT)->click();
    ASSERT_EQ(m_fixture.messages().count(), 1u);
    const varnolet::MessageRequest asked = m_fixture.messages().messages().back();
    EXPECT_EQ(asked.text, "Are you sure exiting system?");
    EXPECT_EQ(asked.caption, "Exit");
    EXPECT_EQ(asked.icon, varnolet::MessageIcon::Question);
    EXPECT_EQ(asked.buttons, varnolet::MessageButtons::OkCancel);

    // The title bar's close button asks the same.
    window->close();
    EXPECT_EQ(m_fixture.messages().count(), 2u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->IsCameraPresent());
    EXPECT_TRUE(window->PromptTimer().isActive());
    CPictureArea *area = window->PreviewWindow()->PictureArea();
    const uint64_t before = area->statistics().delivered;
    EXPECT_TRUE(processEventsUntil([&] { return area->statistics().delivered > before + 2; }));

    // OK ends the window and closes the camera.
    m_fixture.messages().setAnswer(MessageResult::Ok);
    EXPECT_TRUE(window->ConfirmExit());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(window->PromptTimer().isActive());
    EXPECT_FALSE(window->CaptureVideo().IsDeviceOpen());
}

TEST_F(MainViewerTest, PromptShowsHoverTextsAndTheStatus)
{
    m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    QLabel *prompt = window->PromptLabel();

    const QPoint onSettings = window->Button(CMainViewerDlg::IDC_SETTINGS)->geometry().center();
    window->UpdatePrompt(onSettings, true);
    EXPECT_EQ(prompt->text(), QStringLiteral("打开系统设置"));
    const QPoint onPhoto = window->Button(CMainViewerDlg::IDC_TAKE_PHOTO)->geometry().center();
    window->UpdatePrompt(onPhoto, true);
    EXPECT_EQ(prompt->text(), QStringLiteral("以分辨率640 X 480进行拍照"));
    // The full screen button is no hit: a move there keeps the text, a tick shows the status.
    const QPoint onFullScreen =
        window->Button(CMainViewerDlg::IDC_FULL_SCREEN)->geometry().center();
    window->UpdatePrompt(onFullScreen, true);
    EXPECT_EQ(prompt->text(), QStringLiteral("以分辨率640 X 480进行拍照"));
    window->UpdatePrompt(onFullScreen, false);
    EXPECT_EQ(prompt->text(), QStringLiteral("系统正在以分辨率640 X 480进行预览"));

    // Real mouse moves over a button reach the prompt through the window's filter.
    QWidget *exit = window->Button(CMainViewerDlg::IDC_EXIT);
    const QPointF local(5, 5);
    QMouseEvent move(QEvent::MouseMove, local, exit->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(exit, &move);
    EXPECT_EQ(prompt->text(), QStringLiteral("退出系统"));

    // Texts of the buttons are tooltips, and the hint label is localised.
    EXPECT_EQ(window->Button(CMainViewerDlg::IDC_RECORDING)->toolTip(),
              QStringLiteral("Start Recording"));
    EXPECT_EQ(window->Button(CMainViewerDlg::IDC_TIMED_SHOT)->toolTip(),
              QStringLiteral("Start Timed Shot"));
    EXPECT_EQ(window->HintLabel()->text(), QStringLiteral("Hint:"));
}

TEST_F(MainViewerTest, LayoutFollowsTheWindowSize)
{
    m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    // The browser column starts at a quarter of the panes' width, the live picture takes
    // the rest, and the folder tree a third of the column's height.
    const int startWidth = window->MainSplitter()->width();
    EXPECT_NEAR(window->MainSplitter()->sizes().at(0), startWidth / 4, 2);
    EXPECT_NEAR(window->LeftSplitter()->sizes().at(0), (window->MainSplitter()->height() - 8) / 3,
                2);
    window->resize(1000, 700);
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    processEventsUntil([&] { return window->width() == 1000; }, 1s);
    const QRect fullScreen = window->Button(CMainViewerDlg::IDC_FULL_SCREEN)->geometry();
    EXPECT_EQ(fullScreen, QRect(1000 - 32, 700 - 28, 32, 28));
    const QRect settings = window->Button(CMainViewerDlg::IDC_SETTINGS)->geometry();
    const QRect panes = window->MainSplitter()->geometry();
    EXPECT_EQ(panes.top(), settings.bottom() + 1 + 2);
    EXPECT_EQ(panes.bottom() + 1, window->HintLabel()->geometry().top() - 10);
    EXPECT_EQ(panes.width(), 1000);
    EXPECT_EQ(window->HintLabel()->geometry().bottom() + 1, 700);
    EXPECT_EQ(window->PromptLabel()->geometry().bottom() + 1, 700);
    // The picture keeps the capture size's aspect ratio inside its pane.
    const QRect picture = window->PreviewWindow()->PictureArea()->geometry();
    EXPECT_NEAR(static_cast<double>(picture.height()) / picture.width(), 0.75, 0.01);
}

namespace {

// Runs f on the modal dialog of type T once it is shown (the event loop of its exec()).
template <typename T> void onModal(std::function<void(T &)> f)
{
    auto attempt = std::make_shared<std::function<void()>>();
    *attempt = [f, attempt] {
        if (auto *dialog = dynamic_cast<T *>(QApplication::activeModalWidget())) {
            f(*dialog);
            return;
        }
        QTimer::singleShot(10, *attempt);
    };
    QTimer::singleShot(0, *attempt);
}

} // namespace

TEST_F(MainViewerTest, TheContextMenuOpensTheAboutBox)
{
    auto window = m_fixture.makeWindow();
    QMenu *menu = window->ContextMenu();
    QAction *about = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->data().toInt() == CMainViewerDlg::kAboutCommand)
            about = action;
    }
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), QStringLiteral("关于 Varnolet(&A)..."));
    bool shown = false;
    onModal<QDialog>([&](QDialog &box) {
        shown = box.objectName() == QStringLiteral("aboutDialog");
        box.reject();
    });
    about->trigger();
    EXPECT_TRUE(shown);
}

TEST_F(MainViewerTest, ANewCaptureSizeFromTheSettingsReopensTheCamera)
{
    m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    ASSERT_EQ(m_fixture.services().Settings().GetUsingSettings().captureWidth, 640);
    bool sawSettings = false;
    onModal<QDialog>([&](QDialog &dialog) {
        sawSettings = static_cast<QDialog *>(window->SettingDialog()) == &dialog;
        SettingValues values = m_fixture.services().Settings().GetUsingSettings();
        values.captureWidth = 1280;
        values.captureHeight = 720;
        m_fixture.services().Settings().ApplySettings(values);
        dialog.reject();
    });
    window->Button(CMainViewerDlg::IDC_SETTINGS)->click();
    EXPECT_TRUE(sawSettings);
    EXPECT_EQ(window->SettingDialog(), nullptr);
    EXPECT_TRUE(window->IsCameraPresent());
    EXPECT_EQ(m_fixture.services().Settings().GetUsingSettings().captureWidth, 1280);
    EXPECT_EQ(m_fixture.services().Settings().GetUsingSettings().captureHeight, 720);
    // The letterbox follows the new aspect ratio.
    const QRect picture = window->PreviewWindow()->PictureArea()->geometry();
    EXPECT_NEAR(static_cast<double>(picture.height()) / picture.width(), 0.5625, 0.01);
}

TEST_F(MainViewerTest, TheCameraControlDialogChangesTheOpenCamera)
{
    const std::string path = m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    int32_t seen = 0;
    onModal<QDialog>([&](QDialog &dialog) {
        auto *properties = dynamic_cast<CDevicePropertiesDlg *>(&dialog);
        if (properties) {
            auto *slider = qobject_cast<QSlider *>(properties->EditorOf(V4L2_CID_BRIGHTNESS));
            if (slider)
                slider->setValue(40);
            window->CaptureVideo().Device()->control(V4L2_CID_BRIGHTNESS, seen);
            properties->SetDefaults();
        }
        dialog.accept();
    });
    window->ShowDeviceProperties();
    EXPECT_EQ(seen, 40);
    int32_t after = -1;
    window->CaptureVideo().Device()->control(V4L2_CID_BRIGHTNESS, after);
    EXPECT_EQ(after, 0); // the driver's default came back

    // Without a camera: the no-camera message.
    window->StopAllActivities();
    m_fixture.hub().unplug(path);
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsCameraPresent(); }));
    const size_t before = m_fixture.messages().count();
    window->ShowDeviceProperties();
    EXPECT_EQ(m_fixture.messages().count(), before + 1);
}

TEST_F(MainViewerTest, TheCameraButtonTakesAPhoto)
{
    const std::string path = m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    ASSERT_TRUE(m_fixture.hub().pressButton(path));
    EXPECT_TRUE(processEventsUntil([&] {
        return apptest::filesIn(m_fixture.resourceRoot() + "/Single Shots", ".jpg").size() == 1;
    }));
    EXPECT_FALSE(window->IsPhotoPending());
}

TEST(MainViewerLanguageTest, QtsOwnTextsFollowTheLanguageInForceAndItsChange)
{
    if (QCoreApplication::translate("QPlatformTheme", "Cancel") != QStringLiteral("Cancel"))
        FAIL() << "an earlier test left a catalogue installed";
    {
        MainViewerFixture fixture("language=3\n"); // German
        auto window = fixture.makeWindow();
        const QString german = QCoreApplication::translate("QPlatformTheme", "Cancel");
        if (german == QStringLiteral("Cancel"))
            GTEST_SKIP() << "Qt's catalogues are not installed (qt6-translations-l10n)";
        EXPECT_EQ(german, QStringLiteral("Abbrechen"))
            << "the file dialog's and message boxes' buttons";

        // The settings change the language to Japanese; the window's texts are redone.
        SettingValues values = fixture.services().Settings().GetUsingSettings();
        values.language = 5;
        fixture.services().Settings().ApplySettings(values);
        window->UpdateButtonTexts();
        const QString japanese = QCoreApplication::translate("QPlatformTheme", "Cancel");
        EXPECT_NE(japanese, QStringLiteral("Abbrechen"));
        EXPECT_NE(japanese, QStringLiteral("Cancel"));

        values.language = 0;
        fixture.services().Settings().ApplySettings(values);
        window->UpdateButtonTexts();
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  QStringLiteral("Cancel"));
    }
}

TEST_F(MainViewerTest, AMovieLeftUnfinishedIsRepairedAtStartAndAnnounced)
{
    const std::string movies = m_fixture.resourceRoot() + "/Movies";
    std::filesystem::create_directories(movies);
    const std::string movie = movies + "/M20261209_0001.avi";
    {
        // What a killed recording leaves: the file as it is while the writer still has it.
        varnolet::AviMpeg4Writer writer;
        ASSERT_EQ(writer.open(movies + "/open.avi", 64, 48), 0);
        for (int i = 0; i < 12; ++i)
            ASSERT_EQ(writer.writeFrame(std::vector<uint8_t>(64 * 48 * 3, uint8_t(i * 20)).data()),
                      0);
        std::filesystem::copy_file(movies + "/open.avi", movie);
    }
    std::filesystem::remove(movies + "/open.avi");
    std::filesystem::last_write_time(movie, std::filesystem::last_write_time(movie) - 1h);

    m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    const std::string riff = varnolet::test::readFile(movie).substr(4, 4);
    EXPECT_NE(riff, std::string(4, '\xff')) << "finished";
    window->UpdatePrompt(QPoint(-10, -10), false);
    EXPECT_EQ(window->PromptLabel()->text(),
              QStringLiteral("未完成的录像 M20261209_0001.avi 已修复，可以播放"));
    processEventsFor(300ms);
    window->PromptLabel()->window()->grab().save(
        varnolet::test::screenshotPath(QStringLiteral("win-repaired-movie-notice.png")));
}

namespace {

// Mean spread of the colour channels over the middle of the picture the window shows.
double shownChroma(const CPictureArea &area)
{
    const QImage &picture = area.ShownPicture();
    if (picture.isNull())
        return -1;
    double sum = 0;
    int samples = 0;
    for (int y = picture.height() / 4; y < picture.height() * 3 / 4; y += 4) {
        for (int x = picture.width() / 4; x < picture.width() * 3 / 4; x += 4, ++samples) {
            const QColor c = picture.pixelColor(x, y);
            sum +=
                std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
        }
    }
    return sum / samples;
}

} // namespace

TEST_F(MainViewerTest, TheSettingsDialogsMoreButtonAdjustsTheVirtualCamerasPicture)
{
    const std::string path = m_fixture.hub().plug();
    auto window = m_fixture.makeWindow();
    ASSERT_TRUE(m_fixture.showAndWaitForCamera(*window));
    const CPictureArea &area = *window->PreviewWindow()->PictureArea();
    ASSERT_TRUE(processEventsUntil([&] { return !area.ShownPicture().isNull(); }));
    const double colourful = shownChroma(area);
    ASSERT_GT(colourful, 5.0);

    int32_t saturation = -1, brightness = -1;
    double grey = -1;
    onModal<CSettingDlg>([&](CSettingDlg &settings) {
        onModal<CDevicePropertiesDlg>([&](CDevicePropertiesDlg &properties) {
            auto *slider = qobject_cast<QSlider *>(properties.EditorOf(V4L2_CID_SATURATION));
            if (slider) {
                slider->setFocus();
                QTest::keyClick(slider, Qt::Key_Home);
            }
            if (auto *bright = qobject_cast<QSlider *>(properties.EditorOf(V4L2_CID_BRIGHTNESS)))
                QTest::keyClick(bright, Qt::Key_PageUp);
            processEventsUntil([&] { return shownChroma(area) < colourful * 0.2; });
            grey = shownChroma(area);
            int error = 0;
            auto camera = m_fixture.hub().open(path, error);
            camera->control(V4L2_CID_SATURATION, saturation);
            camera->control(V4L2_CID_BRIGHTNESS, brightness);
            properties.grab().save(varnolet::test::screenshotPath(
                QStringLiteral("win-virtual-camera-properties.png")));
            properties.accept();
        });
        auto *more = qobject_cast<QPushButton *>(settings.Control(CSettingDlg::IDC_MORE));
        if (more)
            more->click();
        settings.reject();
    });
    window->Button(CMainViewerDlg::IDC_SETTINGS)->click();
    EXPECT_EQ(saturation, 0);
    EXPECT_GT(brightness, 0) << "a page up from the middle";
    EXPECT_GE(grey, 0.0);
    EXPECT_LT(grey, colourful * 0.2) << "the shown picture lost its colour";
}
