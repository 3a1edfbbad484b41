#pragma once

#include <functional>
#include <mutex>
#include <string>

#include <QDialog>
#include <QString>

#include "mac/core/CaptureResolution.h"

class ItemTimedShotSetting;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SettingParams;
class SettingsPanelHost;

// The settings panel: a modal dialog over the main window that edits the settings in force
// (the controller's viewSettingParam) and applies, undoes or resets them. The device and
// resolution lists act at once through the host; everything else waits for Apply.
class SettingsPanel final : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsPanel(SettingsPanelHost &host, QWidget *parent = nullptr);

    // The main window's Settings button: fill the panel, place it over the main window and
    // run it modally until Apply, Undo or the close box ends it.
    void setSetting();

    // Apply: answers true when every check passed and the panel closed.
    bool applySetting();
    // Undo (and the close box): back to the values last applied; the panel closes.
    void cancelSetting();
    // Default: the factory values into the panel; the capture size is left alone.
    void setDefaultSetting();
    // The folder button: a modal folder chooser; OK puts the folder into the location field.
    void getResourcesSavingLocation();

    // The unit radio cells. The field shows the stored value of the chosen unit (whatever
    // was typed for the previous unit is dropped) and the label its maximum.
    void selectShotsToTimedShots(int unit);
    void selectTimesToTimedShots(int unit);

    // Record to panel and panel to record.
    void updateValueToUI();
    void updateValueFromUI();

    // The fields against the ranges of the units in force.
    bool isCorrectTimedShotSetting() const;
    bool isCorrectTimedShotSettingForShots() const;
    bool isCorrectTimedShotSettingForMinutes() const;
    // A field's text is a valid value of the item when its leading number lies in the
    // item's inclusive range and the text is exactly that number's decimal rendering.
    static bool isCorrectValueForItem(const QString &text, const ItemTimedShotSetting &item);
    // The leading decimal number of a field (after blanks and a sign); 0 when none.
    static int fieldIntValue(const QString &text);

    // Index of the first entry of the camera's size list equal to the size, or -1.
    int indexOfCaptureResolution(const CaptureResolution &resolution) const;
    // True when a file or folder exists at the path.
    static bool locationExists(const std::string &path);

    // Texts of the language in force. The retitling runs them in this order, with the
    // language list first and the panel's title after the other texts.
    void refillLanguageList();
    void retitleTexts();
    void retitleTitle();

    // The controller's lists changed (cameras came or went, a camera was opened).
    void refillDeviceList();
    void refillResolutionList();

    // How the folder chooser asks (a modal QFileDialog for folders unless a test puts
    // another); an empty answer means the user cancelled.
    using FolderChooser = std::function<QString(QWidget *parent, const QString &start)>;
    void setFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }

    // Outlets.
    QGroupBox *deviceBox;
    QLabel *deviceLab;
    QComboBox *deviceComboBox;
    QLabel *resolutionLab;
    QComboBox *resolutionComboBox;
    QPushButton *lUploadButton;

    QGroupBox *timedShotBox;
    QLabel *shotsFrontLab;
    QLineEdit *shotsForMinuteTextField;
    QLabel *shotsLaterLab;
    QRadioButton *lShotsTakingPreMinuteRadioCell;
    QRadioButton *lShotsTakingPreHourRadioCell;
    QRadioButton *lShotsTakingPreDayRadioCell;
    QLabel *lShotsTakingPreTimeRangeLab;
    QLabel *timesFrontLab;
    QLineEdit *minutesForShotTextField;
    QRadioButton *lTimesOfTakingMinuteRadioCell;
    QRadioButton *lTimesOfTakingHourRadioCell;
    QRadioButton *lTimesOfTakingDayRaidoCell;
    QLabel *lTimesOfRangeLab;

    QGroupBox *movieBox;
    QLabel *movieSizeLab;
    QComboBox *mMovieSizeEnumComboBox;
    QLabel *movieLimitFrontLab;
    QLineEdit *movieSavingSizeLimitTextField;
    QLabel *movieLimitLaterLab;

    QGroupBox *locationBox;
    QLineEdit *resourcesSavingLocationTextField;
    QPushButton *lLocationButton;
    QLabel *creatingFolderLab;
    QComboBox *mAutoCreatingFolderComboBox;

    QGroupBox *languageBox;
    QComboBox *languageComboBox;

    QPushButton *lApplyingButton;
    QPushButton *lCancelButton;
    QPushButton *lDefaultButton;

signals:
    // The camera-adjust button (lUploadButton) was clicked.
    void adjustCameraClicked();

public slots:
    void reject() override;

private:
    void buildForm();
    void keepAboveMainWindow();
    void showLocation(const std::string &path);
    std::string locationOfField() const;
    void connectActions();
    std::string text(const char *key, const char *fallback) const;
    SettingParams &view() const;
    // Held while the settings in force change (see SettingsPanelHost::settingsLock).
    std::unique_lock<std::recursive_mutex> lockSettings() const;

    SettingsPanelHost &m_host;
    QButtonGroup *m_shotsUnits;
    QButtonGroup *m_timesUnits;
    FolderChooser m_folderChooser;
    std::string m_shownLocation; // the path the location field was filled with
};
