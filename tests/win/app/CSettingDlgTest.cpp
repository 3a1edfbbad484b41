#include "tests/win/app/CSettingDlgTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "win/common/ResourceNaming.h"

using D = CSettingDlg;
using varnolet::test::readFile;

namespace {

std::string messageText(const varnolet::RecordingMessagePresenter &recorder, size_t index = 0)
{
    const auto texts = recorder.texts();
    return index < texts.size() ? texts[index] : std::string("<no message>");
}

} // namespace

TEST_F(SettingDlgTest, StartShowsTheUsingSettingsAndTheHostsLists)
{
    D dialog(m_host, m_services, m_messages.box());
    EXPECT_EQ(m_host.dialog, &dialog);
    EXPECT_EQ(dialog.windowTitle().toStdString(), fileText("English.lproj", "ui_dlg_setting"));

    EXPECT_TRUE(control<QRadioButton>(dialog, D::IDC_SHOTS_MINUTE)->isChecked());
    EXPECT_TRUE(control<QRadioButton>(dialog, D::IDC_TIMES_HOUR)->isChecked());
    EXPECT_EQ(textOf(dialog, D::IDC_SHOTS_EDIT), "10");
    EXPECT_EQ(textOf(dialog, D::IDC_TIMES_EDIT), "2");
    EXPECT_EQ(control<QLabel>(dialog, D::IDC_SHOTS_RANGE)->text(), "(max. 300)");
    EXPECT_EQ(control<QLabel>(dialog, D::IDC_TIMES_RANGE)->text(), "(max. 720)");
    EXPECT_EQ(textOf(dialog, D::IDC_MAXIMUM_SIZE_EDIT), "512");
    EXPECT_EQ(textOf(dialog, D::IDC_LOCATION_EDIT).toStdString(), documents());
    EXPECT_EQ(control<QComboBox>(dialog, D::IDC_MOVIE_SIZE_LIST)->currentText(), "640X480");
    EXPECT_EQ(control<QComboBox>(dialog, D::IDC_FOLDER_LIST)->currentIndex(), 0);
    EXPECT_EQ(control<QComboBox>(dialog, D::IDC_FOLDER_LIST)->count(), 2);
    auto *languages = control<QComboBox>(dialog, D::IDC_LANGUAGE_LIST);
    ASSERT_EQ(languages->count(), 8);
    EXPECT_EQ(languages->currentIndex(), 0);
    EXPECT_EQ(languages->itemText(7).toStdString(),
              fileText("English.lproj", "ui_comobo_simplified_chiese"));

    auto *devices = control<QComboBox>(dialog, D::IDC_DEVICE_LIST);
    ASSERT_EQ(devices->count(), 2);
    EXPECT_EQ(devices->itemText(1), "Scope B");
    EXPECT_EQ(devices->currentIndex(), 0);
    auto *sizes = control<QComboBox>(dialog, D::IDC_RESOLUTION_LIST);
    ASSERT_EQ(sizes->count(), 3);
    EXPECT_EQ(sizes->currentText(), "640 X 480"); // the using capture size
    EXPECT_EQ(sizes->currentData().toUInt(), SettingSizeKey(640, 480));
    EXPECT_TRUE(m_messages->texts().empty());
}

TEST_F(SettingDlgTest, TheResolutionListFallsBackToItsFirstEntryAndFollowsTheHost)
{
    m_services.Settings().SetUsingCaptureSize(1024, 768);
    m_host.openPath.clear();
    {
        D dialog(m_host, m_services, m_messages.box());
        EXPECT_EQ(control<QComboBox>(dialog, D::IDC_DEVICE_LIST)->currentIndex(),
                  -1); // no camera open
        EXPECT_EQ(control<QComboBox>(dialog, D::IDC_RESOLUTION_LIST)->count(), 0);

        // A camera opened by the window, and one plugged in, while the dialog is open.
        m_host.openPath = m_host.cameras[1].path;
        dialog.RefillResolutionList();
        auto *sizes = control<QComboBox>(dialog, D::IDC_RESOLUTION_LIST);
        EXPECT_EQ(sizes->currentText(), "800 X 600"); // 1024 x 768 is not offered
        m_host.plug({"/dev/v4l/by-path/usb-0", "Scope C", {}, SettingSizeKey(640, 480)});
        auto *devices = control<QComboBox>(dialog, D::IDC_DEVICE_LIST);
        EXPECT_EQ(devices->count(), 3);
        EXPECT_EQ(devices->currentText(), "Scope B");
        EXPECT_TRUE(m_host.openCalls.empty()); // refills open nothing
    }
    EXPECT_EQ(m_host.dialog, nullptr); // unregistered with the dialog's end
    EXPECT_EQ(m_host.registrations, 2);
}

