#include "tests/mac/ui/PanelTestSupport.h"

#include <climits>
#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "mac/ui/SettingsPanel.h"
#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"

using panels_test::FakePanelHost;
using varnolet::test::TempFolder;

namespace {

class SettingsPanelTest : public ::testing::Test
{
protected:
    SettingsPanelTest() { panel.updateValueToUI(); }

    // What the user store file holds now, read by a fresh store.
    int64_t storedInteger(const std::string &key)
    {
        UserDefaults reread(host.userStore().path());
        return reread.integerForKey(key);
    }
    std::optional<std::string> storedString(const std::string &key)
    {
        UserDefaults reread(host.userStore().path());
        return reread.stringForKey(key);
    }

    FakePanelHost host;
    SettingsPanel panel{host};
};

} // namespace

TEST(SettingsPanelValidationTest, FieldMustBeTheExactRenderingOfANumberInsideTheRange)
{
    const ItemTimedShotSetting perMinute{6, 1, 60};
    EXPECT_TRUE(SettingsPanel::isCorrectValueForItem("60", perMinute));
    EXPECT_TRUE(SettingsPanel::isCorrectValueForItem("1", perMinute));
    EXPECT_FALSE(SettingsPanel::isCorrectValueForItem("61", perMinute));
    EXPECT_FALSE(SettingsPanel::isCorrectValueForItem("0", perMinute));
    for (const char *text : {"060", " 7", "7 ", "7a", "+7", "", "abc", "7.0"})
        EXPECT_FALSE(SettingsPanel::isCorrectValueForItem(text, perMinute)) << '"' << text << '"';

    // Signed bounds, both inclusive.
    const ItemTimedShotSetting around0{0, -5, 5};
    EXPECT_TRUE(SettingsPanel::isCorrectValueForItem("-5", around0));
    EXPECT_TRUE(SettingsPanel::isCorrectValueForItem("0", around0));
    EXPECT_FALSE(SettingsPanel::isCorrectValueForItem("-6", around0));
    EXPECT_FALSE(SettingsPanel::isCorrectValueForItem("-0", around0));

    // A number past the 32-bit range does not pass as the largest value.
    const ItemTimedShotSetting wide{0, 0, INT_MAX};
    EXPECT_TRUE(SettingsPanel::isCorrectValueForItem("2147483647", wide));
    EXPECT_FALSE(SettingsPanel::isCorrectValueForItem("2147483648", wide));
    EXPECT_FALSE(SettingsPanel::isCorrectValueForItem("99999999999", wide));

    EXPECT_EQ(SettingsPanel::fieldIntValue("16MB"), 16);
    EXPECT_EQ(SettingsPanel::fieldIntValue("  42x"), 42);
    EXPECT_EQ(SettingsPanel::fieldIntValue("MB"), 0);
    EXPECT_EQ(SettingsPanel::fieldIntValue(""), 0);
}

TEST(SettingsPanelValidationTest, LocationExistsForFilesAndFoldersOnly)
{
    TempFolder folder;
    const std::string file = folder.write("photo.jpg", "x");
    EXPECT_TRUE(SettingsPanel::locationExists(folder.path()));
    EXPECT_TRUE(SettingsPanel::locationExists(file));
    EXPECT_FALSE(SettingsPanel::locationExists(folder.file("missing")));
    EXPECT_FALSE(SettingsPanel::locationExists(""));
}

TEST_F(SettingsPanelTest, UpdateValueToUIShowsTheRecordInForce)
{
    SettingParams &view = host.view();
    view.setMTimeTypeOfShotsForTimedShot(1);
    view.setMTimeTypeOfTimesForTimedShot(7); // not a unit: the day cell, the minute item
    view.setMovieSizeEnum(0);
    view.setMovieSavingSizeLimit(2048);
    view.setIsAutoCreatingResourcesFolder(true);
    view.setLanuageSelector(4);
    panel.updateValueToUI();

    EXPECT_TRUE(panel.lShotsTakingPreHourRadioCell->isChecked());
    EXPECT_FALSE(panel.lShotsTakingPreMinuteRadioCell->isChecked());
    EXPECT_EQ(panel.shotsForMinuteTextField->text(), "60");
    EXPECT_EQ(panel.lShotsTakingPreTimeRangeLab->text(), "(max. 3600)");
    EXPECT_TRUE(panel.lTimesOfTakingDayRaidoCell->isChecked());
    EXPECT_EQ(panel.minutesForShotTextField->text(), "60");
    EXPECT_EQ(panel.mMovieSizeEnumComboBox->currentIndex(), 0);
    EXPECT_EQ(panel.mMovieSizeEnumComboBox->count(), 2);
    EXPECT_EQ(panel.movieSavingSizeLimitTextField->text(), "2048");
    EXPECT_EQ(panel.resourcesSavingLocationTextField->text().toStdString(),
              host.folder("pictures"));
    EXPECT_EQ(panel.mAutoCreatingFolderComboBox->currentIndex(), 1);
    EXPECT_EQ(panel.languageComboBox->currentIndex(), 4);
    EXPECT_EQ(panel.languageComboBox->currentText(), "Italiano");
}

