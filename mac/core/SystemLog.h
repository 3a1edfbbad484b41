#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's internal failure log: one line to syslog and to stderr, the process's own
// log as syslog is. Nothing here is shown to the user. The latest lines are kept, numbered
// from the start of the process, so that what a piece of work logged can be read back.
// Any thread.
class SystemLog
{
public:
    static constexpr size_t kKeptLines = 256;

    // printf-style; the line gets no trailing newline of its own.
    static void write(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static void writeLine(const std::string &line);

    // How many lines were written since the process started.
    static uint64_t lineCount();
    // The lines written after the first `count` ones, as far as they are still kept.
    static std::vector<std::string> linesSince(uint64_t count);
};