TEST_F(SettingDlgTest, MaximumSizeBoundsAreAccepted)
{
    for (const char *size : {"16", "4096"}) {
        D dialog(m_host, m_services, m_messages.box());
        setText(dialog, D::IDC_MAXIMUM_SIZE_EDIT, size);
        dialog.OnApply();
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << size;
        EXPECT_EQ(m_services.Settings().GetUsingSettings().movieSizeMax, std::stoi(size));
        EXPECT_NE(readFile(m_configPath).find(std::string("moviesizemax=") + size),
                  std::string::npos);
    }
    EXPECT_TRUE(m_messages->texts().empty());
}

TEST_F(SettingDlgTest, MaximumSizeOutsideTheRangeOrNotPlainIsRejectedWithTheFactoryValue)
{
    for (const char *size : {"15", "4097", "016", "", " 16", "16MB", "-16", "99999999999"}) {
        m_messages->clear();
        D dialog(m_host, m_services, m_messages.box());
        setText(dialog, D::IDC_MAXIMUM_SIZE_EDIT, size);
        dialog.OnApply();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << size;
        EXPECT_EQ(textOf(dialog, D::IDC_MAXIMUM_SIZE_EDIT), "1024") << size; // [defaultsetting]
        ASSERT_EQ(m_messages->count(), 1u) << size;
        EXPECT_EQ(messageText(*m_messages),
                  fileText("English.lproj", "ui_alert_movie_maxinum_file"));
        EXPECT_EQ(m_messages->messages()[0].caption, "Varnolet");

        // The value put back is accepted by the next Apply.
        dialog.OnApply();
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << size;
        EXPECT_EQ(m_services.Settings().GetUsingSettings().movieSizeMax, 1024);
        m_services.Settings().ApplySettings(
            m_services.Settings().GetPreviousSettings()); // back to 512 for the next round
    }
    EXPECT_EQ(D::MaximumSizeOfText("4096"), 4096);
    EXPECT_EQ(D::MaximumSizeOfText("0x10"), D::kInvalidMaximumSize);
}

TEST_F(SettingDlgTest, ShotsValueAboveTheHourMaximumIsRejectedAfterSwitchingTheUnit)
{
    D dialog(m_host, m_services, m_messages.box());
    clickRadio(dialog, D::IDC_SHOTS_HOUR);
    EXPECT_EQ(textOf(dialog, D::IDC_SHOTS_EDIT), "30"); // the hour range's own value
    EXPECT_EQ(control<QLabel>(dialog, D::IDC_SHOTS_RANGE)->text(), "(max. 60)");
    setText(dialog, D::IDC_SHOTS_EDIT, "200"); // within the minute's 300, above the hour's 60
    dialog.OnApply();

    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(m_messages->count(), 1u);
    EXPECT_EQ(messageText(*m_messages), fileText("English.lproj", "ui_alert_timed_shot_setting"));
    // The factory value: the default record's shots per minute; the valid run length stays.
    EXPECT_EQ(textOf(dialog, D::IDC_SHOTS_EDIT), "6");
    EXPECT_EQ(textOf(dialog, D::IDC_TIMES_EDIT), "2");
    EXPECT_EQ(m_services.Settings().GetUsingSettings().timedShot.shots[TimeUnitHour].current,
              30); // nothing applied
    EXPECT_EQ(m_services.Settings().GetUsingSettings().timedShot.shotsUnit, TimeUnitMinute);

    // The hour's maximum itself is accepted and stored with its unit.
    setText(dialog, D::IDC_SHOTS_EDIT, "60");
    dialog.OnApply();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const SettingValues applied = m_services.Settings().GetUsingSettings();
    EXPECT_EQ(applied.timedShot.shotsUnit, TimeUnitHour);
    EXPECT_EQ(applied.timedShot.shots[TimeUnitHour].current, 60);
    EXPECT_EQ(applied.timedShot.shots[TimeUnitMinute].current,
              10); // the other unit keeps its value
    const std::string file = readFile(m_configPath);
    EXPECT_NE(file.find("timetype_takingshots_pretime=1\n"), std::string::npos);
    EXPECT_NE(file.find("shots_pertime=60\n"), std::string::npos);
}