TEST_F(SettingsPanelTest, UnitSwitchShowsEachUnitsStoredValueAndDropsTypedText)
{
    panel.shotsForMinuteTextField->setText("42");
    panel.lShotsTakingPreHourRadioCell->click();
    EXPECT_EQ(panel.shotsForMinuteTextField->text(), "60");
    EXPECT_EQ(panel.lShotsTakingPreTimeRangeLab->text(), "(max. 3600)");
    EXPECT_EQ(host.view().mTimeTypeOfShotsForTimedShot(), 1);

    panel.lShotsTakingPreMinuteRadioCell->click();
    EXPECT_EQ(panel.shotsForMinuteTextField->text(), "6"); // the typed 42 is gone
    EXPECT_EQ(panel.lShotsTakingPreTimeRangeLab->text(), "(max. 60)");
    EXPECT_EQ(host.view().mTimeTypeOfShotsForTimedShot(), 0);

    panel.lTimesOfTakingDayRaidoCell->click();
    EXPECT_EQ(panel.minutesForShotTextField->text(), "1");
    EXPECT_EQ(panel.lTimesOfRangeLab->text(), "(max. 30)");
    EXPECT_EQ(host.view().mTimeTypeOfTimesForTimedShot(), 2);
    // The switch alone changes no stored value.
    EXPECT_EQ(host.view().mObjShotsTakingPreMinute().nCurrentValueForTimedShot, 6);
}

TEST_F(SettingsPanelTest, MovieSizeLimitIsCheckedByItsLeadingNumber)
{
    for (const char *rejected : {"4097", "15", "MB", ""}) {
        host.alerts.clear();
        panel.movieSavingSizeLimitTextField->setText(rejected);
        EXPECT_FALSE(panel.applySetting()) << rejected;
        ASSERT_EQ(host.alerts.size(), 1u) << rejected;
        EXPECT_EQ(host.alerts[0], "The maximum movie file size must be between 16 and 4096 MB.");
        EXPECT_EQ(panel.movieSavingSizeLimitTextField->text(), "1024") << "factory value";
    }
    host.alerts.clear();
    panel.movieSavingSizeLimitTextField->setText("4096");
    EXPECT_TRUE(panel.applySetting());
    EXPECT_EQ(host.view().movieSavingSizeLimit(), 4096);

    panel.movieSavingSizeLimitTextField->setText("16MB");
    EXPECT_TRUE(panel.applySetting());
    EXPECT_EQ(host.view().movieSavingSizeLimit(), 16);
    EXPECT_EQ(storedInteger("moviesizemax"), 16);
    EXPECT_TRUE(host.alerts.empty());
}

TEST_F(SettingsPanelTest, ShotsFieldWithLeadingZeroIsRejectedAndResetToTheFactoryValueOfItsUnit)
{
    panel.lShotsTakingPreHourRadioCell->click();
    host.view().mObjShotsTakingPreHour().nCurrentValueForTimedShot = 30; // applied earlier
    panel.shotsForMinuteTextField->setText("060");
    panel.minutesForShotTextField->setText("90");
    EXPECT_FALSE(panel.applySetting());
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0],
              "The timed shot settings are not valid. Please check the values and their limits.");
    EXPECT_EQ(panel.shotsForMinuteTextField->text(), "60"); // factory value of the hour item
    EXPECT_EQ(panel.minutesForShotTextField->text(), "90"); // this one was valid
    EXPECT_EQ(host.view().mObjShotsTakingPreHour().nCurrentValueForTimedShot, 30);
    EXPECT_FALSE(host.userStore().hasKey("shots_taking_pretime"));

    host.alerts.clear();
    panel.minutesForShotTextField->setText("1441");
    EXPECT_FALSE(panel.applySetting());
    EXPECT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(panel.minutesForShotTextField->text(), "60");

    host.alerts.clear();
    EXPECT_TRUE(panel.applySetting()); // "60" per hour for "60" minutes
    EXPECT_TRUE(host.alerts.empty());
    EXPECT_EQ(storedInteger("shots_taking_pretime"), 60);
    EXPECT_EQ(storedInteger("timetype_takingshots_pretime"), 1);
    EXPECT_EQ(storedInteger("times_fortaking"), 60);
}

