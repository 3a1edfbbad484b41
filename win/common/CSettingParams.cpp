#include "CSettingParams.h"

#include "IniFile.h"
#include "OemInfo.h"
#include "ResourceNaming.h"
#include "CLanguageTable.h"
#include "TextFormat.h"

#include "platform/system/SystemError.h"
#include "win/common/ProcessPaths.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

namespace {

const char *const kUsingSection = "usingsetting";
const char *const kTimedShotsSection = "timedshotssetting";
const char *const kDefaultPathWord = "default";

// The unit words of the [timedshotssetting] keys, by unit code.
const char *const kUnitWords[kTimeUnitCount] = {"minute", "hour", "Day"};

std::string unitKey(const char *format, int unit)
{
    char key[64];
    std::snprintf(key, sizeof key, format, kUnitWords[unit]);
    return key;
}

void readTimedShotLimits(TimedShotSetting &setting, const IniFile &file)
{
    setting.shotsUnit = file.getInt(kTimedShotsSection, "shots_unittype", 0);
    setting.timesUnit = file.getInt(kTimedShotsSection, "times_unittype", 0);
    for (int unit = 0; unit < kTimeUnitCount; ++unit) {
        TimedShotRange &shots = setting.shots[unit];
        shots.minimum = file.getInt(kTimedShotsSection, unitKey("minshots_per%s_taking", unit), 1);
        shots.maximum =
            file.getInt(kTimedShotsSection, unitKey("maxshots_per%s_taking", unit), 300);
        shots.defaultValue =
            file.getInt(kTimedShotsSection, unitKey("defaultshots_per%s_taking", unit), 60);
        shots.current = shots.defaultValue;
    }
    for (int unit = 0; unit < kTimeUnitCount; ++unit) {
        TimedShotRange &times = setting.times[unit];
        times.minimum = file.getInt(kTimedShotsSection, unitKey("mintimes_%s_taking", unit), 1);
        times.maximum = file.getInt(kTimedShotsSection, unitKey("maxtimes_%s_taking", unit), 300);
        times.defaultValue =
            file.getInt(kTimedShotsSection, unitKey("defaulttimes_%s_taking", unit), 60);
        times.current = times.defaultValue;
    }
}

} // namespace

CSettingParams::CSettingParams()
    : m_configPath(PerUserConfigPath())
{
}

CSettingParams &CSettingParams::Instance()
{
    static CSettingParams *store = new CSettingParams();
    return *store;
}

SettingValues CSettingParams::defaultValues() const
{
    std::lock_guard lock(m_lock);
    return m_default;
}

SettingValues CSettingParams::usingValues() const
{
    std::lock_guard lock(m_lock);
    return m_using;
}

SettingValues CSettingParams::previousValues() const
{
    std::lock_guard lock(m_lock);
    return m_previous;
}

std::string CSettingParams::configPath() const
{
    std::lock_guard lock(m_lock);
    return m_configPath;
}

void CSettingParams::load(const std::string &path)
{
    IniFile file;
    file.load(path); // a missing file reads as empty: every value takes its default
    SettingValues defaults;
    ReadSettingSection(defaults, file, "defaultsetting");
    SettingValues current;
    ReadSettingSection(current, file, kUsingSection);
    SetOemInfo(ReadOemInfo(file));
    // A value outside its range is used as the factory value; the file stays as it is
    // until the user applies settings.
    KeepValuesInRange(defaults, SettingValues());
    KeepValuesInRange(current, defaults);

    std::lock_guard lock(m_lock);
    m_default = defaults;
    m_using = current;
    m_previous = current;
    m_configPath = path;
}

int CSettingParams::apply(const SettingValues &values)
{
    errno = 0;
    const int error =
        WriteSettingSection(configPath(), kUsingSection, values) ? 0 : (errno ? errno : EIO);
    std::lock_guard lock(m_lock);
    m_previous = m_using;
    m_using = values;
    return error;
}

void CSettingParams::setUsingCaptureSize(int width, int height)
{
    // Under the lock, since capture and saving threads copy the record at any time.
    std::lock_guard lock(m_lock);
    m_using.captureWidth = width;
    m_using.captureHeight = height;
}

void CSettingParams::reset()
{
    const SettingValues fresh;
    const std::string path = PerUserConfigPath();
    std::lock_guard lock(m_lock);
    m_default = fresh;
    m_using = fresh;
    m_previous = fresh;
    m_configPath = path;
}