TEST_F(SettingDlgTest, NumberEditsThatAreNotPlainNumbersAreRejected)
{
    D dialog(m_host, m_services, m_messages.box());
    // Switching the unit back and forth discards what was typed.
    setText(dialog, D::IDC_SHOTS_EDIT, "42");
    clickRadio(dialog, D::IDC_SHOTS_DAY);
    clickRadio(dialog, D::IDC_SHOTS_MINUTE);
    EXPECT_EQ(textOf(dialog, D::IDC_SHOTS_EDIT), "10");

    for (const auto &[shots, times] : std::vector<std::pair<QString, QString>>{
             {"016", "2"}, {"10", "abc"}, {"", "2"}, {"0", "2"}, {"10", "721"}}) {
        m_messages->clear();
        setText(dialog, D::IDC_SHOTS_EDIT, shots);
        setText(dialog, D::IDC_TIMES_EDIT, times);
        dialog.OnApply();
        EXPECT_NE(dialog.result(), QDialog::Accepted)
            << shots.toStdString() << " " << times.toStdString();
        EXPECT_EQ(messageText(*m_messages),
                  fileText("English.lproj", "ui_alert_timed_shot_setting"));
        // Only the offending value goes back to its factory value (6 shots, 60 minutes).
        EXPECT_EQ(textOf(dialog, D::IDC_SHOTS_EDIT), shots == "10" ? "10" : "6");
        EXPECT_EQ(textOf(dialog, D::IDC_TIMES_EDIT), times == "2" ? "2" : "60");
    }
    EXPECT_EQ(m_services.Settings().GetUsingSettings(),
              m_services.Settings().GetPreviousSettings()); // nothing was applied
}

TEST_F(SettingDlgTest, SavingLocationIsNormalisedAndMustExist)
{
    m_home.makeFolder("pictures");
    {
        D dialog(m_host, m_services, m_messages.box());
        setText(dialog, D::IDC_LOCATION_EDIT,
                QString::fromStdString(m_home.path() + "/pictures//"));
        dialog.OnApply();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        const SettingValues applied = m_services.Settings().GetUsingSettings();
        EXPECT_EQ(applied.resourcesPath, m_home.path() + "/pictures");
        EXPECT_EQ(applied.resourcesRoot, m_home.path() + "/pictures/Varnolet");
        EXPECT_NE(readFile(m_configPath).find("resourcespath=" + m_home.path() + "/pictures\n"),
                  std::string::npos);
        // The resource folders are made at once.
        EXPECT_TRUE(varnolet::test::fileExists(MoviesFolder(applied)));
        EXPECT_TRUE(varnolet::test::fileExists(SingleShotsFolder(applied)));
    }
    m_home.write("a-file", "not a folder");
    for (const std::string &missing :
         {m_home.path() + "/missing/", m_home.path() + "/a-file", std::string()}) {
        m_messages->clear();
        D dialog(m_host, m_services, m_messages.box());
        setText(dialog, D::IDC_LOCATION_EDIT, QString::fromStdString(missing));
        dialog.OnApply();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << missing;
        ASSERT_EQ(m_messages->count(), 1u);
        std::string expected = fileText("English.lproj", "ui_alert_not_exist_resource_location");
        std::string normalised = missing;
        while (normalised.size() > 1 && normalised.back() == '/')
            normalised.pop_back();
        expected.replace(expected.find("%s"), 2, normalised);
        EXPECT_EQ(messageText(*m_messages), expected);
        EXPECT_EQ(textOf(dialog, D::IDC_LOCATION_EDIT).toStdString(), documents()); // factory path
    }
}

