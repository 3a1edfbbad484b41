#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QDialog>
#include <QString>

#include "platform/system/MessageBox.h"
#include "win/common/SettingValues.h"

class ISettingDialogHost;
class SettingDialogForm;
class QComboBox;
class QLineEdit;
class QWidget;

// The modal settings dialog that the main window's Settings button opens. It edits one
// working copy of the settings: camera and capture size, timed-shot values and units,
// movie frame size and size limit, saving location and per-day folders, language.
// Apply checks the values, makes them the user's settings (ApplySettings, which rewrites
// [usingsetting] of config.ini) and closes with Accepted; Undo, Escape and the close box
// close with Rejected and save nothing. Picking another camera takes effect at once.
//
class AppServices;

// Everything the dialog needs from its window comes through ISettingDialogHost; what the
// window does after the dialog closed is written there.
class CSettingDlg final : public QDialog
{
public:
    static constexpr int IDD = 130;

    enum ControlId {
        IDC_SHOTS_EDIT = 1005,
        IDC_TIMES_EDIT = 1006,
        IDC_TIMED_SHOT_GROUP = 1007,
        IDC_SHOTS_LATER_LABEL = 1008,
        IDC_TIMES_FRONT_LABEL = 1010,
        IDC_SHOTS_FRONT_LABEL = 1011,
        IDC_DEVICE_LIST = 1012,
        IDC_DEVICE_LABEL = 1015,
        IDC_APPLY = 1016,
        IDC_UNDO = 1017,
        IDC_DEFAULT = 1018,
        IDC_MORE = 1021,
        IDC_LOCATION_EDIT = 1025,
        IDC_MAXIMUM_SIZE_EDIT = 1028,
        IDC_BROWSE = 1029,
        IDC_MOVIE_GROUP = 1034,
        IDC_LANGUAGE_GROUP = 1035,
        IDC_RESOLUTION_LABEL = 1036,
        IDC_MOVIE_SIZE_LABEL = 1038,
        IDC_MAXIMUM_SIZE_FRONT_LABEL = 1039,
        IDC_MAXIMUM_SIZE_LATER_LABEL = 1040,
        IDC_LANGUAGE_LIST = 1043,
        IDC_RESOLUTION_LIST = 1067,
        IDC_MOVIE_SIZE_LIST = 1085,
        IDC_LOCATION_GROUP = 1086,
        IDC_DEVICE_GROUP = 1087,
        IDC_FOLDER_LIST = 1092,
        IDC_FOLDER_LABEL = 1093,
        IDC_SHOTS_MINUTE = 1099,
        IDC_SHOTS_HOUR = 1100,
        IDC_SHOTS_DAY = 1101,
        IDC_TIMES_MINUTE = 1102,
        IDC_TIMES_HOUR = 1103,
        IDC_TIMES_DAY = 1104,
        IDC_SHOTS_RANGE = 1105,
        IDC_TIMES_RANGE = 1106,
    };

    // Maximum movie size that stands for text that is not a plain decimal number; it lies
    // outside 16..4096, so Apply rejects it.
    static constexpr int32_t kInvalidMaximumSize = 4097;

    // Asks for a folder: (owner, title, folder to start in) -> chosen folder, or an empty
    // text when the user cancelled.
    using FolderChooser = std::function<QString(QWidget *, const QString &, const QString &)>;

    // Runs the start of the dialog at once (texts, lists, working copy, controls) and
    // registers the dialog with the host until it is destroyed.
    // messages: where refused values and an unwritten settings file are told.
    CSettingDlg(ISettingDialogHost &host, AppServices &services, varnolet::MessageBox messages,
                QWidget *parent = nullptr);
    ~CSettingDlg() override;

    // Called by the host while the dialog is open: its device list changed (friendly
    // names in list order, the open device selected), or its resolution list was replaced
    // (the entry of the using capture size selected, else the first).
    void RefillDeviceList();
    void RefillResolutionList();

    // The folder chooser of "..." (the system's folder dialog unless a test puts another).
    void SetFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

    // The commands of the buttons and the unit radios.
    void OnApply();
    void OnUndo();
    void OnDefault();
    void OnMore();
    void OnBrowse();
    void ShowShotsUnit(int unit);
    void ShowTimesUnit(int unit);

    // Texts of every label, group, button and list entry in the current language.
    void RetitleTexts();

    // The control with a template id (tests and screenshots).
    QWidget *Control(int controlId) const;
    const SettingValues &WorkingCopy() const { return m_values; }
    int SelectedShotsUnit() const { return m_shotsUnit; }
    int SelectedTimesUnit() const { return m_timesUnit; }

    // The integer a number edit holds (blanks around it allowed), or none.
    static std::optional<int32_t> ParseInteger(const QString &text);
    // The maximum movie size of the edit's text: the decimal number when writing it back
    // gives exactly the text, else kInvalidMaximumSize.
    static int32_t MaximumSizeOfText(const QString &text);

private:
    void FillControls(const SettingValues &record);
    void FillFolderList();
    void FillLanguageList();
    void DisableBusyControls();
    bool IsHostBusy() const;
    void CollectControls(SettingValues &values);
    bool IsDialogValueValid(const QLineEdit &edit, int32_t value, bool shots, int unit) const;
    void ShowNumbers();
    void ShowRangeLabels();
    void OnDeviceActivated(int index);
    void SelectResolution(int width, int height, bool firstWhenMissing);
    void setVisibleKeepingModalRun(bool visible);

    ISettingDialogHost &m_host;
    AppServices &m_services;
    const varnolet::MessageBox m_messages;
    std::unique_ptr<SettingDialogForm> m_form;

    // The members of the dialog, in the order of the template's data exchange:
    // language list (m_form->languageList); the shown run length and shots value (the
    // values of the two number edits); the working copy; the device, resolution, movie
    // size and per-day folder lists (in m_form); the selected units of the radio groups.
    int32_t m_shownTimes = 1;
    int32_t m_shownShots = 1;
    std::string m_shownLocation; // the path the location edit was filled with
    SettingValues m_values;
    int m_shotsUnit = TimeUnitMinute;
    int m_timesUnit = TimeUnitMinute;
    // Whether the host was busy at start (the busy controls are disabled).
    bool m_busy = false;

    FolderChooser m_chooseFolder;
};
