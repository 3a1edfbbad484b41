#pragma once

#include <string>

namespace varnolet {

// Names the calling thread (shown by gdb, top and sanitizers); at most 15 characters
// are kept.
class ThreadName
{
public:
    static void set(const std::string &name);
};

} // namespace varnolet
