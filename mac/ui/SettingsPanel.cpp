#include "mac/ui/SettingsPanel.h"

#include <sys/stat.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWindow>

#include "mac/controller/AppController.h"
#include "mac/core/AppControllerSettings.h"
#include "mac/ui/PanelPlacement.h"
#include "mac/ui/PanelText.h"
#include "mac/core/PropertyList.h"
#include "mac/core/SettingParams.h"
#include "mac/ui/SettingsPanelHost.h"
#include "mac/core/SystemLog.h"
#include "mac/core/UserDefaults.h"
#include "platform/system/PathText.h"

namespace {

constexpr int kMinimumMovieSize = 16;
constexpr int kMaximumMovieSize = 4096;

QString defaultFolderChooser(QWidget *parent, const QString &start)
{
    QFileDialog dialog(parent, QString(), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// Wide enough for the widest value the field takes, whatever the language.
QLineEdit *numberField(QWidget *parent, const char *name, int digits)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    const QFontMetrics metrics(field->font());
    field->setFixedWidth(metrics.horizontalAdvance(QString(digits, QLatin1Char('0'))) +
                         2 * metrics.height());
    return field;
}

// The shown unit cell of a stored unit: 1 the hour cell, 0 the minute cell, any other
// value the day cell.
int unitCell(int32_t unit)
{
    return unit == 0 || unit == 1 ? unit : 2;
}

} // namespace

SettingsPanel::SettingsPanel(SettingsPanelHost &host, QWidget *parent)
    : QDialog(parent)
    , m_host(host)
    , m_folderChooser(defaultFolderChooser)
{
    setObjectName(QStringLiteral("mSettingDlg"));
    setModal(true);
    buildForm();
    connectActions();
    refillLanguageList();
    retitleTexts();
    retitleTitle();
}

void SettingsPanel::buildForm()
{
    auto named = [](auto *widget, const char *name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };

    deviceBox = named(new QGroupBox(this), "deviceBox");
    deviceLab = named(new QLabel(deviceBox), "deviceLab");
    deviceComboBox = named(new QComboBox(deviceBox), "deviceComboBox");
    resolutionLab = named(new QLabel(deviceBox), "resolutionLab");
    resolutionComboBox = named(new QComboBox(deviceBox), "resolutionComboBox");
    lUploadButton = named(new QPushButton(deviceBox), "lUploadButton");
    // Both lists show a text of their own when no entry stands for it ("640X480" after
    // Default on a camera without that size), as a combo box with a read-only field does.
    for (QComboBox *list : {deviceComboBox, resolutionComboBox}) {
        list->setEditable(true);
        list->lineEdit()->setReadOnly(true);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    deviceComboBox->setMinimumContentsLength(24);
    resolutionComboBox->setMinimumContentsLength(10);
    auto *deviceGrid = new QGridLayout(deviceBox);
    deviceGrid->addWidget(deviceLab, 0, 0);
    deviceGrid->addWidget(deviceComboBox, 0, 1, 1, 2);
    deviceGrid->addWidget(resolutionLab, 1, 0);
    deviceGrid->addWidget(resolutionComboBox, 1, 1);
    deviceGrid->addWidget(lUploadButton, 1, 2, Qt::AlignRight);
    deviceGrid->setColumnStretch(1, 1);

    timedShotBox = named(new QGroupBox(this), "timedShotBox");
    shotsFrontLab = named(new QLabel(timedShotBox), "shotsFrontLab");
    shotsForMinuteTextField = numberField(timedShotBox, "shotsForMinuteTextField", 6);
    shotsLaterLab = named(new QLabel(timedShotBox), "shotsLaterLab");
    lShotsTakingPreMinuteRadioCell =
        named(new QRadioButton(timedShotBox), "lShotsTakingPreMinuteRadioCell");
    lShotsTakingPreHourRadioCell =
        named(new QRadioButton(timedShotBox), "lShotsTakingPreHourRadioCell");
    lShotsTakingPreDayRadioCell =
        named(new QRadioButton(timedShotBox), "lShotsTakingPreDayRadioCell");
    lShotsTakingPreTimeRangeLab = named(new QLabel(timedShotBox), "lShotsTakingPreTimeRangeLab");
    timesFrontLab = named(new QLabel(timedShotBox), "timesFrontLab");
    minutesForShotTextField = numberField(timedShotBox, "minutesForShotTextField", 6);
    lTimesOfTakingMinuteRadioCell =
        named(new QRadioButton(timedShotBox), "lTimesOfTakingMinuteRadioCell");
    lTimesOfTakingHourRadioCell =
        named(new QRadioButton(timedShotBox), "lTimesOfTakingHourRadioCell");
    lTimesOfTakingDayRaidoCell =
        named(new QRadioButton(timedShotBox), "lTimesOfTakingDayRaidoCell");
    lTimesOfRangeLab = named(new QLabel(timedShotBox), "lTimesOfRangeLab");
    m_shotsUnits = new QButtonGroup(this);
    m_timesUnits = new QButtonGroup(this);
    m_shotsUnits->addButton(lShotsTakingPreMinuteRadioCell, 0);
    m_shotsUnits->addButton(lShotsTakingPreHourRadioCell, 1);
    m_shotsUnits->addButton(lShotsTakingPreDayRadioCell, 2);
    m_timesUnits->addButton(lTimesOfTakingMinuteRadioCell, 0);
    m_timesUnits->addButton(lTimesOfTakingHourRadioCell, 1);
    m_timesUnits->addButton(lTimesOfTakingDayRaidoCell, 2);
    // Each row: text, field, text, then the unit cells under each other in both rows.
    auto *timedGrid = new QGridLayout(timedShotBox);
    timedGrid->addWidget(shotsFrontLab, 0, 0);
    timedGrid->addWidget(shotsForMinuteTextField, 0, 1);
    timedGrid->addWidget(shotsLaterLab, 0, 2);
    timedGrid->addWidget(lShotsTakingPreMinuteRadioCell, 0, 3);
    timedGrid->addWidget(lShotsTakingPreHourRadioCell, 0, 4);
    timedGrid->addWidget(lShotsTakingPreDayRadioCell, 0, 5);
    timedGrid->addWidget(lShotsTakingPreTimeRangeLab, 0, 6);
    timedGrid->addWidget(timesFrontLab, 1, 0);
    timedGrid->addWidget(minutesForShotTextField, 1, 1);
    timedGrid->addWidget(lTimesOfTakingMinuteRadioCell, 1, 3);
    timedGrid->addWidget(lTimesOfTakingHourRadioCell, 1, 4);
    timedGrid->addWidget(lTimesOfTakingDayRaidoCell, 1, 5);
    timedGrid->addWidget(lTimesOfRangeLab, 1, 6);
    timedGrid->setColumnStretch(6, 1);

    movieBox = named(new QGroupBox(this), "movieBox");
    movieSizeLab = named(new QLabel(movieBox), "movieSizeLab");
    mMovieSizeEnumComboBox = named(new QComboBox(movieBox), "mMovieSizeEnumComboBox");
    // Code 0 and code 1, in this order.
    mMovieSizeEnumComboBox->addItems({QStringLiteral("320 × 240"), QStringLiteral("640 × 480")});
    movieLimitFrontLab = named(new QLabel(movieBox), "movieLimitFrontLab");
    movieSavingSizeLimitTextField = numberField(movieBox, "movieSavingSizeLimitTextField", 6);
    movieLimitLaterLab = named(new QLabel(movieBox), "movieLimitLaterLab");
    auto *movieGrid = new QGridLayout(movieBox);
    movieGrid->addWidget(movieSizeLab, 0, 0);
    movieGrid->addWidget(mMovieSizeEnumComboBox, 0, 1, 1, 2, Qt::AlignLeft);
    movieGrid->addWidget(movieLimitFrontLab, 1, 0);
    movieGrid->addWidget(movieSavingSizeLimitTextField, 1, 1);
    movieGrid->addWidget(movieLimitLaterLab, 1, 2);
    movieGrid->setColumnStretch(2, 1);

    locationBox = named(new QGroupBox(this), "locationBox");
    resourcesSavingLocationTextField =
        named(new QLineEdit(locationBox), "resourcesSavingLocationTextField");
    resourcesSavingLocationTextField->setMinimumWidth(
        QFontMetrics(resourcesSavingLocationTextField->font()).averageCharWidth() * 36);
    lLocationButton = named(new QPushButton(QStringLiteral("..."), locationBox), "lLocationButton");
    creatingFolderLab = named(new QLabel(locationBox), "creatingFolderLab");
    mAutoCreatingFolderComboBox = named(new QComboBox(locationBox), "mAutoCreatingFolderComboBox");
    mAutoCreatingFolderComboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *locationGrid = new QGridLayout(locationBox);
    locationGrid->addWidget(resourcesSavingLocationTextField, 0, 0, 1, 2);
    locationGrid->addWidget(lLocationButton, 0, 2);
    locationGrid->addWidget(creatingFolderLab, 1, 0);
    locationGrid->addWidget(mAutoCreatingFolderComboBox, 1, 1, 1, 2, Qt::AlignLeft);
    locationGrid->setColumnStretch(1, 1);

    languageBox = named(new QGroupBox(this), "languageBox");
    languageComboBox = named(new QComboBox(languageBox), "languageComboBox");
    languageComboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *languageRow = new QHBoxLayout(languageBox);
    languageRow->addWidget(languageComboBox);
    languageRow->addStretch(1);

    lDefaultButton = named(new QPushButton(this), "lDefaultButton");
    lCancelButton = named(new QPushButton(this), "lCancelButton");
    lApplyingButton = named(new QPushButton(this), "lApplyingButton");
    for (QPushButton *button :
         {lUploadButton, lLocationButton, lDefaultButton, lCancelButton, lApplyingButton})
        button->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lDefaultButton);
    buttons->addStretch(1);
    buttons->addWidget(lCancelButton);
    buttons->addWidget(lApplyingButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(deviceBox);
    layout->addWidget(timedShotBox);
    layout->addWidget(movieBox);
    layout->addWidget(locationBox);
    layout->addWidget(languageBox);
    layout->addLayout(buttons);
    // Longer texts of another language make the panel grow.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

void SettingsPanel::connectActions()
{
    connect(lApplyingButton, &QPushButton::clicked, this, [this] { applySetting(); });
    connect(lCancelButton, &QPushButton::clicked, this, &SettingsPanel::cancelSetting);
    connect(lDefaultButton, &QPushButton::clicked, this, &SettingsPanel::setDefaultSetting);
    connect(lLocationButton, &QPushButton::clicked, this,
            &SettingsPanel::getResourcesSavingLocation);
    connect(lUploadButton, &QPushButton::clicked, this, &SettingsPanel::adjustCameraClicked);
    connect(m_shotsUnits, &QButtonGroup::idClicked, this, &SettingsPanel::selectShotsToTimedShots);
    connect(m_timesUnits, &QButtonGroup::idClicked, this, &SettingsPanel::selectTimesToTimedShots);
    connect(languageComboBox, &QComboBox::activated, this, [this](int index) {
        const auto lock = lockSettings();
        view().setLanuageSelector(index);
    });
    connect(deviceComboBox, &QComboBox::activated, this,
            [this](int index) { m_host.deviceSelectionDidChange(index); });
    connect(resolutionComboBox, &QComboBox::activated, this,
            [this](int index) { m_host.resolutionSelectionDidChange(index); });
}

SettingParams &SettingsPanel::view() const
{
    return m_host.settings().usingSettingParam();
}

std::unique_lock<std::recursive_mutex> SettingsPanel::lockSettings() const
{
    return std::unique_lock(m_host.settingsLock());
}

std::string SettingsPanel::text(const char *key, const char *fallback) const
{
    return m_host.settings().myNSLocationString(key, fallback);
}

void SettingsPanel::setSetting()
{
    updateValueToUI();
    refillDeviceList();
    refillResolutionList();
    // Kept above the main window, also while one of its alerts shows.
    keepAboveMainWindow();
    // Placed once shown, when its frame has its final size.
    show();
    PanelPlacement::setWindowPositionInCenterOfMainWindow(this, m_host.mainWindow());
    raise();
    exec();
}

void SettingsPanel::keepAboveMainWindow()
{
    QWidget *main = m_host.mainWindow();
    if (!main)
        return;
    winId();
    main->winId();
    windowHandle()->setTransientParent(main->window()->windowHandle());
}

bool SettingsPanel::applySetting()
{
    AppControllerSettings &settings = m_host.settings();
    SettingParams &using_ = settings.usingSettingParam();
    const SettingParams &factory = settings.defaultSettingParam();
    SettingParams &applied = settings.preUsingSettingParam();

    const int size = fieldIntValue(movieSavingSizeLimitTextField->text());
    if (size < kMinimumMovieSize || size > kMaximumMovieSize) {
        m_host.mySystemWarning(
            text("ui_alert_movie_maxinum_file", "Size of saving file is in range of 16 - 4096"));
        movieSavingSizeLimitTextField->setText(QString::number(factory.movieSavingSizeLimit()));
        return false;
    }

    const bool shotsCorrect = isCorrectTimedShotSettingForShots();
    const bool timesCorrect = isCorrectTimedShotSettingForMinutes();
    if (!shotsCorrect || !timesCorrect) {
        m_host.mySystemWarning(
            text("ui_alert_timed_shot_setting", "Error of time setting to take timed shot"));
        if (!shotsCorrect) {
            const int32_t unit = using_.mTimeTypeOfShotsForTimedShot();
            shotsForMinuteTextField->setText(
                QString::number(factory.shotsItemTimedShotSetting(unit).nCurrentValueForTimedShot));
        }
        if (!timesCorrect) {
            const int32_t unit = using_.mTimeTypeOfTimesForTimedShot();
            minutesForShotTextField->setText(
                QString::number(factory.timesItemTimedShotSetting(unit).nCurrentValueForTimedShot));
        }
        return false;
    }

    const std::string location = locationOfField();
    if (!locationExists(location)) {
        // The message names the folder that was not found, the one typed in the field.
        m_host.mySystemWarning(AppController::formatText(
            text("ui_alert_not_exist_resource_location", "Don't location %@ existed in setting"),
            location));
        showLocation(factory.resourcesSavingLocation());
        return false;
    }

    updateValueFromUI();

    if (using_.getResourcesLocationWithVarnolet() != applied.getResourcesLocationWithVarnolet() ||
        using_.isAutoCreatingResourcesFolder() != applied.isAutoCreatingResourcesFolder()) {
        m_host.createLocationsOfAllResources(using_);
        m_host.showResourcesTree(using_.getResourcesLocationWithVarnolet());
    }

    // Read-only from here on: the store and the retitling take what was applied.
    if (!using_.setSettingParamToUserConfig(m_host.userStore()))
        SystemLog::write("failure to save the settings to %s", m_host.userStore().path().c_str());

    if (applied.lanuageSelector() != using_.lanuageSelector())
        m_host.changedUIBySelectedLanuage(using_.lanuageSelector());

    {
        const auto lock = lockSettings();
        applied.copySetting(using_);
    }
    cancelSetting();
    return true;
}

void SettingsPanel::cancelSetting()
{
    {
        const auto lock = lockSettings();
        view().copySetting(m_host.settings().preUsingSettingParam());
    }
    QDialog::reject();
}

void SettingsPanel::reject()
{
    // Escape and the close box are Undo.
    cancelSetting();
}

void SettingsPanel::setDefaultSetting()
{
    {
        const auto lock = lockSettings();
        view().copySetting(m_host.settings().defaultSettingParam());
    }
    updateValueToUI();
    const CaptureResolution standard = CaptureResolution::getDefaultResolution();
    const int index = indexOfCaptureResolution(standard);
    if (index >= 0) {
        resolutionComboBox->setCurrentIndex(index);
    } else {
        resolutionComboBox->setCurrentIndex(-1);
        resolutionComboBox->setEditText(PanelText::q(standard.getPixelFormatString()));
    }
}

void SettingsPanel::getResourcesSavingLocation()
{
    const QString folder = m_folderChooser(this, resourcesSavingLocationTextField->text());
    if (!folder.isEmpty())
        resourcesSavingLocationTextField->setText(folder);
}

void SettingsPanel::selectShotsToTimedShots(int unit)
{
    const ItemTimedShotSetting &item = view().shotsItemTimedShotSetting(unit);
    lShotsTakingPreTimeRangeLab->setText(PanelText::q(AppController::formatText(
        text("ui_setting_lab_shots_range", "(max.%d)"), {}, {item.nMaxValueForTimedShot})));
    shotsForMinuteTextField->setText(QString::number(item.nCurrentValueForTimedShot));
    const auto lock = lockSettings();
    view().setMTimeTypeOfShotsForTimedShot(unit);
}

void SettingsPanel::selectTimesToTimedShots(int unit)
{
    const ItemTimedShotSetting &item = view().timesItemTimedShotSetting(unit);
    lTimesOfRangeLab->setText(PanelText::q(AppController::formatText(
        text("ui_setting_lab_times_range", "(max.%d)"), {}, {item.nMaxValueForTimedShot})));
    minutesForShotTextField->setText(QString::number(item.nCurrentValueForTimedShot));
    const auto lock = lockSettings();
    view().setMTimeTypeOfTimesForTimedShot(unit);
}

void SettingsPanel::updateValueToUI()
{
    SettingParams &using_ = view();
    shotsForMinuteTextField->setText(
        QString::number(using_.currentShotsTimedShotSetting().nCurrentValueForTimedShot));
    minutesForShotTextField->setText(
        QString::number(using_.currentTimesTimedShotSetting().nCurrentValueForTimedShot));
    const int32_t shotsUnit = using_.mTimeTypeOfShotsForTimedShot();
    const int32_t timesUnit = using_.mTimeTypeOfTimesForTimedShot();
    m_shotsUnits->button(unitCell(shotsUnit))->setChecked(true);
    m_timesUnits->button(unitCell(timesUnit))->setChecked(true);
    selectShotsToTimedShots(shotsUnit);
    selectTimesToTimedShots(timesUnit);
    mMovieSizeEnumComboBox->setCurrentIndex(using_.movieSizeEnum());
    movieSavingSizeLimitTextField->setText(QString::number(using_.movieSavingSizeLimit()));
    showLocation(using_.resourcesSavingLocation());
    mAutoCreatingFolderComboBox->setCurrentIndex(using_.isAutoCreatingResourcesFolder() ? 1 : 0);
    languageComboBox->setCurrentIndex(languageComboBox->findText(
        PanelText::q(m_host.settings().getLanuageName(using_.lanuageSelector())),
        Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void SettingsPanel::updateValueFromUI()
{
    const auto lock = lockSettings();
    SettingParams &using_ = view();
    const int shotsUnit = lShotsTakingPreMinuteRadioCell->isChecked() ? 0
                          : lShotsTakingPreHourRadioCell->isChecked() ? 1
                                                                      : 2;
    const int timesUnit = lTimesOfTakingMinuteRadioCell->isChecked() ? 0
                          : lTimesOfTakingHourRadioCell->isChecked() ? 1
                                                                     : 2;
    // The values go into the items of the units in force, then the units follow the cells.
    using_.currentShotsTimedShotSetting().nCurrentValueForTimedShot =
        fieldIntValue(shotsForMinuteTextField->text());
    using_.currentTimesTimedShotSetting().nCurrentValueForTimedShot =
        fieldIntValue(minutesForShotTextField->text());
    using_.setMTimeTypeOfShotsForTimedShot(shotsUnit);
    using_.setMTimeTypeOfTimesForTimedShot(timesUnit);
    if (mMovieSizeEnumComboBox->currentIndex() >= 0)
        using_.setMovieSizeEnum(mMovieSizeEnumComboBox->currentIndex());
    using_.setMovieSavingSizeLimit(fieldIntValue(movieSavingSizeLimitTextField->text()));
    using_.setResourcesSavingLocation(locationOfField());
    if (mAutoCreatingFolderComboBox->currentIndex() >= 0)
        using_.setIsAutoCreatingResourcesFolder(mAutoCreatingFolderComboBox->currentIndex() == 1);
    using_.setLanuageSelector(
        m_host.settings().getLanuageIndex(languageComboBox->currentText().toStdString()));
}

void SettingsPanel::showLocation(const std::string &path)
{
    m_shownLocation = path;
    resourcesSavingLocationTextField->setText(varnolet::PathText::toField(path));
}

std::string SettingsPanel::locationOfField() const
{
    // A folder whose name is no UTF-8 keeps its bytes while the field is left as it was.
    return varnolet::PathText::fromField(resourcesSavingLocationTextField->text(), m_shownLocation);
}

int SettingsPanel::fieldIntValue(const QString &text)
{
    return PropertyList::intValueOfText(text.toStdString());
}

bool SettingsPanel::isCorrectValueForItem(const QString &text, const ItemTimedShotSetting &item)
{
    const int value = fieldIntValue(text);
    if (value < item.nMinValueForTimedShot || value > item.nMaxValueForTimedShot)
        return false;
    return text == QString::number(value);
}

bool SettingsPanel::isCorrectTimedShotSettingForShots() const
{
    return isCorrectValueForItem(shotsForMinuteTextField->text(),
                                 view().currentShotsTimedShotSetting());
}

bool SettingsPanel::isCorrectTimedShotSettingForMinutes() const
{
    return isCorrectValueForItem(minutesForShotTextField->text(),
                                 view().currentTimesTimedShotSetting());
}

bool SettingsPanel::isCorrectTimedShotSetting() const
{
    return isCorrectTimedShotSettingForShots() && isCorrectTimedShotSettingForMinutes();
}

int SettingsPanel::indexOfCaptureResolution(const CaptureResolution &resolution) const
{
    const std::vector<CaptureResolution> sizes = m_host.resolutionArray();
    for (size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i].isEqual(resolution))
            return static_cast<int>(i);
    return -1;
}

bool SettingsPanel::locationExists(const std::string &path)
{
    struct stat info
    {
    };
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

void SettingsPanel::refillLanguageList()
{
    AppControllerSettings &settings = m_host.settings();
    settings.refillLanguageArray();
    languageComboBox->clear();
    for (const std::string &name : settings.languageArray())
        languageComboBox->addItem(PanelText::q(name));
    languageComboBox->setCurrentIndex(
        languageComboBox->findText(PanelText::q(settings.getLanuageName(view().lanuageSelector())),
                                   Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void SettingsPanel::retitleTexts()
{
    auto set = [this](auto *widget, const char *key, const char *fallback) {
        widget->setText(PanelText::q(text(key, fallback)));
    };
    deviceBox->setTitle(PanelText::q(text("ui_setting_lab_device_setting", "Devices Settting")));
    set(deviceLab, "ui_setting_lab_device", "Devices");
    set(resolutionLab, "ui_setting_lab_resolution", "Resolution:");
    timedShotBox->setTitle(
        PanelText::q(text("ui_setting_lab_timed_shot_settings", "Timed Shot Settings")));
    set(shotsFrontLab, "ui_setting_lab_shots_front_hint", "Take");
    set(shotsLaterLab, "ui_setting_lab_shots_later_hint", "Photos pre Minute");
    set(lShotsTakingPreMinuteRadioCell, "ui_setting_radio_shots_preminute_taking", "minute");
    set(lShotsTakingPreHourRadioCell, "ui_setting_radio_shots_prehour_taking", "hour");
    set(lShotsTakingPreDayRadioCell, "ui_setting_radio_shots_preday_taking", "day");
    selectShotsToTimedShots(view().mTimeTypeOfShotsForTimedShot());
    set(timesFrontLab, "ui_setting_lab_times_front_hint", "For");
    set(lTimesOfTakingMinuteRadioCell, "ui_setting_radio_times_minute_taking", "minute(s)");
    set(lTimesOfTakingHourRadioCell, "ui_setting_radio_times_hour_taking", "hour(s)");
    set(lTimesOfTakingDayRaidoCell, "ui_setting_radio_times_day_taking", "day(s)");
    selectTimesToTimedShots(view().mTimeTypeOfTimesForTimedShot());
    movieBox->setTitle(PanelText::q(text("ui_setting_lab_movie_setting", "Movie Setting")));
    set(movieSizeLab, "ui_setting_lab_movie_size", "Size:");
    set(movieLimitFrontLab, "ui_setting_lab_maximum_movie_size_front_hint",
        "Maximum Movie file size");
    set(movieLimitLaterLab, "ui_setting_lab_maximum_movie_size_later_hint", "MB(16-4096)");
    locationBox->setTitle(PanelText::q(text("ui_setting_lab_location_setting", "Location:")));
    set(creatingFolderLab, "ui_setting_lab_creating_folder", "文件夹:");
    const int folderChoice = mAutoCreatingFolderComboBox->currentIndex();
    mAutoCreatingFolderComboBox->clear();
    mAutoCreatingFolderComboBox->addItem(
        PanelText::q(text("ui_setting_comobo_not_auto_creating_folder", "不创建文件夹")));
    mAutoCreatingFolderComboBox->addItem(
        PanelText::q(text("ui_setting_comobo_auto_creating_folder", "创建文件夹")));
    mAutoCreatingFolderComboBox->setCurrentIndex(folderChoice);
    languageBox->setTitle(PanelText::q(text("ui_setting_lab_lanuage_setting", "Language Setting")));
    set(lApplyingButton, "ui_setting_btn_apply", "Apply");
    set(lCancelButton, "ui_setting_btn_undo", "Undo");
    set(lDefaultButton, "ui_setting_btn_reset", "Default");
    set(lUploadButton, "ui_setting_btn_upload", "More...");
}

void SettingsPanel::retitleTitle()
{
    setWindowTitle(PanelText::q(text("ui_dlg_setting", "设置")));
}

namespace {

// The entry equal to the text is selected; without one the list shows the text alone.
void showListText(QComboBox *list, const QString &text)
{
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    list->setCurrentIndex(index);
    if (index < 0)
        list->setEditText(text);
}

} // namespace

void SettingsPanel::refillDeviceList()
{
    deviceComboBox->clear();
    for (const std::string &name : m_host.deviceNames())
        deviceComboBox->addItem(PanelText::q(name));
    showListText(deviceComboBox, PanelText::q(m_host.deviceListText()));
}

void SettingsPanel::refillResolutionList()
{
    resolutionComboBox->clear();
    for (const CaptureResolution &size : m_host.resolutionArray())
        resolutionComboBox->addItem(PanelText::q(size.getPixelFormatString()));
    showListText(resolutionComboBox, PanelText::q(m_host.resolutionListText()));
}
