#include "tests/mac/ui/PanelTestSupport.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "mac/ui/AdjustPanelActions.h"
#include "mac/ui/SettingsPanel.h"

using panels_test::FakePanelHost;

namespace {

class AdjustPanelActionsTest : public ::testing::Test
{
protected:
    AdjustPanelActionsTest()
    {
        window.setGeometry(200, 100, 1000, 800);
        window.show();
        host.window = &window;
        adjustPanel.resize(320, 260);
    }

    // Runs the action while checking, once the settings panel is up again, that it was
    // refilled; then closes it with Undo.
    bool reopensSettings(const std::function<void()> &action)
    {
        bool reopened = false;
        QTimer::singleShot(0, [&] {
            reopened = settingsPanel.isVisible() && settingsPanel.isModal();
            settingsPanel.lCancelButton->click();
        });
        action();
        return reopened;
    }

    FakePanelHost host;
    QWidget window;
    QDialog adjustPanel;
    SettingsPanel settingsPanel{host};
    AdjustPanelActions actions{host, settingsPanel, &adjustPanel};
};

} // namespace

TEST_F(AdjustPanelActionsTest, WithoutCameraTheButtonWarnsAndTheSettingsStayOpen)
{
    host.cameraOpen = false;
    settingsPanel.show();
    settingsPanel.lUploadButton->click();
    EXPECT_EQ(host.alerts, std::vector<std::string>{host.messageForNotCaptureDevice()});
    EXPECT_EQ(host.alerts[0], "This camera cannot be previewed. It may be in use by another "
                              "application.");
    EXPECT_TRUE(settingsPanel.isVisible());
    EXPECT_FALSE(adjustPanel.isVisible());
}

TEST_F(AdjustPanelActionsTest, TheButtonClosesSettingsAsUndoAndShowsTheAdjustPanelLeftAligned)
{
    settingsPanel.show();
    emit settingsPanel.languageComboBox->activated(2); // an edit not applied
    settingsPanel.lUploadButton->click();
    EXPECT_FALSE(settingsPanel.isVisible());
    EXPECT_EQ(host.view().lanuageSelector(), 0) << "the edit was dropped";
    ASSERT_TRUE(adjustPanel.isVisible());
    EXPECT_FALSE(adjustPanel.isModal());
    const QRect main = window.frameGeometry();
    const QRect frame = adjustPanel.frameGeometry();
    EXPECT_EQ(frame.x(), main.x());
    EXPECT_EQ(frame.y(), main.y() + (main.height() - frame.height()) / 2);
    EXPECT_TRUE(host.alerts.empty());
}

TEST_F(AdjustPanelActionsTest, CancelRestoresTheCameraValuesAndReopensTheSettings)
{
    settingsPanel.lUploadButton->click();
    host.view().setMovieSavingSizeLimit(999); // what the reopened panel must show
    host.settings().preUsingSettingParam().setMovieSavingSizeLimit(999);
    EXPECT_TRUE(reopensSettings([&] { actions.adjustCameraToCancel(); }));
    EXPECT_EQ(host.control->calls, std::vector<std::string>{"setPreValue"});
    EXPECT_FALSE(adjustPanel.isVisible());
    EXPECT_EQ(settingsPanel.movieSavingSizeLimitTextField->text(), "999");
}

TEST_F(AdjustPanelActionsTest, OkKeepsTheCameraValuesAndReopensTheSettings)
{
    settingsPanel.lUploadButton->click();
    EXPECT_TRUE(reopensSettings([&] { actions.adjustCameraToOk(); }));
    EXPECT_TRUE(host.control->calls.empty());
    EXPECT_FALSE(adjustPanel.isVisible());
}

TEST_F(AdjustPanelActionsTest, SetDefaultAsksTheCameraControlWhenThereIsOne)
{
    settingsPanel.lUploadButton->click();
    actions.adjustCameraToDefault();
    EXPECT_EQ(host.control->calls, std::vector<std::string>{"setDefaultValue"});
    EXPECT_TRUE(adjustPanel.isVisible());

    host.control.reset();
    actions.adjustCameraToDefault(); // no control yet: nothing to do, no crash
    EXPECT_TRUE(reopensSettings([&] { actions.adjustCameraToCancel(); }));

    settingsPanel.lUploadButton->click();
    actions.hideAdjustPanel(); // the no-camera state
    EXPECT_FALSE(adjustPanel.isVisible());
}
