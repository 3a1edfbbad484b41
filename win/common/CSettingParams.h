#pragma once

#include "SettingValues.h"

#include "platform/system/MessageBox.h"

#include <mutex>
#include <string>

class IniFile;

// The process-wide settings store: the default record (factory values), the using record
// (the user's current values) and the previous record (the using values before the last
// ApplySettings). Created with built-in defaults on first use, never destroyed.
// Every reader works on a copy (GetUsingSettings()); the lock is held only while copying
// or rotating records.
class CSettingParams
{
public:
    static CSettingParams &Instance();

    SettingValues defaultValues() const;
    SettingValues usingValues() const;
    SettingValues previousValues() const;
    std::string configPath() const;

    // Loads all three records and the [oem] strings from a file (see LoadSettingsFrom).
    void load(const std::string &path);
    // Writes values to [usingsetting] of the loaded file, then rotates using -> previous
    // (also when the file could not be written). 0, or the errno of the failed write.
    int apply(const SettingValues &values);
    void setUsingCaptureSize(int width, int height);
    // Back to the state of first use: built-in defaults in all three records and the
    // per-user file path.
    void reset();

private:
    CSettingParams();

    mutable std::mutex m_lock; // guards all fields below
    SettingValues m_default;
    SettingValues m_using;
    SettingValues m_previous;
    std::string m_configPath; // the file ApplySettings writes to
};

// "$XDG_CONFIG_HOME/Microsofttmp" and that + "/config.ini".
std::string PerUserDataFolder();
std::string PerUserConfigPath();

// Reads the per-user file: [oem] into OemInfo, [defaultsetting] into the default record,
// [usingsetting] into the using record, which is then copied into the previous record.
// A missing file, section or key gives the built-in defaults; no message is shown.
void LoadSettings();
// The same from another file, which ApplySettings then writes to.
void LoadSettingsFrom(const std::string &path);

// Fills one record from a section (and [timedshotssetting]) of a file.
void ReadSettingSection(SettingValues &record, const std::string &file, const std::string &section);
void ReadSettingSection(SettingValues &record, const IniFile &file, const std::string &section);
// Writes one record into a section of a file (other lines of the file are kept).
// Answers whether the file was written; when not, errno tells why.
bool WriteSettingSection(const std::string &file, const std::string &section,
                         const SettingValues &record);
void WriteSettingSection(IniFile &file, const std::string &section, const SettingValues &record);

// Makes values the user's current settings: written to [usingsetting], then under the lock
// previous = using, using = values. The values are in force even when the file could not
// be written: 0, or the errno of the failed write, for the caller to tell the user.
int ApplySettings(const SettingValues &values);
// The text that tells the user the settings file could not be written: the
// "ui_alert_savefile" text with the file, then the system's text for the error (the
// language file's failure told in messages).
std::string SettingsWriteFailureText(int error, const varnolet::MessageBox &messages);

SettingValues GetUsingSettings();
SettingValues GetPreviousSettings();
SettingValues GetDefaultSettings();

// The main window's direct update of the capture size in the using record (not stored).
void SetUsingCaptureSize(int width, int height);
