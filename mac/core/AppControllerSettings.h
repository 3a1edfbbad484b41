#pragma once

#include <string>
#include <vector>

#include "mac/core/SettingParams.h"
#include "platform/system/SystemPaths.h"

class SavingLocationManage;
class UserDefaults;

// The settings side of the application controller: its three records, the start-up that
// fills them, the string lookup every Mac window uses and the language list. It holds the
// program's folders, which the windows reach through it.
class AppControllerSettings
{
public:
    explicit AppControllerSettings(varnolet::SystemPaths paths);
    AppControllerSettings(const AppControllerSettings &) = delete;
    AppControllerSettings &operator=(const AppControllerSettings &) = delete;

    // Start-up: factory values from config.plist, then the user store over a copy of them,
    // the resource folders, and the applied copy.
    void startUp(SavingLocationManage &manager, const std::string &configPlistPath,
                 UserDefaults &store);

    const varnolet::SystemPaths &paths() const { return m_paths; }
    // SettingParams::getBundlePath and getBundleResourcesPath of the program's folders.
    std::string bundlePath() const { return SettingParams::getBundlePath(m_paths); }
    std::string bundleResourcesPath() const
    {
        return SettingParams::getBundleResourcesPath(m_paths);
    }

    SettingParams &usingSettingParam() { return viewSettingParam; }
    const SettingParams &usingSettingParam() const { return viewSettingParam; }
    SettingParams &preUsingSettingParam() { return m_preUsingSettingParam; }
    SettingParams &defaultSettingParam() { return m_defaultSettingParam; }

    // The text for the key in the language in force, or defaultValue when the language file
    // cannot be read or lacks the key. The file is read anew on every lookup.
    std::string myNSLocationString(const std::string &key, const std::string &defaultValue) const;

    // Refills the language list with the eight language names in index order.
    void refillLanguageArray();
    const std::vector<std::string> &languageArray() const { return m_languageArray; }
    // The name at the index of the language list; empty when out of range.
    std::string getLanuageName(int index) const;
    // Index of the first list entry equal to the name; -1 for none or a null name.
    int getLanuageIndex(const char *name) const;
    int getLanuageIndex(const std::string &name) const { return getLanuageIndex(name.c_str()); }

    // "english.lproj" ... "zh_Hans.lproj" for 0..7, empty for any other index.
    static std::string getLocalizedFolder(int index);

private:
    const varnolet::SystemPaths m_paths;
    SettingParams viewSettingParam;
    SettingParams m_preUsingSettingParam;
    SettingParams m_defaultSettingParam;
    std::vector<std::string> m_languageArray;
};
