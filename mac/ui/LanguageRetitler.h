#pragma once

#include <functional>
#include <string>

class AboutBox;
class QAbstractButton;
class SettingsPanel;
class SettingsPanelHost;

// The controls the retitling reaches; any of them may be missing.
struct RetitledControls
{
    // Retitles the main window: its tooltips (the timed-shot and recording ones by their
    // job's state) and the prompt label.
    std::function<void()> retitleMainWindow;
    QAbstractButton *mMoreResourcesBtn = nullptr;
    SettingsPanel *settingsPanel = nullptr;
    AboutBox *aboutBox = nullptr;
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
