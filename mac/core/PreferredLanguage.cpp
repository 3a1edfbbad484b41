#include "PreferredLanguage.h"

#include <cstdlib>
#include <vector>

namespace {

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::string PreferredLanguage::languageCodeOfLocale(const std::string &locale)
{
    // language[_territory][.codeset][@modifier], or BCP-47 style language-Script-REGION.
    std::string name = locale;
    std::string modifier;
    if (const size_t at = name.find('@'); at != std::string::npos) {
        modifier = name.substr(at + 1);
        name.erase(at);
    }
    if (const size_t dot = name.find('.'); dot != std::string::npos)
        name.erase(dot);
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = name.find_first_of("_-", start);
        parts.push_back(
            name.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (parts.empty() || parts.front().empty())
        return {};
    const std::string language = lower(parts.front());
    if (language != "zh")
        return language;

    parts.push_back(modifier);
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string part = lower(parts[i]);
        if (part == "hant" || part == "tw" || part == "hk" || part == "mo")
            return "zh-Hant";
        if (part == "hans" || part == "cn" || part == "sg")
            return "zh-Hans";
    }
    return "zh";
}

std::string PreferredLanguage::firstPreferredLanguage()
{
    std::string language = environment("LANGUAGE");
    if (const size_t colon = language.find(':'); colon != std::string::npos)
        language.erase(colon);
    if (language.empty())
        language = environment("LC_ALL");
    if (language.empty())
        language = environment("LC_MESSAGES");
    if (language.empty())
        language = environment("LANG");
    return languageCodeOfLocale(language);
}
