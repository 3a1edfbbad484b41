#include "SystemLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include <syslog.h>

namespace {

std::mutex g_sinkLock; // guards g_sink
SystemLog::Sink g_sink;

} // namespace

void SystemLog::write(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line;
    if (size > 0) {
        line.resize(static_cast<size_t>(size) + 1);
        std::vsnprintf(line.data(), line.size(), format, args);
        line.resize(static_cast<size_t>(size));
    }
    va_end(args);
    writeLine(line);
}

void SystemLog::writeLine(const std::string &line)
{
    syslog(LOG_NOTICE, "%s", line.c_str());
    std::fprintf(stderr, "VarnoletMac: %s\n", line.c_str());
    Sink sink;
    {
        std::lock_guard lock(g_sinkLock);
        sink = g_sink;
    }
    if (sink)
        sink(line);
}

SystemLog::Sink SystemLog::setSink(Sink sink)
{
    std::lock_guard lock(g_sinkLock);
    std::swap(g_sink, sink);
    return sink;
}
