#pragma once

#include <cstdint>
#include <string>

#include <QString>

// The placeholders of the program's texts: "%@" for a text, "%d" for a number.
class PanelText
{
public:
    // The first "%d" replaced by the number; the format unchanged when it has none.
    static std::string withNumber(const std::string &format, int64_t number);
    // The first "%@" replaced by the text; the format unchanged when it has none.
    static std::string withText(const std::string &format, const std::string &text);
    static QString q(const std::string &utf8) { return QString::fromStdString(utf8); }
};
