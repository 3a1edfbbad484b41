#include "tests/mac/controller/AppControllerFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "mac/ui/AboutBox.h"
#include "mac/ui/LanguageRetitler.h"
#include "mac/ui/MacAlertPresenter.h"
#include "mac/ui/MacPanels.h"
#include "mac/ui/MainViewer.h"
#include "mac/ui/SettingsPanel.h"
#include "mac/core/StringsFile.h"
#include "mac/ui/CameraAdjustPanel.h"
#include "mac/uvc/UVCCameraControl.h"
#include "tests/support/LayoutChecks.h"

using Control = AppController::Control;
using mactest::AppControllerTest;

namespace {

std::string runtimeFolder()
{
    if (const char *dir = std::getenv("VARNOLET_RUNTIME_DIR"))
        return dir;
    return QCoreApplication::applicationDirPath().toStdString() + "/../bin";
}

class MacPanelsTest : public AppControllerTest
{
protected:
    void open(bool launch = true)
    {
        AppController &controller = make(false);
        m_window = std::make_unique<MainViewer>(controller);
        m_window->resize(1000, 680);
        m_window->show();
        m_adjustPanel = std::make_unique<CameraAdjustPanel>(m_uvc);
        m_panels = std::make_unique<MacPanels>(controller, *m_window, m_adjustPanel.get());
        m_panels->awakeFromNib();
        if (launch)
            controller.applicationDidFinishLaunching();
    }

    void TearDown() override
    {
        m_panels.reset();
        m_adjustPanel.reset();
        m_window.reset();
        AppControllerTest::TearDown();
    }

    // Hovers over a main-window button and answers the prompt it shows.
    QString hover(QWidget *button)
    {
        EXPECT_TRUE(m_window->doMouseMovedByMainViewer(
            button->mapTo(m_window.get(), button->rect().center())));
        return m_window->promptContent()->text();
    }

    std::unique_ptr<MainViewer> m_window;
    // The panel's own control; the controller has the fake one.
    UVCCameraControl m_uvc{m_clock, *m_hub};
    std::unique_ptr<CameraAdjustPanel> m_adjustPanel;
    std::unique_ptr<MacPanels> m_panels;
};

} // namespace

TEST_F(MacPanelsTest, SettingsButtonOpensThePanelWithTheControllersLists)
{
    plug("Microscope", 0x01100000);
    open();
    ASSERT_TRUE(
        varnolet::test::processEventsUntil([&] { return (*m_controller).IsCaptureDevice(); }));
    SettingsPanel &panel = m_panels->settingsPanel();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        seen = panel.isVisible();
        EXPECT_EQ(panel.deviceComboBox->count(), 1);
        EXPECT_EQ(panel.deviceComboBox->currentText(), "Microscope");
        EXPECT_EQ(panel.resolutionComboBox->count(), 3); // the camera control's list
        EXPECT_EQ(panel.resolutionComboBox->currentText(), "640X480");
        panel.lCancelButton->click();
    });
    m_window->button(Control::Settings)->click();
    EXPECT_TRUE(seen);

    // Picking another size in the list changes the capture at once.
    QTimer::singleShot(0, [&] {
        emit panel.resolutionComboBox->activated(1);
        panel.lCancelButton->click();
    });
    m_window->button(Control::Settings)->click();
    EXPECT_EQ((*m_controller).mCurrentCaptureResolution().getPixelFormatString(), "1280X720");
}

TEST_F(MacPanelsTest, ApplyWithANewLanguageRetitlesTheMainWindowAtOnce)
{
    m_programFolder = runtimeFolder() + "/";
    open(false);
    const auto german = StringsFile::readFile(
        runtimeFolder() + "/Contents/Resources/german.lproj/Localizable.strings");
    ASSERT_TRUE(german.has_value());
    EXPECT_EQ(m_window->button(Control::TakePhoto)->toolTip(), "Take a Photo");

    SettingsPanel &panel = m_panels->settingsPanel();
    QTimer::singleShot(0, [&] {
        panel.languageComboBox->setCurrentIndex(3);
        emit panel.languageComboBox->activated(3);
        panel.lApplyingButton->click();
    });
    m_window->button(Control::Settings)->click();
    EXPECT_EQ(m_window->button(Control::TakePhoto)->toolTip().toStdString(),
              german->at("ui_view_btn_take_a_shot"));
    EXPECT_EQ(m_window->promptHint()->text().toStdString(), german->at("ui_view_lab_prompt"));
    EXPECT_EQ(panel.windowTitle().toStdString(), german->at("ui_dlg_setting"));
    EXPECT_EQ(m_panels->aboutBox().windowTitle().toStdString(), german->at("ui_dlg_about"));
    EXPECT_EQ(m_store.integerForKey("language"), 3);
}

