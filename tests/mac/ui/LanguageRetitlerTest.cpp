#include "tests/mac/ui/PanelTestSupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "mac/ui/AboutBox.h"
#include "mac/ui/LanguageRetitler.h"
#include "mac/ui/SettingsPanel.h"
#include "platform/system/QtTranslations.h"

#include <QCoreApplication>

using panels_test::FakePanelHost;
using panels_test::fileText;
using varnolet::test::TempFolder;

namespace {

// The main window's place in the retitling, with the panels.
struct RetitledWindow
{
    explicit RetitledWindow(FakePanelHost &host)
        : settingsPanel(host)
        , retitler(host, controls())
    {
    }

    RetitledControls controls()
    {
        RetitledControls c;
        // What the rest of the interface showed when the main window's turn came.
        c.retitleMainWindow = [this] {
            listAtMainWindow = settingsPanel.languageComboBox->itemText(0);
            applyAtMainWindow = settingsPanel.lApplyingButton->text();
        };
        c.mMoreResourcesBtn = &more;
        c.settingsPanel = &settingsPanel;
        c.aboutBox = &aboutBox;
        return c;
    }

    QPushButton more;
    AboutBox aboutBox;
    SettingsPanel settingsPanel;
    QString listAtMainWindow;
    QString applyAtMainWindow;
    LanguageRetitler retitler;
};

} // namespace

TEST(LanguageRetitlerTest, EveryTextFollowsTheLanguageInForce)
{
    FakePanelHost host;
    RetitledWindow window(host);
    constexpr int kJapanese = 5;
    host.view().setLanuageSelector(kJapanese);
    window.retitler.changedUIBySelectedLanuage(kJapanese);

    auto text = [](const char *key) { return QString::fromStdString(fileText(kJapanese, key)); };
    // The language list before the main window, the panel's texts after it.
    EXPECT_EQ(window.listAtMainWindow, text("ui_comobo_english"));
    EXPECT_EQ(window.applyAtMainWindow, "Apply");
    EXPECT_EQ(window.more.text(), text("ui_view_btn_more_resources"));

    // The language list itself, showing the language in force.
    SettingsPanel &panel = window.settingsPanel;
    ASSERT_EQ(panel.languageComboBox->count(), 8);
    EXPECT_EQ(panel.languageComboBox->itemText(0), text("ui_comobo_english"));
    EXPECT_EQ(panel.languageComboBox->currentIndex(), kJapanese);
    EXPECT_EQ(host.settings().languageArray()[0], fileText(kJapanese, "ui_comobo_english"));

    EXPECT_EQ(panel.windowTitle(), text("ui_dlg_setting"));
    EXPECT_EQ(panel.lShotsTakingPreHourRadioCell->text(),
              text("ui_setting_radio_shots_prehour_taking"));
    EXPECT_EQ(panel.lDefaultButton->text(), text("ui_setting_btn_reset"));
    EXPECT_EQ(panel.mAutoCreatingFolderComboBox->itemText(1),
              text("ui_setting_comobo_auto_creating_folder"));
    EXPECT_EQ(panel.lShotsTakingPreTimeRangeLab->text(),
              text("ui_setting_lab_shots_range").replace("%d", "60"));
    EXPECT_EQ(window.aboutBox.windowTitle(), text("ui_dlg_about"));
    EXPECT_EQ(window.aboutBox.mSureButtonForAboutDlg->text(), text("ui_alert_ok"));

    EXPECT_EQ(host.control->calls, std::vector<std::string>{"changedLanuage 5"});
    EXPECT_EQ(host.control->adjustText, fileText(kJapanese, "ui_adjust_lab_brightness"));
}

TEST(LanguageRetitlerTest, WithoutLanguageFilesTheBuiltInTextsShow)
{
    TempFolder emptyBundle;
    FakePanelHost host(emptyBundle.path() + "/");
    RetitledWindow window(host);
    window.retitler.changedUIBySelectedLanuage(0);

    EXPECT_EQ(window.settingsPanel.windowTitle(), "设置");
    EXPECT_EQ(window.settingsPanel.creatingFolderLab->text(), "文件夹:");
    EXPECT_EQ(window.settingsPanel.mAutoCreatingFolderComboBox->itemText(0), "不创建文件夹");
    EXPECT_EQ(window.settingsPanel.deviceBox->title(), "Devices Settting");
    EXPECT_EQ(window.settingsPanel.shotsLaterLab->text(), "Photos pre Minute");
    EXPECT_EQ(window.settingsPanel.lTimesOfRangeLab->text(), "(max.1440)");
    EXPECT_EQ(window.settingsPanel.languageComboBox->itemText(1), "Française");
    EXPECT_EQ(window.aboutBox.windowTitle(), "关于");
    EXPECT_EQ(window.aboutBox.mSureButtonForAboutDlg->text(), "Ok");
    EXPECT_EQ(window.more.text(), "More...");
    EXPECT_EQ(host.control->adjustText, "Brightness:");
}

TEST(LanguageRetitlerTest, ApplyWithANewLanguageRetitlesEverythingAtOnce)
{
    FakePanelHost host;
    RetitledWindow window(host);
    window.retitler.changedUIBySelectedLanuage(0);
    host.onRetitle = [&](int index) { window.retitler.changedUIBySelectedLanuage(index); };
    SettingsPanel &panel = window.settingsPanel;
    panel.updateValueToUI();

    constexpr int kGerman = 3;
    panel.movieSavingSizeLimitTextField->setText("300");
    panel.lTimesOfTakingHourRadioCell->click();
    panel.minutesForShotTextField->setText("12");
    panel.languageComboBox->setCurrentIndex(kGerman);
    emit panel.languageComboBox->activated(kGerman);
    ASSERT_TRUE(panel.applySetting());

    auto text = [](const char *key) { return QString::fromStdString(fileText(kGerman, key)); };
    EXPECT_EQ(window.listAtMainWindow, text("ui_comobo_english"));
    EXPECT_EQ(panel.lApplyingButton->text(), text("ui_setting_btn_apply"));
    EXPECT_EQ(panel.languageComboBox->currentText(), text("ui_comobo_german"));
    EXPECT_EQ(window.aboutBox.windowTitle(), text("ui_dlg_about"));
    EXPECT_EQ(host.control->calls.back(), "changedLanuage 3");
    // The fields show the values just applied.
    EXPECT_EQ(panel.movieSavingSizeLimitTextField->text(), "300");
    EXPECT_EQ(panel.minutesForShotTextField->text(), "12");
    EXPECT_TRUE(panel.lTimesOfTakingHourRadioCell->isChecked());
    EXPECT_EQ(host.settings().preUsingSettingParam().lanuageSelector(), kGerman);
}

// The file dialog and the standard buttons speak the language chosen, and change with it.
TEST(LanguageRetitlerTest, QtsOwnTextsFollowTheLanguage)
{
    FakePanelHost host;
    RetitledWindow window(host);
    constexpr int kGerman = 3;
    window.retitler.changedUIBySelectedLanuage(kGerman);
    EXPECT_EQ(varnolet::QtTranslations::installedLocale(), "de");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    window.retitler.changedUIBySelectedLanuage(6);
    EXPECT_EQ(varnolet::QtTranslations::installedLocale(), "zh_TW");
    window.retitler.changedUIBySelectedLanuage(0);
    EXPECT_EQ(varnolet::QtTranslations::installedLocale(), "");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}
