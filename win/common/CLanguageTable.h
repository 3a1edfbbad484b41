#pragma once

#include "LanguageFile.h"

#include "platform/system/MessageBox.h"
#include "platform/system/SystemPaths.h"

#include <memory>
#include <mutex>
#include <string>

// Languages, in the order of the `language` setting (the same order in both programs).
enum LanguageIndex : int {
    LanguageUserDefault = -1,
    LanguageEnglish = 0,
    LanguageFrench = 1,
    LanguageSpanish = 2,
    LanguageGerman = 3,
    LanguageItalian = 4,
    LanguageJapanese = 5,
    LanguageTraditionalChinese = 6,
    LanguageSimplifiedChinese = 7,
};

constexpr int kLanguageCount = 8;

struct LanguageDescription
{
    const char *folder;  // "French.lproj"
    const char *name;    // "Française", the built-in text of the name key
    const char *nameKey; // "ui_comobo_french"
    const char *locale;  // "fr": the locale of Qt's own catalogue for the language
};

// The description of a language index; any index outside 0..7 gives English.
const LanguageDescription &LanguageAt(int index);

class CSettingParams;

// The string table of the configured language: loaded on the first lookup and again
// whenever the configured language changes. Made once by the program beside its settings
// store, whose using record names the language and whose program folder holds the
// language files. Lookups from any thread are safe against a reload from another thread:
// a reload swaps in a new table and lookups keep the one they took.
class CLanguageTable
{
public:
    explicit CLanguageTable(const CSettingParams &settings);
    CLanguageTable(const CLanguageTable &) = delete;
    CLanguageTable &operator=(const CLanguageTable &) = delete;

    // The text of the key in the wanted language, or the fallback. Loads the wanted
    // language first when it differs from the loaded one (a failed load shows its message
    // in messages once and is not retried until the wanted language changes).
    std::string Lookup(const std::string &key, const std::string &fallback, int wantedIndex,
                       const varnolet::MessageBox &messages);

    // The text of a key in the configured language (the using record's language; -1 the
    // user's default), or the fallback. UTF-8 in and out; placeholders are left to the
    // caller. A language file that cannot be loaded is told in messages.
    std::string GetLanguageString(const std::string &key, const std::string &fallback,
                                  const varnolet::MessageBox &messages);
    // The language in force: the configured one, or the user's default for -1.
    int LanguageInForce() const;

    // The index the table holds, -1 when none was loaded yet.
    int LoadedIndex() const;

private:
    const CSettingParams &m_settings;
    mutable std::mutex m_lock; // guards the two fields below
    int m_loadedIndex = -1;
    std::shared_ptr<const LanguageEntries> m_entries = std::make_shared<LanguageEntries>();
};

// The language index of the Linux locale: the first entry of LANGUAGE, else LC_ALL,
// LC_MESSAGES, LANG. "zh" with TW/HK/MO or Hant is Traditional Chinese, otherwise Chinese
// is Simplified; de 3, es 2, fr 1, it 4, ja 5; anything else English.
int UserDefaultLanguageIndex();
// The mapping above for one locale name ("fr_FR.UTF-8", "zh-Hant", "zh_CN").
int LanguageIndexOfLocale(const std::string &locale);

// Program folder + "Resource/" + folder of the index + "/Localizable.strings", resolved
// through FindShippedFile.
std::string LanguageFilePath(const varnolet::SystemPaths &paths, int index);