TEST_F(SettingsPanelTest, OnlyTheFirstFailingCheckReportsAndResetsItsField)
{
    panel.movieSavingSizeLimitTextField->setText("5000");
    panel.shotsForMinuteTextField->setText("abc");
    panel.resourcesSavingLocationTextField->setText(QString::fromStdString(host.folder("gone")));
    EXPECT_FALSE(panel.applySetting());
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0], "The maximum movie file size must be between 16 and 4096 MB.");
    EXPECT_EQ(panel.movieSavingSizeLimitTextField->text(), "1024");
    EXPECT_EQ(panel.shotsForMinuteTextField->text(), "abc");
    EXPECT_EQ(panel.resourcesSavingLocationTextField->text().toStdString(), host.folder("gone"));

    // The next Apply meets the shots, then the location.
    host.alerts.clear();
    EXPECT_FALSE(panel.applySetting());
    EXPECT_EQ(
        host.alerts,
        std::vector<std::string>{
            "The timed shot settings are not valid. Please check the values and their limits."});
    host.alerts.clear();
    EXPECT_FALSE(panel.applySetting());
    ASSERT_EQ(host.alerts.size(), 1u);
    // The message names the folder that is missing.
    EXPECT_NE(host.alerts[0].find(host.folder("gone")), std::string::npos) << host.alerts[0];
    EXPECT_EQ(panel.resourcesSavingLocationTextField->text().toStdString(),
              host.folder("pictures"));
    EXPECT_TRUE(host.requests.empty());
    EXPECT_FALSE(host.userStore().hasKey("resourcespath"));
}

TEST_F(SettingsPanelTest, TreeIsRebuiltOnlyWhenTheRootOrTheSubFolderChoiceChanged)
{
    EXPECT_TRUE(panel.applySetting());
    EXPECT_TRUE(host.requests.empty());
    EXPECT_EQ(storedString("resourcespath"), host.folder("pictures"));

    panel.updateValueToUI();
    panel.resourcesSavingLocationTextField->setText(
        QString::fromStdString(host.folder("elsewhere")));
    EXPECT_TRUE(panel.applySetting());
    const std::string root = host.folder("elsewhere") + "/Varnolet";
    EXPECT_EQ(host.requests,
              (std::vector<std::string>{"create " + host.folder("elsewhere"), "tree " + root}));
    EXPECT_EQ(host.settings().preUsingSettingParam().resourcesSavingLocation(),
              host.folder("elsewhere"));

    host.requests.clear();
    panel.updateValueToUI();
    panel.mAutoCreatingFolderComboBox->setCurrentIndex(1);
    EXPECT_TRUE(panel.applySetting());
    EXPECT_EQ(host.requests,
              (std::vector<std::string>{"create " + host.folder("elsewhere"), "tree " + root}));
    UserDefaults reread(host.userStore().path());
    EXPECT_TRUE(reread.boolForKey("autocreatingfolder"));
}

TEST_F(SettingsPanelTest, LanguageChoiceTakesEffectOnApplyOnly)
{
    panel.languageComboBox->setCurrentIndex(5);
    emit panel.languageComboBox->activated(5);
    EXPECT_EQ(host.view().lanuageSelector(), 5);
    EXPECT_TRUE(host.requests.empty());

    EXPECT_TRUE(panel.applySetting());
    EXPECT_EQ(host.requests, std::vector<std::string>{"retitle 5"});
    EXPECT_EQ(storedInteger("language"), 5);
    EXPECT_EQ(host.settings().preUsingSettingParam().lanuageSelector(), 5);

    host.requests.clear();
    panel.updateValueToUI();
    EXPECT_TRUE(panel.applySetting());
    EXPECT_TRUE(host.requests.empty()) << "same language, no retitling";
}

