#include "CLanguageTable.h"

#include "CSettingParams.h"
#include "ShippedFile.h"

#include <cstdlib>
#include <vector>

namespace {

const LanguageDescription kLanguages[kLanguageCount] = {
    {"English.lproj", "English", "ui_comobo_english", "en"},
    {"French.lproj", "Française", "ui_comobo_french", "fr"},
    {"Spanish.lproj", "Español", "ui_comobo_spainsh", "es"},
    {"German.lproj", "Deutsch", "ui_comobo_german", "de"},
    {"Italian.lproj", "Italiano", "ui_comobo_italian", "it"},
    {"Japanese.lproj", "日本語", "ui_comobo_japanese", "ja"},
    {"zh_Hant.lproj", "繁體中文", "ui_comobo_traditional_chiese", "zh_TW"},
    {"zh_Hans.lproj", "简体中文", "ui_comobo_simplified_chiese", "zh_CN"},
};

std::string lowered(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

const LanguageDescription &LanguageAt(int index)
{
    if (index < 0 || index >= kLanguageCount)
        return kLanguages[LanguageEnglish];
    return kLanguages[index];
}

CLanguageTable::CLanguageTable(const CSettingParams &settings)
    : m_settings(settings)
{
}

std::string CLanguageTable::Lookup(const std::string &key, const std::string &fallback,
                                   int wantedIndex, const varnolet::MessageBox &messages)
{
    std::shared_ptr<const LanguageEntries> entries;
    std::string message;
    {
        std::lock_guard lock(m_lock);
        if (wantedIndex != m_loadedIndex) {
            // The index changes first, so a failed load is not retried until the wanted
            // language changes again.
            m_loadedIndex = wantedIndex;
            const std::string path = LanguageFilePath(m_settings.Paths(), wantedIndex);
            LanguageFileContent content = ReadLanguageFile(path);
            if (!content.opened)
                message = "Fail to open " + path;
            else if (content.entries.empty())
                message = "Faiure to get language string";
            m_entries = std::make_shared<const LanguageEntries>(std::move(content.entries));
        }
        entries = m_entries;
    }
    // Shown after the lock is released: a box on the UI thread waits for the user, and
    // lookups from other threads must not wait with it.
    if (!message.empty())
        messages.warning(message);

    const auto found = entries->find(key);
    return found == entries->end() ? fallback : found->second;
}

int CLanguageTable::LoadedIndex() const
{
    std::lock_guard lock(m_lock);
    return m_loadedIndex;
}

int CLanguageTable::LanguageInForce() const
{
    const int wanted = m_settings.GetUsingSettings().language;
    return wanted == LanguageUserDefault ? UserDefaultLanguageIndex() : wanted;
}

std::string CLanguageTable::GetLanguageString(const std::string &key, const std::string &fallback,
                                              const varnolet::MessageBox &messages)
{
    return Lookup(key, fallback, LanguageInForce(), messages);
}

int LanguageIndexOfLocale(const std::string &locale)
{
    // "ll_CC.codeset@modifier", "ll-Script-CC", "ll_Script_CC": the codeset and modifier
    // are dropped, the rest split at '_' and '-'.
    std::string name = locale.substr(0, locale.find_first_of(".@"));
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("_-", start);
        if (end == std::string::npos)
            end = name.size();
        parts.push_back(lowered(name.substr(start, end - start)));
        start = end + 1;
    }
    const std::string &language = parts.front();
    if (language == "zh") {
        for (size_t i = 1; i < parts.size(); ++i) {
            const std::string &p = parts[i];
            if (p == "tw" || p == "hk" || p == "mo" || p == "hant")
                return LanguageTraditionalChinese;
        }
        return LanguageSimplifiedChinese;
    }
    if (language == "de")
        return LanguageGerman;
    if (language == "es")
        return LanguageSpanish;
    if (language == "fr")
        return LanguageFrench;
    if (language == "it")
        return LanguageItalian;
    if (language == "ja")
        return LanguageJapanese;
    return LanguageEnglish;
}

int UserDefaultLanguageIndex()
{
    std::string locale = environment("LANGUAGE");
    locale = locale.substr(0, locale.find(':'));
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!locale.empty())
            break;
        locale = environment(name);
    }
    return LanguageIndexOfLocale(locale);
}

std::string LanguageFilePath(const varnolet::SystemPaths &paths, int index)
{
    return FindShippedFile(paths.programFolder() + "Resource/" + LanguageAt(index).folder +
                           "/Localizable.strings");
}
