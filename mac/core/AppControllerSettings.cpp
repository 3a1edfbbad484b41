#include "AppControllerSettings.h"

#include "mac/core/SavingLocationManage.h"
#include "mac/core/StringsFile.h"
#include "mac/core/UserDefaults.h"

namespace {

struct LanguageName
{
    const char *key;
    const char *fallback;
};

const LanguageName kLanguageNames[] = {
    {"ui_comobo_english", "English"},
    {"ui_comobo_french", "Française"},
    {"ui_comobo_spainsh", "Español"},
    {"ui_comobo_german", "Deutsch"},
    {"ui_comobo_italian", "Italiano"},
    {"ui_comobo_japanese", "日本語"},
    {"ui_comobo_traditional_chiese", "繁體中文"},
    {"ui_comobo_simplified_chiese", "简体中文"},
};

std::string languageFilePath(const varnolet::SystemPaths &paths, int index)
{
    return SettingParams::getBundleResourcesPath(paths) + "/" +
           AppControllerSettings::getLocalizedFolder(index) + "/Localizable.strings";
}

} // namespace

AppControllerSettings::AppControllerSettings(varnolet::SystemPaths paths)
    : m_paths(std::move(paths))
{
}

void AppControllerSettings::startUp(SavingLocationManage &manager,
                                    const std::string &configPlistPath, UserDefaults &store)
{
    m_defaultSettingParam.settingParamFromPlist(configPlistPath, m_paths);
    viewSettingParam.copySetting(m_defaultSettingParam);
    viewSettingParam.settingParamFromUserConfig(store);
    manager.createLocationsOfAllResources(viewSettingParam);
    m_preUsingSettingParam.copySetting(viewSettingParam);
}

std::string AppControllerSettings::myNSLocationString(const std::string &key,
                                                      const std::string &defaultValue) const
{
    const int index = viewSettingParam.lanuageSelector();
    if (index < 0) {
        // The bundle's own localisation: the folder of the preferred language; a key it
        // lacks answers itself.
        const auto table = StringsFile::readFile(
            languageFilePath(m_paths, SettingParams::searchUsableLanguageIndexByDefaultLanguage()));
        if (table) {
            if (const auto it = table->find(key); it != table->end())
                return it->second;
        }
        return key;
    }
    const std::string folder = getLocalizedFolder(index);
    if (folder.empty())
        return defaultValue;
    const auto table = StringsFile::readFile(languageFilePath(m_paths, index));
    if (!table)
        return defaultValue;
    const auto it = table->find(key);
    return it != table->end() ? it->second : defaultValue;
}

void AppControllerSettings::refillLanguageArray()
{
    m_languageArray.clear();
    for (const LanguageName &name : kLanguageNames)
        m_languageArray.push_back(myNSLocationString(name.key, name.fallback));
}

std::string AppControllerSettings::getLanuageName(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_languageArray.size())
        return {};
    return m_languageArray[static_cast<size_t>(index)];
}

int AppControllerSettings::getLanuageIndex(const char *name) const
{
    if (!name)
        return -1;
    for (size_t i = 0; i < m_languageArray.size(); ++i)
        if (m_languageArray[i] == name)
            return static_cast<int>(i);
    return -1;
}

std::string AppControllerSettings::getLocalizedFolder(int index)
{
    static const char *const kFolders[] = {"english.lproj", "french.lproj",  "spanish.lproj",
                                           "german.lproj",  "italian.lproj", "japanese.lproj",
                                           "zh_Hant.lproj", "zh_Hans.lproj"};
    if (index < 0 || index > 7)
        return {};
    return kFolders[index];
}