TEST_F(MacPanelsTest, TimedShotRunChecksTheFieldsAsTheyStand)
{
    plug("Microscope", 0x01100000);
    open();
    ASSERT_TRUE(
        varnolet::test::processEventsUntil([&] { return (*m_controller).IsCaptureDevice(); }));
    SettingsPanel &panel = m_panels->settingsPanel();
    panel.shotsForMinuteTextField->setText("060");
    m_window->button(Control::TimedShot)->click();
    EXPECT_FALSE((*m_controller).bTakePhotoEachTime());
    ASSERT_FALSE(m_messages->texts().empty());
    EXPECT_EQ(m_messages->texts().back(), "Error of time setting to take timed shot");
}

TEST_F(MacPanelsTest, AboutButtonRunsTheAboutBox)
{
    open(false);
    AboutBox &box = m_panels->aboutBox();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        seen = box.isVisible() && box.isModal();
        box.mSureButtonForAboutDlg->click();
    });
    m_window->button(Control::About)->click();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.windowTitle(), "关于");
    EXPECT_EQ(box.mSureButtonForAboutDlg->text(), "Ok");
}

TEST_F(MacPanelsTest, EveryHoverHintWithItsBuiltInText)
{
    plug("Microscope", 0x01100000);
    open();
    ASSERT_TRUE(
        varnolet::test::processEventsUntil([&] { return (*m_controller).IsCaptureDevice(); }));
    EXPECT_EQ(hover(m_window->button(Control::Settings)), "打开系统设置");
    EXPECT_EQ(hover(m_window->button(Control::TakePhoto)), "以分辨率640X480进行拍照");
    EXPECT_EQ(hover(m_window->button(Control::TimedShot)), "以分辨率640X480进行定时摄像");
    EXPECT_EQ(hover(m_window->button(Control::Recording)), "以分辨率640X480进行录像");
    EXPECT_EQ(hover(m_window->button(Control::About)), "打开关于");
    EXPECT_EQ(hover(m_window->exitButton()), "退出系统");
    m_window->doTimer();
    EXPECT_EQ(m_window->promptContent()->text(), "退出系统")
        << "the hint stays while the pointer rests";
}

TEST_F(MacPanelsTest, HeldCameraGivesTheNotPreviewTextOnHover)
{
    plug("Microscope", 0x01100000, /*busy=*/true);
    open();
    varnolet::test::processEventsFor(std::chrono::milliseconds(100));
    ASSERT_FALSE((*m_controller).IsCaptureDevice());
    for (QWidget *button :
         {m_window->button(Control::TakePhoto), m_window->button(Control::TimedShot),
          m_window->button(Control::Recording)})
        EXPECT_EQ(hover(button), "摄像头被其他应用程序占用,不能预览");

    // The adjust button warns the same way and leaves the settings open.
    SettingsPanel &panel = m_panels->settingsPanel();
    QTimer::singleShot(0, [&] {
        panel.lUploadButton->click();
        EXPECT_TRUE(panel.isVisible());
        panel.lCancelButton->click();
    });
    m_window->button(Control::Settings)->click();
    EXPECT_EQ(m_messages->texts().back(), "摄像头被其他应用程序占用,不能预览");
}