TEST_F(SettingDlgTest, DefaultThenUndoChangesNothing)
{
    const std::string before = readFile(m_configPath);
    const SettingValues using_ = m_services.Settings().GetUsingSettings();
    const SettingValues previous = m_services.Settings().GetPreviousSettings();
    D dialog(m_host, m_services, m_messages.box());
    dialog.OnDefault();
    // The controls show the factory values...
    EXPECT_EQ(textOf(dialog, D::IDC_MAXIMUM_SIZE_EDIT), "1024");
    EXPECT_EQ(textOf(dialog, D::IDC_SHOTS_EDIT), "6");
    EXPECT_EQ(textOf(dialog, D::IDC_TIMES_EDIT), "60");
    EXPECT_TRUE(control<QRadioButton>(dialog, D::IDC_TIMES_MINUTE)->isChecked());
    EXPECT_EQ(control<QComboBox>(dialog, D::IDC_RESOLUTION_LIST)->currentText(), "640 X 480");
    // ...and Undo leaves without saving them.
    control<QPushButton>(dialog, D::IDC_UNDO)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(m_services.Settings().GetUsingSettings(), using_);
    EXPECT_EQ(m_services.Settings().GetPreviousSettings(), previous);
    EXPECT_EQ(readFile(m_configPath), before);
    EXPECT_TRUE(m_host.openCalls.empty());
}

TEST_F(SettingDlgTest, ApplyRewritesOnlyTheUsingSection)
{
    const std::string before = readFile(m_configPath);
    D dialog(m_host, m_services, m_messages.box());
    setText(dialog, D::IDC_MAXIMUM_SIZE_EDIT, "2048");
    control<QComboBox>(dialog, D::IDC_FOLDER_LIST)->setCurrentIndex(1);
    control<QComboBox>(dialog, D::IDC_MOVIE_SIZE_LIST)->setCurrentIndex(0);
    control<QComboBox>(dialog, D::IDC_RESOLUTION_LIST)->setCurrentIndex(2);
    control<QPushButton>(dialog, D::IDC_APPLY)->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);

    const std::string after = readFile(m_configPath);
    for (const char *kept :
         {"; Varnolet test configuration\n", "[oem]\ncompanyname=Hollenby Industries Ltd\n",
          "maxshots_perhour_taking=60\n", "[defaultsetting]\nresourcespath=default\n",
          "moviesizemax=1024\nlanguage=-1\n", "extra_key=kept\n", "[later]\nnote=also kept\n"})
        EXPECT_NE(after.find(kept), std::string::npos) << kept;
    const size_t section = after.find("[usingsetting]");
    ASSERT_NE(section, std::string::npos);
    const std::string usingPart = after.substr(section, after.find("[later]") - section);
    for (const char *line : {"resourcespath=default\n", "autocreatingfolder=1\n",
                             "movieresolution=0\n", "moviesizemax=2048\n", "language=0\n",
                             "timetype_times_taking=1\n", "times_takingtimedshots=2\n"})
        EXPECT_NE(usingPart.find(line), std::string::npos) << line;

    // The store rotated, with the chosen capture size (never written to the file).
    const SettingValues applied = m_services.Settings().GetUsingSettings();
    EXPECT_EQ(applied.captureWidth, 1280);
    EXPECT_EQ(applied.captureHeight, 720);
    EXPECT_EQ(m_services.Settings().GetPreviousSettings().captureWidth, 640);
    EXPECT_EQ(after.find("1280"), std::string::npos);
    EXPECT_NE(before, after);
}

TEST_F(SettingDlgTest, DuringARecordingOnlyTheSafeControlsStayUsable)
{
    m_host.recording = true;
    D dialog(m_host, m_services, m_messages.box());
    for (int id : {D::IDC_LOCATION_EDIT, D::IDC_BROWSE, D::IDC_MAXIMUM_SIZE_EDIT,
                   D::IDC_MOVIE_SIZE_LIST, D::IDC_DEFAULT, D::IDC_DEVICE_LIST,
                   D::IDC_RESOLUTION_LIST, D::IDC_SHOTS_EDIT, D::IDC_TIMES_EDIT})
        EXPECT_FALSE(dialog.Control(id)->isEnabled()) << id;
    for (int id : {D::IDC_SHOTS_MINUTE, D::IDC_SHOTS_HOUR, D::IDC_SHOTS_DAY, D::IDC_TIMES_MINUTE,
                   D::IDC_TIMES_HOUR, D::IDC_TIMES_DAY, D::IDC_LANGUAGE_LIST, D::IDC_FOLDER_LIST,
                   D::IDC_APPLY, D::IDC_UNDO, D::IDC_MORE})
        EXPECT_TRUE(dialog.Control(id)->isEnabled()) << id;

    control<QComboBox>(dialog, D::IDC_LANGUAGE_LIST)->setCurrentIndex(4);
    control<QComboBox>(dialog, D::IDC_FOLDER_LIST)->setCurrentIndex(1);
    control<QComboBox>(dialog, D::IDC_RESOLUTION_LIST)->setCurrentIndex(0); // not the user's doing
    dialog.OnApply();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const SettingValues applied = m_services.Settings().GetUsingSettings();
    EXPECT_EQ(applied.language, 4);
    EXPECT_EQ(applied.autoCreatingFolder, 1);
    EXPECT_EQ(applied.movieSizeMax, 512);
    // The camera is not reopened under the recording.
    EXPECT_EQ(applied.captureWidth, m_services.Settings().GetPreviousSettings().captureWidth);
    EXPECT_EQ(applied.captureHeight, m_services.Settings().GetPreviousSettings().captureHeight);
}

