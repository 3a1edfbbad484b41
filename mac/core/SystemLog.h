#pragma once

#include <functional>
#include <string>

// The program's internal failure log: one line to syslog and to stderr. Nothing here is
// shown to the user. Tests install a sink to see the lines.
class SystemLog
{
public:
    using Sink = std::function<void(const std::string &line)>;

    // printf-style; the line gets no trailing newline of its own.
    static void write(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static void writeLine(const std::string &line);

    // Installs a sink that receives every line in addition to syslog/stderr (an empty
    // function removes it) and returns the previous one.
    static Sink setSink(Sink sink);
};
