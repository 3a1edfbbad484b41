#pragma once

#include "CLanguageTable.h"
#include "CSettingParams.h"

#include "platform/system/MessageBox.h"
#include "platform/system/SystemPaths.h"

#include <string>

// What VarnoletWin's parts share: the program's folders, its settings store and its
// language table. Made once by main() (a test makes its own on temporary folders) and
// handed by reference to every window, dialog, pane and capture object, which must not
// outlive it. Safe from any thread.
class AppServices final
{
public:
    explicit AppServices(varnolet::SystemPaths paths);
    AppServices(const AppServices &) = delete;
    AppServices &operator=(const AppServices &) = delete;

    const varnolet::SystemPaths &Paths() const { return m_settings.Paths(); }
    CSettingParams &Settings() { return m_settings; }
    const CSettingParams &Settings() const { return m_settings; }
    CLanguageTable &Languages() const { return m_languages; }

    // The text of a key in the configured language, or the fallback (see CLanguageTable).
    std::string GetLanguageString(const std::string &key, const std::string &fallback,
                                  const varnolet::MessageBox &messages) const;
    // The text that tells the user the settings file could not be written: the
    // "ui_alert_savefile" text with the file, then the system's text for the error.
    std::string SettingsWriteFailureText(int error, const varnolet::MessageBox &messages) const;

private:
    CSettingParams m_settings;
    // Lookups load the table, which callers holding a const AppServices may do.
    mutable CLanguageTable m_languages;
};