TEST_F(SettingDlgTest, TheUsersDefaultLanguageIsStoredAsItsIndex)
{
    setenv("LANGUAGE", "de_DE", 1);
    loadConfig("language=-1\n");
    D dialog(m_host, m_services, m_messages.box());
    EXPECT_EQ(control<QComboBox>(dialog, D::IDC_LANGUAGE_LIST)->currentIndex(), 3);
    EXPECT_EQ(dialog.windowTitle().toStdString(), fileText("German.lproj", "ui_dlg_setting"));
    dialog.OnApply();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_services.Settings().GetUsingSettings().language, 3);
    EXPECT_NE(readFile(m_configPath).find("language=3\n"), std::string::npos);
}

TEST_F(SettingDlgTest, SwitchingTheLanguageReloadsTheFilesAndRetitlesTheWindow)
{
    // What the window does after each run: re-read its texts.
    QLabel windowTitle;
    const auto runDialog = [&](int language) {
        D dialog(m_host, m_services, m_messages.box());
        control<QComboBox>(dialog, D::IDC_LANGUAGE_LIST)->setCurrentIndex(language);
        dialog.OnApply();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        windowTitle.setText(QString::fromStdString(
            m_services.GetLanguageString("ui_view_btn_settings", "Settings", m_messages.box())));
    };
    runDialog(3);
    EXPECT_EQ(m_services.Languages().LoadedIndex(), 3);
    EXPECT_EQ(windowTitle.text().toStdString(), fileText("German.lproj", "ui_view_btn_settings"));
    runDialog(1);
    EXPECT_EQ(m_services.Languages().LoadedIndex(), 1);
    EXPECT_EQ(windowTitle.text().toStdString(), fileText("French.lproj", "ui_view_btn_settings"));
    {
        D dialog(m_host, m_services, m_messages.box()); // and the next dialog speaks French too
        EXPECT_EQ(dialog.windowTitle().toStdString(), fileText("French.lproj", "ui_dlg_setting"));
        EXPECT_EQ(control<QPushButton>(dialog, D::IDC_APPLY)->text().toStdString(),
                  fileText("French.lproj", "ui_setting_btn_apply"));
    }
    EXPECT_NE(fileText("German.lproj", "ui_view_btn_settings"),
              fileText("French.lproj", "ui_view_btn_settings"));
    EXPECT_TRUE(m_messages->texts().empty()); // both files were found
}

TEST_F(SettingDlgTest, PickingAnotherCameraOpensItAtOnceAndUndoKeepsIt)
{
    D dialog(m_host, m_services, m_messages.box());
    auto *devices = control<QComboBox>(dialog, D::IDC_DEVICE_LIST);
    devices->setCurrentIndex(0);
    emit devices->activated(0); // the open one: nothing happens
    EXPECT_TRUE(m_host.openCalls.empty());

    devices->setCurrentIndex(1);
    emit devices->activated(1);
    ASSERT_EQ(m_host.openCalls.size(), 1u);
    EXPECT_EQ(m_host.openCalls[0], std::make_tuple(1, 0, 0));
    auto *sizes = control<QComboBox>(dialog, D::IDC_RESOLUTION_LIST);
    ASSERT_EQ(sizes->count(), 2);
    EXPECT_EQ(sizes->currentText(), "1600 X 1200"); // the size the new camera delivers

    control<QPushButton>(dialog, D::IDC_UNDO)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(m_host.openPath, m_host.cameras[1].path);
    EXPECT_EQ(m_host.openCalls.size(), 1u);
    EXPECT_EQ(m_services.Settings().GetUsingSettings().captureWidth,
              1600); // the window's own update, not the dialog's
}

