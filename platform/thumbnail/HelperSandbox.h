#pragma once

#include <string>

namespace varnolet {

// Shuts the thumbnail helper in before it reads anything: memory, CPU-time, file-size and
// descriptor limits, then a seccomp filter that allows reading and writing descriptors it
// already has or is handed, memory management and leaving. Opening a file by name answers
// EACCES; anything else (sockets, exec, ptrace, ...) ends the process.
class HelperSandbox
{
public:
    static constexpr long kMemoryBytes = 1536L * 1024 * 1024;
    static constexpr long kCpuSeconds = 120; // in all, over every file the helper serves

    // False (with the reason in error) when a limit or the filter cannot be set.
    static bool enter(std::string &error);
};

} // namespace varnolet
