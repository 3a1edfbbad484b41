#pragma once

#include <string>

namespace varnolet {

// The system's text for an errno value ("No such file or directory"), as shown after a
// path or a message the way the Windows program shows FormatMessage texts.
class SystemError
{
public:
    static std::string text(int errorNumber);
    // Text of the current errno.
    static std::string lastText();
};

} // namespace varnolet
