#include "tests/win/app/CSettingDlgTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

using D = CSettingDlg;

namespace {

// Every text of the dialog fits its control, in every language: labels and button texts
// by their font's metrics, group titles, and the lists' entries.
void expectTextsFit(const CSettingDlg &dialog, const std::string &language)
{
    for (const QLabel *label : dialog.findChildren<QLabel *>()) {
        const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
        EXPECT_LE(needed, label->contentsRect().width())
            << language << ": label " << label->objectName().toStdString() << " \""
            << label->text().toStdString() << "\"";
        EXPECT_GE(label->height(), QFontMetrics(label->font()).height()) << language;
    }
    for (const QAbstractButton *button : dialog.findChildren<QAbstractButton *>()) {
        // The text must fit the part of the button the style keeps for it (beside a radio's
        // indicator, inside a push button's frame).
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool push = qobject_cast<const QPushButton *>(button) != nullptr;
        const QRect contents = button->style()->subElementRect(
            push ? QStyle::SE_PushButtonContents : QStyle::SE_RadioButtonContents, &option, button);
        EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), contents.width())
            << language << ": button " << button->objectName().toStdString() << " \""
            << button->text().toStdString() << "\"";
    }
    for (const QGroupBox *group : dialog.findChildren<QGroupBox *>()) {
        EXPECT_LT(QFontMetrics(group->font()).horizontalAdvance(group->title()), group->width())
            << language << ": group \"" << group->title().toStdString() << "\"";
    }
    for (const QComboBox *list : dialog.findChildren<QComboBox *>()) {
        if (list->objectName() == QStringLiteral("IDC_%1").arg(D::IDC_DEVICE_LIST))
            continue; // camera names may be longer than the list; its pop-up shows them whole
        for (int i = 0; i < list->count(); ++i) {
            // The entry's text beside the drop-down arrow (about two text heights wide).
            const QFontMetrics metrics(list->font());
            EXPECT_LE(metrics.horizontalAdvance(list->itemText(i)) + 2 * metrics.height(),
                      list->width())
                << language << ": list entry \"" << list->itemText(i).toStdString() << "\"";
        }
    }
}

// No two controls of one parent overlap, and each lies inside its parent.
void expectNoOverlap(const QWidget &parent, const std::string &language)
{
    std::vector<const QWidget *> children;
    for (const QWidget *child : parent.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow())
            children.push_back(child);
    }
    for (size_t i = 0; i < children.size(); ++i) {
        EXPECT_TRUE(parent.rect().contains(children[i]->geometry()))
            << language << ": " << children[i]->objectName().toStdString() << " outside its parent";
        for (size_t j = i + 1; j < children.size(); ++j) {
            EXPECT_FALSE(children[i]->geometry().intersects(children[j]->geometry()))
                << language << ": " << children[i]->objectName().toStdString() << " overlaps "
                << children[j]->objectName().toStdString();
        }
    }
}

} // namespace

TEST_F(SettingDlgTest, NoTextIsClippedAndNoControlsOverlapInAnyLanguage)
{
    for (int language = 0; language < kLanguageCount; ++language) {
        const std::string folder = LanguageAt(language).folder;
        loadConfig("language=" + std::to_string(language) +
                   "\nresourcespath=/media/microscope/pictures\n");
        D dialog(m_host);
        // The widest values the range labels can show.
        clickRadio(dialog, D::IDC_SHOTS_DAY);
        clickRadio(dialog, D::IDC_TIMES_DAY);
        dialog.show();
        QApplication::processEvents();
        ASSERT_EQ(dialog.windowTitle().toStdString(), fileText(folder, "ui_dlg_setting")) << folder;

        expectTextsFit(dialog, folder);
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