TEST_F(MacPanelsTest, AdjustPanelIsReachedFromTheSettingsAndLeadsBackToThem)
{
    plug("Microscope", 0x01100000);
    open();
    ASSERT_TRUE(
        varnolet::test::processEventsUntil([&] { return m_controller->IsCaptureDevice(); }));
    SettingsPanel &panel = m_panels->settingsPanel();
    QTimer::singleShot(0, [&] { panel.lUploadButton->click(); });
    m_window->button(Control::Settings)->click();
    EXPECT_FALSE(panel.isVisible());
    ASSERT_TRUE(m_adjustPanel->isVisible());
    EXPECT_EQ(m_adjustPanel->frameGeometry().x(), m_window->frameGeometry().x());

    for (QPushButton *button : {m_adjustPanel->btnCancel, m_adjustPanel->btnOk}) {
        if (!m_adjustPanel->isVisible()) {
            QTimer::singleShot(0, [&] { panel.lUploadButton->click(); });
            m_window->button(Control::Settings)->click();
        }
        bool reopened = false;
        QTimer::singleShot(0, [&] {
            reopened = panel.isVisible();
            panel.lCancelButton->click();
        });
        button->click();
        EXPECT_TRUE(reopened) << button->objectName().toStdString();
        EXPECT_FALSE(m_adjustPanel->isVisible());
    }

    // Losing the camera hides the adjust panel.
    QTimer::singleShot(0, [&] { panel.lUploadButton->click(); });
    m_window->button(Control::Settings)->click();
    ASSERT_TRUE(m_adjustPanel->isVisible());
    m_hub->unplugAll();
    m_controller->changedDevices();
    EXPECT_FALSE(m_adjustPanel->isVisible());
}

TEST_F(MacPanelsTest, MainWindowTextsFitInEveryLanguageAtItsSmallestSize)
{
    m_programFolder = runtimeFolder() + "/";
    open(false);
    m_window->resize(m_window->minimumSizeHint());
    for (int language = 0; language < 8; ++language) {
        const std::string folder = AppControllerSettings::getLocalizedFolder(language);
        m_controller->usingSettingParam().setLanuageSelector(language);
        m_panels->retitler().changedUIBySelectedLanuage(language);
        QApplication::processEvents();
        const auto table = StringsFile::readFile(runtimeFolder() + "/Contents/Resources/" + folder +
                                                 "/Localizable.strings");
        ASSERT_TRUE(table.has_value()) << folder;
        EXPECT_EQ(m_window->promptHint()->text().toStdString(), table->at("ui_view_lab_prompt"));
        EXPECT_EQ(m_window->button(Control::About)->toolTip().toStdString(),
                  table->at("ui_view_btn_about"));
        // The prompt itself is a status line that may be cut at the window's edge.
        varnolet::test::expectTextsFit(*m_window, folder,
                                       {QStringLiteral("mPromptContentTextField")});
    }
}

TEST_F(MacPanelsTest, SettingsPanelAndItsAlertsStayAboveTheMainWindow)
{
    open(false);
    SettingsPanel &panel = m_panels->settingsPanel();
    MacAlertPresenter alerts;
    alerts.setParentWindow(m_window.get());
    QWidget *owner = nullptr;
    QWindow *panelAbove = nullptr;
    QImage picture;
    QTimer::singleShot(0, [&] {
        panelAbove = panel.windowHandle() ? panel.windowHandle()->transientParent() : nullptr;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            owner = box->parentWidget();
            // The panel with its alert where the screen shows it, for looking at.
            const QRect area = panel.frameGeometry().united(box->frameGeometry());
            picture = QImage(area.size(), QImage::Format_RGB32);
            picture.fill(Qt::darkGray);
            QPainter painter(&picture);
            painter.drawPixmap(panel.geometry().topLeft() - area.topLeft(), panel.grab());
            painter.drawPixmap(box->geometry().topLeft() - area.topLeft(), box->grab());
            box->accept();
        });
        alerts.present({"Size of saving file is in range of 16 - 4096", "Varnolet",
                        varnolet::MessageIcon::Warning, varnolet::MessageButtons::Ok});
        panel.lCancelButton->click();
    });
    m_window->button(Control::Settings)->click();
    EXPECT_EQ(panelAbove, m_window->windowHandle());
    EXPECT_EQ(owner, &panel);
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(varnolet::test::screenshotPath("mac-settings-panel-alert.png")));
}
