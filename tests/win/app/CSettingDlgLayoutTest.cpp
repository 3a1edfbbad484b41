#include "tests/win/app/CSettingDlgTestSupport.h"
#include "tests/support/LayoutChecks.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>

using D = CSettingDlg;
using varnolet::test::expectNoOverlap;
using varnolet::test::expectTextsFit;

TEST_F(SettingDlgTest, NoTextIsClippedAndNoControlsOverlapInAnyLanguage)
{
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::string folder = LanguageAt(language).folder;
        loadConfig("language=" + std::to_string(language) +
                   "\nresourcespath=/media/microscope/pictures\n");
        D dialog(m_host, m_services, m_messages.box());
        // The widest values the range labels can show.
        clickRadio(dialog, D::IDC_SHOTS_DAY);
        clickRadio(dialog, D::IDC_TIMES_DAY);
        dialog.show();
        QApplication::processEvents();
        ASSERT_EQ(dialog.windowTitle().toStdString(), fileText(folder, "ui_dlg_setting")) << folder;

        // Camera names may be longer than the list; its pop-up shows them whole.
        expectTextsFit(dialog, folder, {QStringLiteral("IDC_%1").arg(D::IDC_DEVICE_LIST)});
        expectNoOverlap(dialog, folder);
        for (const QGroupBox *group : dialog.findChildren<QGroupBox *>())
            expectNoOverlap(*group, folder);

        // The dialog stays a dialog: it fits a small laptop screen.
        EXPECT_LE(dialog.width(), 1024) << folder;
        EXPECT_LE(dialog.height(), 700) << folder;

        const QString picture = QDir::temp().filePath(
            QStringLiteral("settings-%1.png").arg(QString::fromStdString(folder)));
        EXPECT_TRUE(dialog.grab().save(picture)) << picture.toStdString();
    }
    EXPECT_TRUE(m_messages->texts().empty()); // every language file was found and read
}
