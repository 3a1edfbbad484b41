#include "mac/app/PanelText.h"

namespace {

std::string replaceFirst(const std::string &format, const char *placeholder,
                         const std::string &value)
{
    std::string result = format;
    const size_t at = result.find(placeholder);
    if (at != std::string::npos)
        result.replace(at, 2, value);
    return result;
}

} // namespace

std::string PanelText::withNumber(const std::string &format, int64_t number)
{
    return replaceFirst(format, "%d", std::to_string(number));
}

std::string PanelText::withText(const std::string &format, const std::string &text)
{
    return replaceFirst(format, "%@", text);
}