TEST_F(SettingDlgTest, MoreHidesTheDialogWhileTheCameraControlsShowInAModalRun)
{
    D dialog(m_host, m_services, m_messages.box());
    std::optional<bool> visibleAfter;
    QTimer::singleShot(0, &dialog, [&] {
        control<QPushButton>(dialog, D::IDC_MORE)->click();
        visibleAfter = dialog.isVisible();
        control<QPushButton>(dialog, D::IDC_UNDO)->click();
    });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(99); }); // never reached when it works
    const int result = dialog.exec();
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(m_host.propertiesShown, 1);
    EXPECT_EQ(m_host.visibleDuringProperties, std::optional<bool>(false));
    EXPECT_EQ(visibleAfter, std::optional<bool>(true)); // back, and still running
}

TEST_F(SettingDlgTest, TheFolderChooserReplacesTheLocationUnlessCancelled)
{
    D dialog(m_host, m_services, m_messages.box());
    QString title;
    QString start;
    QString answer = QStringLiteral("/media/scope/pictures");
    dialog.SetFolderChooser([&](QWidget *owner, const QString &t, const QString &s) {
        EXPECT_EQ(owner, &dialog);
        title = t;
        start = s;
        return answer;
    });
    control<QPushButton>(dialog, D::IDC_BROWSE)->click();
    EXPECT_EQ(title, QStringLiteral("所选择路径:   "));
    EXPECT_EQ(start.toStdString(), documents());
    EXPECT_EQ(textOf(dialog, D::IDC_LOCATION_EDIT), answer);
    answer.clear();
    control<QPushButton>(dialog, D::IDC_BROWSE)->click();
    EXPECT_EQ(textOf(dialog, D::IDC_LOCATION_EDIT), QStringLiteral("/media/scope/pictures"));
}

TEST_F(SettingDlgTest, UnitsOutsideTheKnownOnesAreShownAsTheFactoryUnitsAndApplyWorks)
{
    // A file with units 5 and 7 is read as the factory's units (the file keeps its text
    // until Apply), so the dialog shows valid values and Apply does not refuse.
    loadConfig("timetype_takingshots_pretime=5\nshots_pertime=10\ntimetype_times_taking=7\n"
               "times_takingtimedshots=2\n");
    const SettingValues factory = m_services.Settings().GetDefaultSettings();
    EXPECT_EQ(m_services.Settings().GetUsingSettings().timedShot.shotsUnit,
              factory.timedShot.shotsUnit);
    EXPECT_EQ(m_services.Settings().GetUsingSettings().timedShot.timesUnit,
              factory.timedShot.timesUnit);
    D dialog(m_host, m_services, m_messages.box());
    const int shotsRadios[] = {D::IDC_SHOTS_MINUTE, D::IDC_SHOTS_HOUR, D::IDC_SHOTS_DAY};
    const int timesRadios[] = {D::IDC_TIMES_MINUTE, D::IDC_TIMES_HOUR, D::IDC_TIMES_DAY};
    for (int unit = 0; unit < kTimeUnitCount; ++unit) {
        EXPECT_EQ(control<QRadioButton>(dialog, shotsRadios[unit])->isChecked(),
                  unit == factory.timedShot.shotsUnit);
        EXPECT_EQ(control<QRadioButton>(dialog, timesRadios[unit])->isChecked(),
                  unit == factory.timedShot.timesUnit);
    }
    dialog.OnApply();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_messages->count(), 0u) << messageText(*m_messages);
    EXPECT_TRUE(IsTimedShotSettingValid(m_services.Settings().GetUsingSettings()));
}

TEST_F(SettingDlgTest, SavingLocationWhoseNameIsNoUtf8IsAppliedWithItsBytes)
{
    // "café" in Latin-1: the byte 0xE9 alone is no UTF-8 and cannot be shown as it is.
    const std::string latin1 = m_home.path() + "/caf\xE9";
    m_home.makeFolder("caf\xE9");
    loadConfig("resourcespath=" + latin1 + "\n");
    ASSERT_EQ(m_services.Settings().GetUsingSettings().resourcesPath, latin1);
    D dialog(m_host, m_services, m_messages.box());
    dialog.OnApply();
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << "found although the edit cannot show it";
    EXPECT_EQ(m_services.Settings().GetUsingSettings().resourcesPath, latin1);
    EXPECT_NE(readFile(m_configPath).find("resourcespath=" + latin1 + "\n"), std::string::npos);
    EXPECT_EQ(m_messages->count(), 0u);
}
