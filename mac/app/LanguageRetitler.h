#pragma once

#include <functional>
#include <string>

class AboutBox;
class QAbstractButton;
class QLabel;
class QWidget;
class SettingsPanel;
class SettingsPanelHost;

// The controls the retitling reaches; any of them may be missing.
struct RetitledControls
{
    QWidget *lExitButton = nullptr;
    QWidget *lTakingPhotoButton = nullptr;
    QWidget *buttonTakingPhotos = nullptr;
    QWidget *buttonVideoRecording = nullptr;
    QWidget *lSetSettingButton = nullptr;
    QWidget *lAboutButton = nullptr;
    QWidget *lButtonOfFullScreen = nullptr;
    QLabel *mPromptHintTextField = nullptr;
    QAbstractButton *mMoreResourcesBtn = nullptr;
    SettingsPanel *settingsPanel = nullptr;
    AboutBox *aboutBox = nullptr;
    // The timed-shot and recording buttons' tooltips depend on whether their job runs; the
    // controller knows.
    std::function<std::string()> timedShotToolTip;
    std::function<std::string()> recordingToolTip;
};

// Retitles the whole user interface in the language in force.
class LanguageRetitler
{
public:
    LanguageRetitler(SettingsPanelHost &host, RetitledControls controls);

    RetitledControls &controls() { return m_controls; }

    // In this order: the language list; the tooltips, the prompt label and the "More..."
    // title; the settings panel's texts; the panels' titles and the about box's OK; the
    // adjust panel through the camera control.
    void changedUIBySelectedLanuage(int lanuageIndex);

private:
    std::string text(const char *key, const char *fallback) const;

    SettingsPanelHost &m_host;
    RetitledControls m_controls;
};
