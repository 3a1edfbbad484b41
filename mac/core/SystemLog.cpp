#include "SystemLog.h"

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>

#include <syslog.h>

namespace {

std::mutex g_keptLock;          // guards the two below
std::deque<std::string> g_kept; // the latest lines, at most kKeptLines
uint64_t g_written = 0;         // lines written in all

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
    std::lock_guard lock(g_keptLock);
    g_kept.push_back(line);
    if (g_kept.size() > kKeptLines)
        g_kept.pop_front();
    ++g_written;
}

uint64_t SystemLog::lineCount()
{
    std::lock_guard lock(g_keptLock);
    return g_written;
}

std::vector<std::string> SystemLog::linesSince(uint64_t count)
{
    std::lock_guard lock(g_keptLock);
    const uint64_t firstKept = g_written - g_kept.size();
    const uint64_t from = count > firstKept ? count - firstKept : 0;
    if (from >= g_kept.size())
        return {};
    return std::vector<std::string>(g_kept.begin() + static_cast<std::ptrdiff_t>(from),
                                    g_kept.end());
}
