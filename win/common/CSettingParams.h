#pragma once

#include "OemInfo.h"
#include "SettingValues.h"

#include "platform/system/SystemPaths.h"

#include <mutex>
#include <string>

class IniFile;

// The program's settings store: the default record (factory values), the using record
// (the user's current values), the previous record (the using values before the last
// ApplySettings) and the [oem] strings. Made once by the program with its folders and
// handed to every part that reads a setting; it holds built-in defaults until loaded.
// Every reader works on a copy (GetUsingSettings()); the lock is held only while copying
// or rotating records, so any thread may read.
class CSettingParams
{
public:
    explicit CSettingParams(varnolet::SystemPaths paths);
    CSettingParams(const CSettingParams &) = delete;
    CSettingParams &operator=(const CSettingParams &) = delete;

    const varnolet::SystemPaths &Paths() const { return m_paths; }

    // Reads the per-user file: [oem] into the OEM strings, [defaultsetting] into the
    // default record, [usingsetting] into the using record, which is then copied into the
    // previous record. A missing file, section or key gives the built-in defaults; no
    // message is shown.
    void LoadSettings();
    // The same from another file, which ApplySettings then writes to.
    void LoadSettingsFrom(const std::string &path);

    // Makes values the user's current settings: written to [usingsetting], then under the
    // lock previous = using, using = values. The values are in force even when the file
    // could not be written: 0, or the errno of the failed write, for the caller to tell
    // the user.
    int ApplySettings(const SettingValues &values);

    SettingValues GetUsingSettings() const;
    SettingValues GetPreviousSettings() const;
    SettingValues GetDefaultSettings() const;
    OemInfo GetOemInfo() const;
    // The file ApplySettings writes to.
    std::string ConfigPath() const;

    // The main window's direct update of the capture size in the using record (not
    // stored).
    void SetUsingCaptureSize(int width, int height);

private:
    const varnolet::SystemPaths m_paths;
    mutable std::mutex m_lock; // guards all fields below
    SettingValues m_default;
    SettingValues m_using;
    SettingValues m_previous;
    OemInfo m_oem;
    std::string m_configPath;
};

// "$XDG_CONFIG_HOME/Microsofttmp" and that + "/config.ini".
std::string PerUserDataFolder(const varnolet::SystemPaths &paths);
std::string PerUserConfigPath(const varnolet::SystemPaths &paths);

// Fills one record from a section (and [timedshotssetting]) of a file. The path word
// "default" stands for documentsFolder.
void ReadSettingSection(SettingValues &record, const std::string &file, const std::string &section,
                        const std::string &documentsFolder);
void ReadSettingSection(SettingValues &record, const IniFile &file, const std::string &section,
                        const std::string &documentsFolder);
// Writes one record into a section of a file (other lines of the file are kept), a
// resources path equal to documentsFolder as the word "default". Answers whether the file
// was written; when not, errno tells why.
bool WriteSettingSection(const std::string &file, const std::string &section,
                         const SettingValues &record, const std::string &documentsFolder);
void WriteSettingSection(IniFile &file, const std::string &section, const SettingValues &record,
                         const std::string &documentsFolder);
