#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace varnolet {

std::string SystemError::text(int errorNumber)
{
    char buffer[256] = {};
    // GNU strerror_r returns a pointer that may or may not be the buffer.
    const char *message = strerror_r(errorNumber, buffer, sizeof buffer);
    return message ? std::string(message)
                   : std::string("Unknown error ") + std::to_string(errorNumber);
}

std::string SystemError::lastText()
{
    return text(errno);
}

} // namespace varnolet
