#pragma once

// CPU time of this process's threads, for benchmarks that split a path's cost between the
// threads that run it.

#include <dirent.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace varnolet::bench {

inline double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

inline double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Seconds this thread has been ready to run but waited for a core (the scheduler's run
// delay, from /proc/thread-self/schedstat, kept open per thread so that a heartbeat can ask
// every millisecond); 0 where the kernel does not keep it.
inline double threadRunDelaySeconds()
{
    thread_local const int stats = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    char text[96];
    const ssize_t length = stats >= 0 ? pread(stats, text, sizeof text - 1, 0) : -1;
    if (length <= 0)
        return 0;
    text[length] = '\0';
    unsigned long long running = 0;
    unsigned long long waiting = 0;
    if (std::sscanf(text, "%llu %llu", &running, &waiting) != 2)
        return 0;
    return static_cast<double>(waiting) / 1e9;
}

// CPU seconds of the threads of this process whose name is `name`, summed (0 when none
// runs). The clock of another thread of the process is the kernel's per-thread CPU clock,
// made from its id as pthread_getcpuclockid makes it.
inline double namedThreadsCpuSeconds(const std::string &name)
{
    double total = 0;
    DIR *tasks = opendir("/proc/self/task");
    if (!tasks)
        return 0;
    while (const dirent *entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string threadName;
        std::getline(comm, threadName);
        if (threadName != name)
            continue;
        const auto tid = static_cast<clockid_t>(std::atoi(entry->d_name));
        const clockid_t clock = (~tid << 3) | 6; // per-thread, scheduler clock
        timespec t{};
        if (clock_gettime(clock, &t) == 0)
            total += t.tv_sec + t.tv_nsec / 1e9;
    }
    closedir(tasks);
    return total;
}

} // namespace varnolet::bench
