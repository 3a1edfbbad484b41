#include "CSettingParams.h"

#include "IniFile.h"
#include "OemInfo.h"
#include "ResourceNaming.h"

#include <cerrno>
#include <cstdio>
#include <utility>

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

CSettingParams::CSettingParams(varnolet::SystemPaths paths)
    : m_paths(std::move(paths))
    , m_default(m_paths.documentsFolder())
    , m_using(m_default)
    , m_previous(m_default)
    , m_configPath(PerUserConfigPath(m_paths))
{
}

SettingValues CSettingParams::GetDefaultSettings() const
{
    std::lock_guard lock(m_lock);
    return m_default;
}

SettingValues CSettingParams::GetUsingSettings() const
{
    std::lock_guard lock(m_lock);
    return m_using;
}

SettingValues CSettingParams::GetPreviousSettings() const
{
    std::lock_guard lock(m_lock);
    return m_previous;
}

OemInfo CSettingParams::GetOemInfo() const
{
    std::lock_guard lock(m_lock);
    return m_oem;
}

std::string CSettingParams::ConfigPath() const
{
    std::lock_guard lock(m_lock);
    return m_configPath;
}

void CSettingParams::LoadSettings()
{
    LoadSettingsFrom(PerUserConfigPath(m_paths));
}

void CSettingParams::LoadSettingsFrom(const std::string &path)
{
    const std::string documents = m_paths.documentsFolder();
    IniFile file;
    file.load(path); // a missing file reads as empty: every value takes its default
    SettingValues defaults;
    ReadSettingSection(defaults, file, "defaultsetting", documents);
    SettingValues current;
    ReadSettingSection(current, file, kUsingSection, documents);
    const OemInfo oem = ReadOemInfo(file);
    // A value outside its range is used as the factory value; the file stays as it is
    // until the user applies settings.
    KeepValuesInRange(defaults, SettingValues(documents));
    KeepValuesInRange(current, defaults);

    std::lock_guard lock(m_lock);
    m_default = defaults;
    m_using = current;
    m_previous = current;
    m_oem = oem;
    m_configPath = path;
}

int CSettingParams::ApplySettings(const SettingValues &values)
{
    errno = 0;
    const int error =
        WriteSettingSection(ConfigPath(), kUsingSection, values, m_paths.documentsFolder())
            ? 0
            : (errno ? errno : EIO);
    std::lock_guard lock(m_lock);
    m_previous = m_using;
    m_using = values;
    return error;
}

void CSettingParams::SetUsingCaptureSize(int width, int height)
{
    // Under the lock, since capture and saving threads copy the record at any time.
    std::lock_guard lock(m_lock);
    m_using.captureWidth = width;
    m_using.captureHeight = height;
}

std::string PerUserDataFolder(const varnolet::SystemPaths &paths)
{
    return paths.configHome() + "/Microsofttmp";
}

std::string PerUserConfigPath(const varnolet::SystemPaths &paths)
{
    return PerUserDataFolder(paths) + "/config.ini";
}

void ReadSettingSection(SettingValues &record, const std::string &file, const std::string &section,
                        const std::string &documentsFolder)
{
    IniFile ini;
    ini.load(file);
    ReadSettingSection(record, ini, section, documentsFolder);
}

void ReadSettingSection(SettingValues &record, const IniFile &file, const std::string &section,
                        const std::string &documentsFolder)
{
    const std::string path = file.getPath(section, "resourcespath", kDefaultPathWord);
    record.resourcesPath = path == kDefaultPathWord ? documentsFolder : path;
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

void WriteSettingSection(IniFile &file, const std::string &section, const SettingValues &record,
                         const std::string &documentsFolder)
{
    const bool isDocuments = record.resourcesPath == documentsFolder;
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
                         const SettingValues &record, const std::string &documentsFolder)
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
    WriteSettingSection(ini, section, record, documentsFolder);
    return ini.save(file);
}
