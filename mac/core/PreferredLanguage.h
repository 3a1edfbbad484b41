#pragma once

#include <string>

// The user's first preferred language as a language code of the kind the Mac program
// compares ("en", "fr", "zh-Hant", ...), taken from the locale environment: the first entry
// of LANGUAGE, else LC_ALL, LC_MESSAGES, LANG.
class PreferredLanguage
{
public:
    static std::string firstPreferredLanguage();
    // One locale name to a language code: "fr_FR.UTF-8" -> "fr"; Chinese with TW, HK, MO or
    // Hant -> "zh-Hant", with CN, SG or Hans -> "zh-Hans"; empty for an empty name.
    static std::string languageCodeOfLocale(const std::string &locale);
};