std::string PerUserDataFolder()
{
    return ProcessPaths::configHome() + "/Microsofttmp";
}

std::string PerUserConfigPath()
{
    return PerUserDataFolder() + "/config.ini";
}

void LoadSettings()
{
    CSettingParams::Instance().load(PerUserConfigPath());
}

void LoadSettingsFrom(const std::string &path)
{
    CSettingParams::Instance().load(path);
}

void ReadSettingSection(SettingValues &record, const std::string &file, const std::string &section)
{
    IniFile ini;
    ini.load(file);
    ReadSettingSection(record, ini, section);
}

void ReadSettingSection(SettingValues &record, const IniFile &file, const std::string &section)
{
    const std::string path = file.getPath(section, "resourcespath", kDefaultPathWord);
    record.resourcesPath = path == kDefaultPathWord ? ProcessPaths::documentsFolder() : path;
    record.resourcesRoot = ResourceRootOf(record.resourcesPath);

    record.autoCreatingFolder = file.getInt(section, "autocreatingfolder", 0);
    record.movieResolution = file.getInt(section, "movieresolution", 1);
    record.movieSizeMax = file.getInt(section, "moviesizemax", 16);
    record.language = file.getInt(section, "language", -1);

    TimedShotSetting &timed = record.timedShot;
    readTimedShotLimits(timed, file);

    if (section != kUsingSection)
        return;
    const int32_t shotsUnit = file.getInt(section, "timetype_takingshots_pretime", 3);
    const int32_t timesUnit = file.getInt(section, "timetype_times_taking", 3);
    if (shotsUnit != 3 && timesUnit != 3) {
        timed.shotsUnit = shotsUnit;
        timed.timesUnit = timesUnit;
    }
    const int32_t shots = file.getInt(section, "shots_pertime", 1);
    const int32_t times = file.getInt(section, "times_takingtimedshots", 1);
    if (shots != 0 && times != 0) {
        if (TimedShotRange *range = timed.selectedShots())
            range->current = shots;
        if (TimedShotRange *range = timed.selectedTimes())
            range->current = times;
    }
}

void WriteSettingSection(IniFile &file, const std::string &section, const SettingValues &record)
{
    const bool isDocuments = record.resourcesPath == ProcessPaths::documentsFolder();
    file.setString(section, "resourcespath", isDocuments ? kDefaultPathWord : record.resourcesPath);
    file.setInt(section, "autocreatingfolder", record.autoCreatingFolder);
    file.setInt(section, "movieresolution", record.movieResolution);
    file.setInt(section, "moviesizemax", record.movieSizeMax);
    file.setInt(section, "language", record.language);
    if (section != kUsingSection)
        return;
    const TimedShotSetting &timed = record.timedShot;
    const TimedShotRange *shots = timed.selectedShots();
    const TimedShotRange *times = timed.selectedTimes();
    file.setInt(section, "timetype_takingshots_pretime", timed.shotsUnit);
    file.setInt(section, "shots_pertime", shots ? shots->current : 1);
    file.setInt(section, "timetype_times_taking", timed.timesUnit);
    file.setInt(section, "times_takingtimedshots", times ? times->current : 1);
}

bool WriteSettingSection(const std::string &file, const std::string &section,
                         const SettingValues &record)
{
    IniFile ini;
    // A missing file is created; one that exists but cannot be read is left alone rather
    // than replaced by a file holding this section only.
    if (!ini.load(file)) {
        const int loadError = errno;
        if (::access(file.c_str(), F_OK) == 0) {
            errno = loadError ? loadError : EIO;
            return false;
        }
    }
    WriteSettingSection(ini, section, record);
    return ini.save(file);
}

int ApplySettings(const SettingValues &values)
{
    return CSettingParams::Instance().apply(values);
}

std::string SettingsWriteFailureText(int error, const varnolet::MessageBox &messages)
{
    return FormatText(GetLanguageString("ui_alert_savefile", "Save file %s failure", messages),
                      {CSettingParams::Instance().configPath()}) +
           varnolet::SystemError::text(error);
}

SettingValues GetUsingSettings()
{
    return CSettingParams::Instance().usingValues();
}

SettingValues GetPreviousSettings()
{
    return CSettingParams::Instance().previousValues();
}

SettingValues GetDefaultSettings()
{
    return CSettingParams::Instance().defaultValues();
}

void SetUsingCaptureSize(int width, int height)
{
    CSettingParams::Instance().setUsingCaptureSize(width, height);
}