TEST_F(SettingsPanelTest, UndoReturnsToTheValuesLastAppliedEvenAfterDefault)
{
    panel.movieSavingSizeLimitTextField->setText("2000");
    panel.lTimesOfTakingHourRadioCell->click();
    EXPECT_TRUE(panel.applySetting());

    panel.updateValueToUI();
    panel.setDefaultSetting();
    EXPECT_EQ(panel.movieSavingSizeLimitTextField->text(), "1024");
    EXPECT_TRUE(panel.lTimesOfTakingMinuteRadioCell->isChecked());
    EXPECT_EQ(host.view().movieSavingSizeLimit(), 1024);

    panel.cancelSetting();
    EXPECT_EQ(host.view().movieSavingSizeLimit(), 2000);
    EXPECT_EQ(host.view().mTimeTypeOfTimesForTimedShot(), 1);
    panel.updateValueToUI();
    EXPECT_EQ(panel.movieSavingSizeLimitTextField->text(), "2000");
    EXPECT_TRUE(panel.lTimesOfTakingHourRadioCell->isChecked());
    EXPECT_EQ(storedInteger("moviesizemax"), 2000);

    // Apply after Default saves the factory values.
    panel.setDefaultSetting();
    EXPECT_TRUE(panel.applySetting());
    EXPECT_EQ(storedInteger("moviesizemax"), 1024);
    EXPECT_EQ(storedInteger("timetype_times_taking"), 0);
}

TEST_F(SettingsPanelTest, DefaultSelects640X480WithoutChangingTheCapture)
{
    panel.refillResolutionList();
    EXPECT_EQ(panel.resolutionComboBox->currentText(), "1280X1024");
    panel.setDefaultSetting();
    EXPECT_EQ(panel.resolutionComboBox->currentIndex(), 1);
    EXPECT_EQ(panel.resolutionComboBox->currentText(), "640X480");

    host.resolutions = {{1600, 1200}, {1280, 1024}};
    panel.refillResolutionList();
    panel.setDefaultSetting();
    EXPECT_EQ(panel.resolutionComboBox->currentIndex(), -1);
    EXPECT_EQ(panel.resolutionComboBox->currentText(), "640X480");
    EXPECT_EQ(panel.indexOfCaptureResolution({1280, 1024}), 1);
    EXPECT_EQ(panel.indexOfCaptureResolution({640, 480}), -1);
    EXPECT_TRUE(host.requests.empty()) << "the capture is not changed";
}

TEST_F(SettingsPanelTest, DeviceAndResolutionListsActAtOnce)
{
    panel.refillDeviceList();
    EXPECT_EQ(panel.deviceComboBox->count(), 2);
    EXPECT_EQ(panel.deviceComboBox->currentIndex(), 1);
    emit panel.deviceComboBox->activated(0);
    panel.refillResolutionList();
    emit panel.resolutionComboBox->activated(2);
    EXPECT_EQ(host.requests, (std::vector<std::string>{"device 0", "resolution 2"}));

    host.devices.clear();
    host.deviceText.clear();
    host.resolutions.clear();
    host.resolutionText.clear();
    panel.refillDeviceList();
    panel.refillResolutionList();
    EXPECT_EQ(panel.deviceComboBox->currentText(), "");
    EXPECT_EQ(panel.resolutionComboBox->currentText(), "");
}

TEST_F(SettingsPanelTest, FolderChooserFillsTheLocationOnOkOnly)
{
    QString offered;
    panel.setFolderChooser([&](QWidget *, const QString &start) {
        offered = start;
        return QString::fromStdString(host.folder("elsewhere"));
    });
    panel.lLocationButton->click();
    EXPECT_EQ(offered.toStdString(), host.folder("pictures"));
    EXPECT_EQ(panel.resourcesSavingLocationTextField->text().toStdString(),
              host.folder("elsewhere"));

    panel.setFolderChooser([](QWidget *, const QString &) { return QString(); });
    panel.lLocationButton->click();
    EXPECT_EQ(panel.resourcesSavingLocationTextField->text().toStdString(),
              host.folder("elsewhere"));
}

