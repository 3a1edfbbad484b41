#include "SettingDialogForm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "win/app/CSettingDlg.h"

namespace {

// A line edit wide enough for the given number of digits.
QLineEdit *numberEdit(QWidget *parent, int digits, bool digitsOnly)
{
    auto *edit = new QLineEdit(parent);
    const QFontMetrics metrics(edit->font());
    const int textWidth = metrics.horizontalAdvance(QString(digits, QLatin1Char('0')));
    edit->setMinimumWidth(textWidth + 16);
    edit->setMaximumWidth(textWidth + 24);
    if (digitsOnly) {
        // Typing accepts digits only, like a number edit; text put in by other means is
        // still checked on Apply.
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QComboBox *dropDownList(QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setEditable(false);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}

QPushButton *commandButton(QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

SettingDialogForm::SettingDialogForm(QDialog &dialog)
{
    // Device group.
    deviceGroup = new QGroupBox(&dialog);
    deviceLabel = new QLabel(deviceGroup);
    deviceList = dropDownList(deviceGroup);
    // Camera names can be long: the list keeps a sensible width and its pop-up shows them
    // in full.
    deviceList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    deviceList->setMinimumContentsLength(28);
    resolutionLabel = new QLabel(deviceGroup);
    resolutionList = dropDownList(deviceGroup);
    auto *deviceGrid = new QGridLayout(deviceGroup);
    deviceGrid->addWidget(deviceLabel, 0, 0);
    deviceGrid->addWidget(deviceList, 0, 1);
    deviceGrid->addWidget(resolutionLabel, 1, 0);
    deviceGrid->addWidget(resolutionList, 1, 1, Qt::AlignLeft);
    deviceGrid->setColumnStretch(1, 1);

    // Timed shot group: "Take: [n] shots per (o)minute (o)hour (o)day (max.n)" and
    // "For: [m] (o)minute(s) (o)hour(s) (o)day(s) (max.m)".
    timedShotGroup = new QGroupBox(&dialog);
    shotsFrontLabel = new QLabel(timedShotGroup);
    shotsEdit = numberEdit(timedShotGroup, 6, true);
    shotsLaterLabel = new QLabel(timedShotGroup);
    shotsUnitGroup = new QButtonGroup(&dialog);
    timesFrontLabel = new QLabel(timedShotGroup);
    timesEdit = numberEdit(timedShotGroup, 6, true);
    timesUnitGroup = new QButtonGroup(&dialog);
    for (int unit = 0; unit < 3; ++unit) {
        shotsUnitRadio[unit] = new QRadioButton(timedShotGroup);
        shotsUnitGroup->addButton(shotsUnitRadio[unit], unit);
        timesUnitRadio[unit] = new QRadioButton(timedShotGroup);
        timesUnitGroup->addButton(timesUnitRadio[unit], unit);
    }
    shotsRangeLabel = new QLabel(timedShotGroup);
    timesRangeLabel = new QLabel(timedShotGroup);
    auto *timedGrid = new QGridLayout(timedShotGroup);
    timedGrid->addWidget(shotsFrontLabel, 0, 0);
    timedGrid->addWidget(shotsEdit, 0, 1);
    timedGrid->addWidget(shotsLaterLabel, 0, 2);
    timedGrid->addWidget(timesFrontLabel, 1, 0);
    timedGrid->addWidget(timesEdit, 1, 1);
    for (int unit = 0; unit < 3; ++unit) {
        timedGrid->addWidget(shotsUnitRadio[unit], 0, 3 + unit);
        timedGrid->addWidget(timesUnitRadio[unit], 1, 3 + unit);
    }
    timedGrid->addWidget(shotsRangeLabel, 0, 6);
    timedGrid->addWidget(timesRangeLabel, 1, 6);
    timedGrid->setColumnStretch(6, 1);

    // Movie group.
    movieGroup = new QGroupBox(&dialog);
    movieSizeLabel = new QLabel(movieGroup);
    movieSizeList = dropDownList(movieGroup);
    maximumSizeFrontLabel = new QLabel(movieGroup);
    maximumSizeEdit = numberEdit(movieGroup, 6, false);
    maximumSizeLaterLabel = new QLabel(movieGroup);
    auto *movieGrid = new QGridLayout(movieGroup);
    movieGrid->addWidget(movieSizeLabel, 0, 0);
    movieGrid->addWidget(movieSizeList, 0, 1, 1, 2, Qt::AlignLeft);
    movieGrid->addWidget(maximumSizeFrontLabel, 1, 0);
    movieGrid->addWidget(maximumSizeEdit, 1, 1);
    movieGrid->addWidget(maximumSizeLaterLabel, 1, 2);
    movieGrid->setColumnStretch(2, 1);

    // Location group.
    locationGroup = new QGroupBox(&dialog);
    locationEdit = new QLineEdit(locationGroup);
    locationEdit->setMinimumWidth(QFontMetrics(locationEdit->font()).averageCharWidth() * 40);
    browseButton = commandButton(locationGroup);
    browseButton->setText(QStringLiteral("..."));
    browseButton->setMaximumWidth(
        QFontMetrics(browseButton->font()).horizontalAdvance(QStringLiteral("....")) + 24);
    folderLabel = new QLabel(locationGroup);
    folderList = dropDownList(locationGroup);
    auto *locationGrid = new QGridLayout(locationGroup);
    locationGrid->addWidget(locationEdit, 0, 0, 1, 2);
    locationGrid->addWidget(browseButton, 0, 2);
    locationGrid->addWidget(folderLabel, 1, 0);
    locationGrid->addWidget(folderList, 1, 1, 1, 2, Qt::AlignLeft);
    locationGrid->setColumnStretch(1, 1);

    // Language group.
    languageGroup = new QGroupBox(&dialog);
    languageList = dropDownList(languageGroup);
    auto *languageBox = new QHBoxLayout(languageGroup);
    languageBox->addWidget(languageList);
    languageBox->addStretch(1);

    // Right column.
    applyButton = commandButton(&dialog);
    applyButton->setDefault(true); // Enter applies (with all its checks)
    undoButton = commandButton(&dialog);
    moreButton = commandButton(&dialog);
    defaultButton = commandButton(&dialog);

    auto *left = new QVBoxLayout;
    for (QGroupBox *group : {deviceGroup, timedShotGroup, movieGroup, locationGroup, languageGroup})
        left->addWidget(group);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    for (QPushButton *button : {applyButton, undoButton, moreButton, defaultButton})
        right->addWidget(button);
    right->addStretch(1);
    auto *outer = new QHBoxLayout(&dialog);
    outer->addLayout(left, 1);
    outer->addLayout(right);
    // The dialog takes the size of its contents, again whenever a text changes.
    outer->setSizeConstraint(QLayout::SetFixedSize);

    registerControls();
}

void SettingDialogForm::registerControls()
{
    using D = CSettingDlg;
    m_controls = {
        {D::IDC_DEVICE_GROUP, deviceGroup},
        {D::IDC_DEVICE_LABEL, deviceLabel},
        {D::IDC_DEVICE_LIST, deviceList},
        {D::IDC_RESOLUTION_LABEL, resolutionLabel},
        {D::IDC_RESOLUTION_LIST, resolutionList},
        {D::IDC_TIMED_SHOT_GROUP, timedShotGroup},
        {D::IDC_SHOTS_FRONT_LABEL, shotsFrontLabel},
        {D::IDC_SHOTS_EDIT, shotsEdit},
        {D::IDC_SHOTS_LATER_LABEL, shotsLaterLabel},
        {D::IDC_SHOTS_MINUTE, shotsUnitRadio[0]},
        {D::IDC_SHOTS_HOUR, shotsUnitRadio[1]},
        {D::IDC_SHOTS_DAY, shotsUnitRadio[2]},
        {D::IDC_SHOTS_RANGE, shotsRangeLabel},
        {D::IDC_TIMES_FRONT_LABEL, timesFrontLabel},
        {D::IDC_TIMES_EDIT, timesEdit},
        {D::IDC_TIMES_MINUTE, timesUnitRadio[0]},
        {D::IDC_TIMES_HOUR, timesUnitRadio[1]},
        {D::IDC_TIMES_DAY, timesUnitRadio[2]},
        {D::IDC_TIMES_RANGE, timesRangeLabel},
        {D::IDC_MOVIE_GROUP, movieGroup},
        {D::IDC_MOVIE_SIZE_LABEL, movieSizeLabel},
        {D::IDC_MOVIE_SIZE_LIST, movieSizeList},
        {D::IDC_MAXIMUM_SIZE_FRONT_LABEL, maximumSizeFrontLabel},
        {D::IDC_MAXIMUM_SIZE_EDIT, maximumSizeEdit},
        {D::IDC_MAXIMUM_SIZE_LATER_LABEL, maximumSizeLaterLabel},
        {D::IDC_LOCATION_GROUP, locationGroup},
        {D::IDC_LOCATION_EDIT, locationEdit},
        {D::IDC_BROWSE, browseButton},
        {D::IDC_FOLDER_LABEL, folderLabel},
        {D::IDC_FOLDER_LIST, folderList},
        {D::IDC_LANGUAGE_GROUP, languageGroup},
        {D::IDC_LANGUAGE_LIST, languageList},
        {D::IDC_APPLY, applyButton},
        {D::IDC_UNDO, undoButton},
        {D::IDC_MORE, moreButton},
        {D::IDC_DEFAULT, defaultButton},
    };
    for (const auto &[id, widget] : m_controls)
        widget->setObjectName(QStringLiteral("IDC_%1").arg(id));
}

QWidget *SettingDialogForm::Control(int controlId) const
{
    const auto found = m_controls.find(controlId);
    return found == m_controls.end() ? nullptr : found->second;
}
