#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SettingParams;

namespace varnolet {
class Clock;
}

// Creates the resource folders and names every photo, timed-shot photo and movie before it
// is written, from the settings passed in and a fresh listing of the folder. Flat names
// carry the date ("S20240305_007.jpg"); the sub-folder scheme numbers folders and files
// ("Single Shots/001/SingleShot1000.jpg"). A path it answers never names an existing entry.
// The dates in the names are read from the clock it is given.
class SavingLocationManage
{
public:
    // clock must not be null (std::invalid_argument).
    explicit SavingLocationManage(std::shared_ptr<const varnolet::Clock> clock);

    void createLocationsOfAllResources(const SettingParams &settings);
    std::optional<std::string> getSavingPhotoPath(const SettingParams &settings);
    std::optional<std::string> getSavingMoviePath(const SettingParams &settings);
    // Starts a timed-shot series; false when its folder cannot be made.
    bool createNextSavingPhotosPath(const SettingParams &settings);
    // The next shot of the running series.
    std::optional<std::string> getSavingPhotosPath(const SettingParams &settings);

    // "%04d%02d%02d" of the clock's today in local time.
    std::string getTodayString() const;
    static std::string getCurrentUserName();
    // True when something exists at the path or the folder was made (parents are not made).
    static bool createFolder(const std::string &path);

    // "%03d" (width 3) or "%04d" (width 4) of the number.
    static std::string getNoString(int64_t number, int width);
    // The flat name of a kind given by its category folder's name ("Single Shots", "Timed
    // Shots", "Movies"); none for any other kind.
    static std::optional<std::string> encodeFileName(const std::string &kind,
                                                     const std::string &fileDateString,
                                                     int64_t fileFrontNo, int64_t fileLaterNo);
    // A name read back: without its first character and extension, split at "_"; empty for
    // a name shorter than two characters.
    static std::vector<std::string> decodeFileName(const std::string &name);
    // The greatest flat name in the folder; empty when none or when it cannot be listed.
    static std::string getMaximumNoFileName(const std::string &folder);
    std::string getSavingPathToNotAutoCreatingFolder(const std::string &kind,
                                                     const std::string &location);
    // Highest number in a folder (see getMaximumFolderNo, getMaximumFileNo); -1 for none.
    static int64_t getMaximumNo(const std::string &folder, const std::string &prename,
                                bool bHavePrename);
    static int64_t getMaximumFolderNo(const std::string &folder);
    static int64_t getMaximumFileNo(const std::string &folder, int64_t folderNo,
                                    const std::string &prename);
    std::optional<std::string> getSavingPath(const std::string &folder, const std::string &prename,
                                             const std::string &behindName);

    int32_t mPhotosFolderNo() const { return m_photosFolderNo; }
    int32_t mPhotosNo() const { return m_photosNo; }
    const std::string &mCurrentDateString() const { return m_currentDateString; }

private:
    std::shared_ptr<const varnolet::Clock> m_clock;
    // Series fields; written at the series start and per shot under the controller's lock.
    int32_t m_photosFolderNo = 0;
    int32_t m_photosNo = 0;
    std::string m_currentDateString;
};
