#pragma once

// Layout checks shared by the dialogs' tests: every text fits its control and no two
// controls of one parent overlap.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

namespace varnolet::test {

// Every text under root fits its control: labels and button texts by their font's
// metrics (beside a radio's indicator, inside a push button's frame), group titles, the
// lists' entries beside the drop-down arrow and the fields' texts. Controls named in
// skipped are left out (lists of camera names, fields of long paths: their pop-up or
// scrolling shows them whole).
inline void expectTextsFit(const QWidget &root, const std::string &context,
                           const std::vector<QString> &skipped = {})
{
    auto isSkipped = [&](const QObject *object) {
        return std::find(skipped.begin(), skipped.end(), object->objectName()) != skipped.end();
    };
    for (const QLabel *label : root.findChildren<QLabel *>()) {
        if (isSkipped(label) || !label->pixmap().isNull())
            continue;
        const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
        EXPECT_LE(needed, label->contentsRect().width())
            << context << ": label " << label->objectName().toStdString() << " \""
            << label->text().toStdString() << "\"";
        EXPECT_GE(label->height(), QFontMetrics(label->font()).height()) << context;
    }
    for (const QAbstractButton *button : root.findChildren<QAbstractButton *>()) {
        if (isSkipped(button))
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool push = qobject_cast<const QPushButton *>(button) != nullptr;
        const QRect contents = button->style()->subElementRect(
            push ? QStyle::SE_PushButtonContents : QStyle::SE_RadioButtonContents, &option, button);
        EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), contents.width())
            << context << ": button " << button->objectName().toStdString() << " \""
            << button->text().toStdString() << "\"";
    }
    for (const QGroupBox *group : root.findChildren<QGroupBox *>()) {
        EXPECT_LT(QFontMetrics(group->font()).horizontalAdvance(group->title()), group->width())
            << context << ": group \"" << group->title().toStdString() << "\"";
    }
    for (const QComboBox *list : root.findChildren<QComboBox *>()) {
        if (isSkipped(list))
            continue;
        const QFontMetrics metrics(list->font());
        for (int i = 0; i < list->count(); ++i) {
            // The entry's text beside the drop-down arrow (about two text heights wide).
            EXPECT_LE(metrics.horizontalAdvance(list->itemText(i)) + 2 * metrics.height(),
                      list->width())
                << context << ": list " << list->objectName().toStdString() << " entry \""
                << list->itemText(i).toStdString() << "\"";
        }
    }
    for (const QLineEdit *field : root.findChildren<QLineEdit *>()) {
        if (isSkipped(field) || isSkipped(field->parent()))
            continue;
        const QFontMetrics metrics(field->font());
        // The field's frame and inner margins take about one text height.
        EXPECT_LE(metrics.horizontalAdvance(field->text()) + metrics.height(), field->width())
            << context << ": field " << field->objectName().toStdString() << " \""
            << field->text().toStdString() << "\"";
    }
}

// No two visible controls of one parent overlap, and each lies inside its parent.
inline void expectNoOverlap(const QWidget &parent, const std::string &context)
{
    std::vector<const QWidget *> children;
    for (const QWidget *child : parent.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow())
            children.push_back(child);
    }
    for (size_t i = 0; i < children.size(); ++i) {
        EXPECT_TRUE(parent.rect().contains(children[i]->geometry()))
            << context << ": " << children[i]->objectName().toStdString() << " outside its parent";
        for (size_t j = i + 1; j < children.size(); ++j) {
            EXPECT_FALSE(children[i]->geometry().intersects(children[j]->geometry()))
                << context << ": " << children[i]->objectName().toStdString() << " overlaps "
                << children[j]->objectName().toStdString();
        }
    }
}

} // namespace varnolet::test
