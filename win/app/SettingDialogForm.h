#pragma once

#include <map>

class QButtonGroup;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// The controls of the settings dialog and their layout (dialog template 130): five group
// boxes in a column on the left, the four buttons in a column on the right. Texts are left
// to the dialog; the layout sizes every control to its text, and the dialog to its
// contents, so a longer translation widens the control instead of clipping it.
class SettingDialogForm final
{
public:
    // Builds every control as a child of the dialog and lays them out.
    explicit SettingDialogForm(QDialog &dialog);

    // The control with a template id (see CSettingDlg::ControlId), or null.
    QWidget *Control(int controlId) const;

    // Device group.
    QGroupBox *deviceGroup;
    QLabel *deviceLabel;
    QComboBox *deviceList;
    QLabel *resolutionLabel;
    QComboBox *resolutionList;
    // Timed shot group.
    QGroupBox *timedShotGroup;
    QLabel *shotsFrontLabel;
    QLineEdit *shotsEdit;
    QLabel *shotsLaterLabel;
    QRadioButton *shotsUnitRadio[3];
    QButtonGroup *shotsUnitGroup;
    QLabel *shotsRangeLabel;
    QLabel *timesFrontLabel;
    QLineEdit *timesEdit;
    QRadioButton *timesUnitRadio[3];
    QButtonGroup *timesUnitGroup;
    QLabel *timesRangeLabel;
    // Movie group.
    QGroupBox *movieGroup;
    QLabel *movieSizeLabel;
    QComboBox *movieSizeList;
    QLabel *maximumSizeFrontLabel;
    QLineEdit *maximumSizeEdit;
    QLabel *maximumSizeLaterLabel;
    // Location group.
    QGroupBox *locationGroup;
    QLineEdit *locationEdit;
    QPushButton *browseButton;
    QLabel *folderLabel;
    QComboBox *folderList;
    // Language group.
    QGroupBox *languageGroup;
    QComboBox *languageList;
    // Right column.
    QPushButton *applyButton;
    QPushButton *undoButton;
    QPushButton *moreButton;
    QPushButton *defaultButton;

private:
    void registerControls();

    std::map<int, QWidget *> m_controls;
};
