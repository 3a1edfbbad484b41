#include "tests/mac/ui/PanelTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QRadioButton>

#include "mac/ui/SettingsPanel.h"
#include "tests/support/LayoutChecks.h"

using panels_test::FakePanelHost;
using panels_test::fileText;
using varnolet::test::expectNoOverlap;
using varnolet::test::expectTextsFit;

TEST(SettingsPanelLayoutTest, NoTextIsClippedAndNoControlsOverlapInAnyLanguage)
{
    for (int language = 0; language < 8; ++language) {
        const std::string folder = AppControllerSettings::getLocalizedFolder(language);
        FakePanelHost host;
        host.view().setLanuageSelector(language);
        host.settings().preUsingSettingParam().setLanuageSelector(language);
        host.view().setResourcesSavingLocation("/Users/microscope/Pictures");
        host.view().setIsAutoCreatingResourcesFolder(true);
        SettingsPanel panel(host);
        panel.updateValueToUI();
        panel.refillDeviceList();
        panel.refillResolutionList();
        // The widest values the range labels can show.
        panel.lShotsTakingPreDayRadioCell->click();
        panel.lTimesOfTakingMinuteRadioCell->click();
        panel.show();
        QApplication::processEvents();
        ASSERT_EQ(panel.windowTitle().toStdString(), fileText(language, "ui_dlg_setting"))
            << folder;
        ASSERT_EQ(panel.lApplyingButton->text().toStdString(),
                  fileText(language, "ui_setting_btn_apply"))
            << folder;

        // Camera names and paths may be longer than their controls; the list's pop-up and
        // the field's scrolling show them whole.
        expectTextsFit(
            panel, folder,
            {QStringLiteral("deviceComboBox"), QStringLiteral("resourcesSavingLocationTextField")});
        expectNoOverlap(panel, folder);
        for (const QGroupBox *group : panel.findChildren<QGroupBox *>())
            expectNoOverlap(*group, folder);

        // The panel fits a small laptop screen.
        EXPECT_LE(panel.width(), 1024) << folder;
        EXPECT_LE(panel.height(), 700) << folder;

        const QString picture = QDir::temp().filePath(
            QStringLiteral("mac-settings-%1.png").arg(QString::fromStdString(folder)));
        EXPECT_TRUE(panel.grab().save(picture)) << picture.toStdString();
        EXPECT_TRUE(host.alerts.empty()) << folder;
    }
}