TEST_F(SettingsPanelTest, TheBuiltInFolderChooserOffersFoldersOnly)
{
    SettingsPanel fresh(host);
    fresh.updateValueToUI();
    bool seen = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QFileDialog *>(window); dialog && dialog->isVisible()) {
                seen = true;
                EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
                EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
                EXPECT_TRUE(dialog->isModal());
                EXPECT_EQ(dialog->directory().absolutePath().toStdString(),
                          host.folder("pictures"));
                dialog->reject();
            }
        }
    });
    fresh.getResourcesSavingLocation();
    EXPECT_TRUE(seen);
    EXPECT_EQ(fresh.resourcesSavingLocationTextField->text().toStdString(),
              host.folder("pictures"));
}

TEST_F(SettingsPanelTest, SetSettingRunsModallyOverTheMainWindowUntilApplyOrUndo)
{
    QWidget window;
    window.setGeometry(100, 80, 1400, 1000);
    window.show();
    host.window = &window;
    host.view().setMovieSavingSizeLimit(512); // the panel is filled when it opens
    bool checked = false;
    QTimer::singleShot(0, [&] {
        checked = true;
        EXPECT_TRUE(panel.isVisible());
        EXPECT_TRUE(panel.isModal());
        EXPECT_EQ(panel.movieSavingSizeLimitTextField->text(), "512");
        const QRect frame = panel.frameGeometry();
        EXPECT_EQ(frame.x(), window.frameGeometry().x() +
                                 (window.frameGeometry().width() - frame.width()) / 2);
        EXPECT_EQ(frame.y(), window.frameGeometry().y() +
                                 (window.frameGeometry().height() - frame.height()) / 2);
        panel.lCancelButton->click();
    });
    panel.setSetting();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(host.view().movieSavingSizeLimit(), 1024) << "Undo restored the applied value";

    QTimer::singleShot(0, [&] { panel.lApplyingButton->click(); });
    panel.setSetting();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(storedInteger("moviesizemax"), 1024);
}

TEST_F(SettingsPanelTest, CloseBoxIsUndo)
{
    panel.show();
    emit panel.languageComboBox->activated(3);
    panel.lShotsTakingPreDayRadioCell->click();
    EXPECT_EQ(host.view().lanuageSelector(), 3);
    EXPECT_TRUE(panel.close());
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(host.view().lanuageSelector(), 0);
    EXPECT_EQ(host.view().mTimeTypeOfShotsForTimedShot(), 0);
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(SettingsPanelTest, StoreThatCannotBeWrittenIsLoggedAndTheSettingsStayInForce)
{
    TempFolder folder;
    const std::string blocker = folder.write("blocker", "a file where a folder should be");
    UserDefaults unwritable(blocker + "/preferences.plist");
    host.store = &unwritable;
    ScopedLogCapture log;
    panel.movieSavingSizeLimitTextField->setText("700");
    EXPECT_TRUE(panel.applySetting());
    EXPECT_EQ(host.settings().preUsingSettingParam().movieSavingSizeLimit(), 700);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("failure to save the settings"), std::string::npos);
    EXPECT_EQ(varnolet::test::readFile(blocker), "a file where a folder should be");
}

TEST_F(SettingsPanelTest, LocationWhoseNameIsNoUtf8IsAppliedWithItsBytes)
{
    // "café" in Latin-1: the byte 0xE9 alone is no UTF-8 and cannot be shown as it is.
    const std::string latin1 = host.folder("caf\xE9");
    ASSERT_TRUE(std::filesystem::create_directories(latin1));
    {
        const auto lock = std::unique_lock(host.settingsLock());
        host.settings().usingSettingParam().setResourcesSavingLocation(latin1);
        host.settings().preUsingSettingParam().setResourcesSavingLocation(latin1);
    }
    panel.updateValueToUI();
    EXPECT_TRUE(panel.applySetting()) << "the folder is found although the field cannot show it";
    EXPECT_EQ(storedString("resourcespath"), latin1);
    EXPECT_TRUE(host.alerts.empty());

    // A location typed anew is taken as typed.
    panel.updateValueToUI();
    const std::string typed = host.folder("café");
    ASSERT_TRUE(std::filesystem::create_directories(typed));
    panel.resourcesSavingLocationTextField->setText(QString::fromUtf8(typed.c_str()));
    EXPECT_TRUE(panel.applySetting());
    EXPECT_EQ(storedString("resourcespath"), typed);
}
