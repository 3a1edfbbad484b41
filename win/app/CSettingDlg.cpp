#include "CSettingDlg.h"

#include "win/common/AppServices.h"

#include <string>
#include <vector>

#include <sys/stat.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/system/MessageBox.h"
#include "win/app/AppText.h"
#include "win/app/ISettingDialogHost.h"
#include "win/app/SettingDialogForm.h"
#include "win/common/CLanguageTable.h"
#include "win/common/CSettingParams.h"
#include "win/common/ResourceNaming.h"
#include "win/common/TimedSeries.h"
#include "platform/system/PathText.h"

namespace {

// The title of the folder chooser of "...".
const char *const kFolderChooserTitle = "所选择路径:   ";

QString decimal(int64_t value)
{
    return QString::number(value);
}

// The current value of a record's range for its own unit; 1 when the unit is not 0..2.
int32_t currentOf(const TimedShotRange *range)
{
    return range ? range->current : 1;
}

bool isFolder(const std::string &path)
{
    struct stat st = {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void selectEntry(QComboBox &list, int index)
{
    list.setCurrentIndex(index >= 0 && index < list.count() ? index : -1);
}

// Checks the radio of a unit in a group, or none for a unit outside 0..2.
void checkUnit(QButtonGroup &group, int unit)
{
    if (QAbstractButton *radio = group.button(unit)) {
        radio->setChecked(true);
        return;
    }
    group.setExclusive(false);
    for (QAbstractButton *radio : group.buttons())
        radio->setChecked(false);
    group.setExclusive(true);
}

} // namespace

CSettingDlg::CSettingDlg(ISettingDialogHost &host, AppServices &services,
                         varnolet::MessageBox messages, QWidget *parent)
    : QDialog(parent)
    , m_host(host)
    , m_services(services)
    , m_messages(std::move(messages))
    , m_form(std::make_unique<SettingDialogForm>(*this))
{
    setModal(true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_chooseFolder = [](QWidget *owner, const QString &title, const QString &start) {
        return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    };

    SettingDialogForm &f = *m_form;
    connect(f.applyButton, &QPushButton::clicked, this, &CSettingDlg::OnApply);
    connect(f.undoButton, &QPushButton::clicked, this, &CSettingDlg::OnUndo);
    connect(f.moreButton, &QPushButton::clicked, this, &CSettingDlg::OnMore);
    connect(f.defaultButton, &QPushButton::clicked, this, &CSettingDlg::OnDefault);
    connect(f.browseButton, &QPushButton::clicked, this, &CSettingDlg::OnBrowse);
    connect(f.shotsUnitGroup, &QButtonGroup::idClicked, this, &CSettingDlg::ShowShotsUnit);
    connect(f.timesUnitGroup, &QButtonGroup::idClicked, this, &CSettingDlg::ShowTimesUnit);
    // Only a choice of the user opens a camera, not a refill of the list.
    connect(f.deviceList, &QComboBox::activated, this, &CSettingDlg::OnDeviceActivated);

    // Start: the lists, the working copy and its values, the texts, the host's lists.
    FillFolderList();
    FillLanguageList();
    m_values = m_services.Settings().GetUsingSettings();
    FillControls(m_values);
    RetitleTexts();
    RefillDeviceList();
    RefillResolutionList();
    m_busy = IsHostBusy();
    if (m_busy)
        DisableBusyControls();
    m_host.SetOpenSettingDialog(this);
}

CSettingDlg::~CSettingDlg()
{
    m_host.SetOpenSettingDialog(nullptr);
}

QWidget *CSettingDlg::Control(int controlId) const
{
    return m_form->Control(controlId);
}

void CSettingDlg::RetitleTexts()
{
    const auto text = [this](const char *key, const char *builtIn) {
        return LanguageText(m_services, key, builtIn, m_messages);
    };
    SettingDialogForm &f = *m_form;
    setWindowTitle(text("ui_dlg_setting", "Settings"));
    f.deviceGroup->setTitle(text("ui_setting_lab_device_setting", "Devices Settting"));
    f.deviceLabel->setText(text("ui_setting_lab_device", "Device:"));
    f.resolutionLabel->setText(text("ui_setting_lab_resolution", "Resolution:"));
    f.timedShotGroup->setTitle(text("ui_setting_lab_timed_shot_settings", "Timed Shot Settings"));
    f.shotsFrontLabel->setText(text("ui_setting_lab_shots_front_hint", "Take:"));
    f.shotsLaterLabel->setText(text("ui_setting_lab_shots_later_hint", "Shots per"));
    f.shotsUnitRadio[0]->setText(text("ui_setting_radio_shots_preminute_taking", "minute"));
    f.shotsUnitRadio[1]->setText(text("ui_setting_radio_shots_prehour_taking", "hour"));
    f.shotsUnitRadio[2]->setText(text("ui_setting_radio_shots_preday_taking", "day"));
    f.timesFrontLabel->setText(text("ui_setting_lab_times_front_hint", "For:"));
    f.timesUnitRadio[0]->setText(text("ui_setting_radio_times_minute_taking", "minute(s)"));
    f.timesUnitRadio[1]->setText(text("ui_setting_radio_times_hour_taking", "hour(s)"));
    f.timesUnitRadio[2]->setText(text("ui_setting_radio_times_day_taking", "day(s)"));
    f.movieGroup->setTitle(text("ui_setting_lab_movie_setting", "Movie Setting"));
    f.movieSizeLabel->setText(text("ui_setting_lab_movie_size", "Size:"));
    f.maximumSizeFrontLabel->setText(
        text("ui_setting_lab_maximum_movie_size_front_hint", "Maximum Movie file size"));
    f.maximumSizeLaterLabel->setText(
        text("ui_setting_lab_maximum_movie_size_later_hint", "MB(16-4096)"));
    f.locationGroup->setTitle(text("ui_setting_lab_location_setting", "Location Setting"));
    f.folderLabel->setText(text("ui_setting_lab_creating_folder", "文件夹:"));
    f.languageGroup->setTitle(text("ui_setting_lab_lanuage_setting", "Language Setting"));
    f.applyButton->setText(text("ui_setting_btn_apply", "Apply"));
    f.undoButton->setText(text("ui_setting_btn_undo", "Undo"));
    f.moreButton->setText(text("ui_setting_btn_upload", "More..."));
    f.defaultButton->setText(text("ui_setting_btn_reset", "Default"));

    f.folderList->setItemText(0,
                              text("ui_setting_comobo_not_auto_creating_folder", "不创建文件夹"));
    f.folderList->setItemText(1, text("ui_setting_comobo_auto_creating_folder", "创建文件夹"));
    for (int index = 0; index < kLanguageCount; ++index) {
        const LanguageDescription &language = LanguageAt(index);
        f.languageList->setItemText(index, text(language.nameKey, language.name));
    }

    ShowRangeLabels();
}

// The entries of the per-day folder, movie size and language lists; RetitleTexts gives
// the looked-up ones their texts.
void CSettingDlg::FillFolderList()
{
    QComboBox &list = *m_form->folderList;
    list.clear();
    list.addItem(QString()); // 0: flat names
    list.addItem(QString()); // 1: per-day folders

    // The movie sizes are fixed texts; the entry index is the resolution code.
    QComboBox &sizes = *m_form->movieSizeList;
    sizes.clear();
    sizes.addItem(QStringLiteral("320X240"));
    sizes.addItem(QStringLiteral("640X480"));
}

void CSettingDlg::FillLanguageList()
{
    QComboBox &list = *m_form->languageList;
    list.clear();
    for (int index = 0; index < kLanguageCount; ++index)
        list.addItem(QString());
}

void CSettingDlg::FillControls(const SettingValues &record)
{
    SettingDialogForm &f = *m_form;
    const TimedShotSetting &timed = record.timedShot;

    ShowShotsUnit(timed.shotsUnit);
    ShowTimesUnit(timed.timesUnit);

    m_shownTimes = currentOf(timed.selectedTimes());
    m_shownShots = currentOf(timed.selectedShots());
    ShowNumbers();

    selectEntry(*f.movieSizeList, record.movieResolution);
    m_shownLocation = record.resourcesPath;
    f.locationEdit->setText(varnolet::PathText::toField(record.resourcesPath));
    // Any non-zero flag means per-day folders to the naming, so it shows as such.
    f.folderList->setCurrentIndex(record.autoCreatingFolder != 0 ? 1 : 0);
    f.maximumSizeEdit->setText(decimal(record.movieSizeMax));

    selectEntry(*f.languageList, record.language == LanguageUserDefault ? UserDefaultLanguageIndex()
                                                                        : record.language);
}

void CSettingDlg::ShowNumbers()
{
    m_form->timesEdit->setText(decimal(m_shownTimes));
    m_form->shotsEdit->setText(decimal(m_shownShots));
}

void CSettingDlg::ShowShotsUnit(int unit)
{
    m_shownShots = currentOf(IsValidTimeUnit(unit) ? &m_values.timedShot.shots[unit] : nullptr);
    m_form->shotsEdit->setText(decimal(m_shownShots));
    m_shotsUnit = unit;
    ShowRangeLabels();
    checkUnit(*m_form->shotsUnitGroup, unit);
}

void CSettingDlg::ShowTimesUnit(int unit)
{
    m_shownTimes = currentOf(IsValidTimeUnit(unit) ? &m_values.timedShot.times[unit] : nullptr);
    m_form->timesEdit->setText(decimal(m_shownTimes));
    m_timesUnit = unit;
    ShowRangeLabels();
    checkUnit(*m_form->timesUnitGroup, unit);
}

void CSettingDlg::ShowRangeLabels()
{
    // The maximum of the selected unit's range; nothing for a unit outside 0..2.
    const TimedShotSetting &timed = m_values.timedShot;
    m_form->shotsRangeLabel->setText(
        IsValidTimeUnit(m_shotsUnit)
            ? FormatText(
                  LanguageText(m_services, "ui_setting_lab_shots_range", "(max.%d)", m_messages),
                  {decimal(timed.shots[m_shotsUnit].maximum)})
            : QString());
    m_form->timesRangeLabel->setText(
        IsValidTimeUnit(m_timesUnit)
            ? FormatText(
                  LanguageText(m_services, "ui_setting_lab_times_range", "(max.%d)", m_messages),
                  {decimal(timed.times[m_timesUnit].maximum)})
            : QString());
}

void CSettingDlg::RefillDeviceList()
{
    QComboBox &list = *m_form->deviceList;
    list.clear();
    const std::vector<SettingDevice> devices = m_host.SettingDevices();
    int open = -1;
    for (size_t i = 0; i < devices.size(); ++i) {
        list.addItem(QString::fromStdString(devices[i].friendlyName));
        if (!m_host.OpenDevicePath().empty() && devices[i].path == m_host.OpenDevicePath())
            open = static_cast<int>(i);
    }
    list.setCurrentIndex(open);
}

void CSettingDlg::RefillResolutionList()
{
    QComboBox &list = *m_form->resolutionList;
    list.clear();
    for (uint32_t key : m_host.SettingResolutions())
        list.addItem(QStringLiteral("%1 X %2").arg(key >> 16).arg(key & 0xFFFF),
                     QVariant::fromValue(key));
    const SettingValues current = m_services.Settings().GetUsingSettings();
    SelectResolution(current.captureWidth, current.captureHeight, true);
}

void CSettingDlg::SelectResolution(int width, int height, bool firstWhenMissing)
{
    QComboBox &list = *m_form->resolutionList;
    const uint32_t wanted =
        (static_cast<uint32_t>(width) << 16) | (static_cast<uint32_t>(height) & 0xFFFF);
    for (int i = 0; i < list.count(); ++i) {
        if (list.itemData(i).toUInt() == wanted) {
            list.setCurrentIndex(i);
            return;
        }
    }
    if (firstWhenMissing)
        list.setCurrentIndex(list.count() > 0 ? 0 : -1);
}

bool CSettingDlg::IsHostBusy() const
{
    return m_host.IsPhotoPending() || m_host.IsTimedSeries() || m_host.IsRecording();
}

void CSettingDlg::DisableBusyControls()
{
    SettingDialogForm &f = *m_form;
    for (QWidget *control : std::initializer_list<QWidget *>{
             f.locationEdit, f.browseButton, f.maximumSizeEdit, f.movieSizeList, f.defaultButton,
             f.deviceList, f.resolutionList, f.shotsEdit, f.timesEdit})
        control->setEnabled(false);
}

void CSettingDlg::OnDeviceActivated(int index)
{
    const std::vector<SettingDevice> devices = m_host.SettingDevices();
    int open = -1;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!m_host.OpenDevicePath().empty() && devices[i].path == m_host.OpenDevicePath())
            open = static_cast<int>(i);
    }
    if (index < 0 || index == open)
        return;
    // At once and at the camera's own size; an Undo later does not take it back.
    m_host.OpenCameraAt(index, 0, 0);
    // The host refilled the list while the camera opened, before it knew the delivered
    // size; select that size now that the using settings hold it.
    RefillResolutionList();
}

void CSettingDlg::OnBrowse()
{
    const QString chosen =
        m_chooseFolder(this, QString::fromUtf8(kFolderChooserTitle), m_form->locationEdit->text());
    if (!chosen.isEmpty())
        m_form->locationEdit->setText(chosen);
}

void CSettingDlg::setVisibleKeepingModalRun(bool visible)
{
    // QDialog's own hide would end a modal run; the widget's keeps it going.
    QWidget::setVisible(visible);
}

void CSettingDlg::OnMore()
{
    setVisibleKeepingModalRun(false);
    m_host.ShowDeviceProperties();
    setVisibleKeepingModalRun(true);
}

void CSettingDlg::OnDefault()
{
    m_values = m_services.Settings().GetDefaultSettings();
    FillControls(m_values);
    SelectResolution(m_values.captureWidth, m_values.captureHeight, false);
}

void CSettingDlg::OnUndo()
{
    reject();
}

std::optional<int32_t> CSettingDlg::ParseInteger(const QString &text)
{
    const QString trimmed = text.trimmed();
    int start = 0;
    if (!trimmed.isEmpty() &&
        (trimmed.at(0) == QLatin1Char('-') || trimmed.at(0) == QLatin1Char('+')))
        start = 1;
    if (start >= trimmed.size())
        return std::nullopt;
    for (int i = start; i < trimmed.size(); ++i) {
        if (trimmed.at(i) < QLatin1Char('0') || trimmed.at(i) > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int value = trimmed.toInt(&ok, 10); // fails outside the int range
    if (!ok)
        return std::nullopt;
    return value;
}

int32_t CSettingDlg::MaximumSizeOfText(const QString &text)
{
    const std::optional<int32_t> value = ParseInteger(text);
    if (!value || decimal(*value) != text)
        return kInvalidMaximumSize;
    return *value;
}

void CSettingDlg::CollectControls(SettingValues &values)
{
    SettingDialogForm &f = *m_form;
    m_shotsUnit = f.shotsUnitGroup->checkedId();
    m_timesUnit = f.timesUnitGroup->checkedId();
    // An edit that holds no integer keeps the earlier number; its text then fails the
    // check of Apply.
    if (const std::optional<int32_t> times = ParseInteger(f.timesEdit->text()))
        m_shownTimes = *times;
    if (const std::optional<int32_t> shots = ParseInteger(f.shotsEdit->text()))
        m_shownShots = *shots;

    TimedShotSetting &timed = values.timedShot;
    timed.shotsUnit = m_shotsUnit;
    timed.timesUnit = m_timesUnit;
    if (TimedShotRange *times = timed.selectedTimes())
        times->current = m_shownTimes;
    if (TimedShotRange *shots = timed.selectedShots())
        shots->current = m_shownShots;

    // A folder whose name is no UTF-8 keeps its bytes while the edit is left as it was.
    SetSavingLocation(values,
                      varnolet::PathText::fromField(f.locationEdit->text(), m_shownLocation));
    if (f.folderList->currentIndex() >= 0)
        values.autoCreatingFolder = f.folderList->currentIndex();
    if (f.movieSizeList->currentIndex() >= 0)
        values.movieResolution = f.movieSizeList->currentIndex();
    values.movieSizeMax = MaximumSizeOfText(f.maximumSizeEdit->text());
    values.language = f.languageList->currentIndex();
    // While the window is busy the camera must not be reopened at another size under a
    // running recording or series, so the size stays as it is.
    if (f.resolutionList->currentIndex() >= 0 && !m_busy) {
        const uint32_t key = f.resolutionList->currentData().toUInt();
        values.captureWidth = static_cast<int32_t>(key >> 16);
        values.captureHeight = static_cast<int32_t>(key & 0xFFFF);
    }
}

bool CSettingDlg::IsDialogValueValid(const QLineEdit &edit, int32_t value, bool shots,
                                     int unit) const
{
    if (!IsValidTimeUnit(unit))
        return false;
    const TimedShotRange &range =
        shots ? m_values.timedShot.shots[unit] : m_values.timedShot.times[unit];
    return value >= range.minimum && value <= range.maximum && edit.text() == decimal(value);
}

void CSettingDlg::OnApply()
{
    SettingDialogForm &f = *m_form;
    SettingValues values = m_values;
    CollectControls(values);

    const bool timesValid = IsDialogValueValid(*f.timesEdit, m_shownTimes, false, m_timesUnit);
    const bool shotsValid = IsDialogValueValid(*f.shotsEdit, m_shownShots, true, m_shotsUnit);
    if (!timesValid || !shotsValid) {
        m_messages.warning(m_services.GetLanguageString(
            "ui_alert_timed_shot_setting", "Error of time setting to take timed shot", m_messages));
        // The factory value: the default record's range of the default record's own unit.
        const TimedShotSetting factory = m_services.Settings().GetDefaultSettings().timedShot;
        if (!timesValid)
            m_shownTimes = currentOf(factory.selectedTimes());
        if (!shotsValid)
            m_shownShots = currentOf(factory.selectedShots());
        ShowNumbers();
        return;
    }
    if (!isFolder(values.resourcesPath)) {
        // A plain file there is refused too: nothing could be saved below it.
        const QString format =
            LanguageText(m_services, "ui_alert_not_exist_resource_location",
                         "Don't exist location of photo %s in setting,please setting", m_messages);
        m_messages.warning(
            FormatText(format, {QString::fromStdString(values.resourcesPath)}).toStdString());
        m_shownLocation = m_services.Settings().GetDefaultSettings().resourcesPath;
        f.locationEdit->setText(varnolet::PathText::toField(m_shownLocation));
        return;
    }
    if (values.movieSizeMax < kMinimumMovieSize || values.movieSizeMax > kMaximumMovieSize) {
        m_messages.warning(m_services.GetLanguageString(
            "ui_alert_movie_maxinum_file", "Error to set maximum file size of recording movie",
            m_messages));
        f.maximumSizeEdit->setText(
            decimal(m_services.Settings().GetDefaultSettings().movieSizeMax));
        return;
    }

    // The values are in force either way; a file that could not be written is told, so
    // the user knows they will be gone at the next start.
    if (const int error = m_services.Settings().ApplySettings(values); error != 0)
        m_messages.warning(m_services.SettingsWriteFailureText(error, m_messages));
    EnsureResourceFolders(values, m_messages);
    accept();
}
