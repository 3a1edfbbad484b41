#pragma once

// The main thread's longest stall while something happens in the window: the event loop
// runs with a 1 ms heartbeat timer, and the longest gap between two of its ticks is the
// longest time the window could not have answered the user. Every run has a deadline, so a
// benchmark never waits for something that does not come. With STALL_DEBUG set in the
// environment every gap over 4 ms is printed with its time since the start.

#include <dirent.h>
#include <turbojpeg.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "bench/support/ThreadCpu.h"

namespace varnolet::bench {

struct StallRun
{
    bool finished = false;  // done() answered true before the deadline
    double longestMs = 0;   // the longest gap between heartbeats
    double finishedMs = 0;  // from start() until done() answered true
    int stallsOver16Ms = 0; // gaps longer than one frame of a 60 Hz screen
    // The main thread's own CPU time in the longest gap: near longestMs when it worked that
    // long, far below when it waited (a lock, or other threads and processes on the cores).
    double longestCpuMs = 0;
    // How long in the longest gap it was ready to run but every core ran something else.
    double longestRunDelayMs = 0;
};

// Runs the event loop: start() first, then at every heartbeat done(), which may also drive
// the window on (scroll it) and answers true when the run is over. The gap that start()
// itself takes counts as well.
inline StallRun measureStalls(const std::function<void()> &start, const std::function<bool()> &done,
                              std::chrono::milliseconds deadline)
{
    StallRun run;
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 last = 0;
    double lastCpu = 0;
    double lastRunDelay = 0;
    const auto tick = [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = threadCpuSeconds();
        const double runDelay = threadRunDelaySeconds();
        const double gapMs = static_cast<double>(now - last) / 1e6;
        if (gapMs > run.longestMs) {
            run.longestMs = gapMs;
            run.longestCpuMs = (cpu - lastCpu) * 1e3;
            run.longestRunDelayMs = (runDelay - lastRunDelay) * 1e3;
        }
        if (gapMs > 16.0)
            ++run.stallsOver16Ms;
        if (gapMs > 4.0 && qEnvironmentVariableIsSet("STALL_DEBUG"))
            std::fprintf(stderr, "gap %.2f ms at %.1f ms: ran %.2f ms, waited for a core %.2f ms\n",
                         gapMs, static_cast<double>(now) / 1e6, (cpu - lastCpu) * 1e3,
                         (runDelay - lastRunDelay) * 1e3);
        lastCpu = cpu;
        lastRunDelay = runDelay;
        last = now;
        return now;
    };
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, &loop, [&] {
        const qint64 now = tick();
        if (!run.finished && done()) {
            run.finished = true;
            run.finishedMs = static_cast<double>(now) / 1e6;
            loop.quit();
        }
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer::singleShot(0, &loop, [&] {
        clock.start();
        last = 0;
        lastCpu = threadCpuSeconds();
        lastRunDelay = threadRunDelaySeconds();
        start();
        tick();
        heartbeat.start();
    });
    limit.start(deadline);
    loop.exec();
    heartbeat.stop();
    return run;
}

// The reference a window's stalls are set against: the same event loop and heartbeat with
// no window, while another thread decodes every JPEG of `folder` as a thumbnail strip does
// (bare libturbojpeg, scaled by 1/8, one after the other). What stalls here is the
// machine's: the heartbeat's thread not getting a core, or its timer's wake-up coming late.
inline StallRun stallsBesideThumbnailDecodes(const std::string &folder,
                                             std::chrono::milliseconds deadline)
{
    std::vector<std::string> paths;
    if (DIR *dir = opendir(folder.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0)
                paths.push_back(folder + "/" + name);
        }
        closedir(dir);
    }
    std::atomic<bool> finished{false};
    std::thread decoder;
    const StallRun run = measureStalls(
        [&] {
            decoder = std::thread([&] {
                tjhandle handle = tjInitDecompress();
                std::vector<uint8_t> pixels;
                for (const std::string &path : paths) {
                    std::ifstream file(path, std::ios::binary);
                    const std::vector<uint8_t> jpeg((std::istreambuf_iterator<char>(file)),
                                                    std::istreambuf_iterator<char>());
                    int width = 0, height = 0, subsampling = 0, colours = 0;
                    if (tjDecompressHeader3(handle, jpeg.data(),
                                            static_cast<unsigned long>(jpeg.size()), &width,
                                            &height, &subsampling, &colours) != 0)
                        continue;
                    const int w = (width + 7) / 8;
                    const int h = (height + 7) / 8;
                    pixels.resize(static_cast<size_t>(w) * h * 3);
                    tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                  pixels.data(), w, 0, h, TJPF_BGR, 0);
                }
                tjDestroy(handle);
                finished = true;
            });
        },
        [&] { return finished.load(); }, deadline);
    if (decoder.joinable())
        decoder.join();
    return run;
}

// A run's figures as the benchmark's counters, its time until done() as the iteration's
// manual time; false (and the benchmark failed) when the deadline passed first.
inline bool reportStalls(benchmark::State &state, const StallRun &run)
{
    if (!run.finished) {
        state.SkipWithError("not done before the deadline");
        return false;
    }
    state.SetIterationTime(run.finishedMs / 1e3);
    state.counters["max_stall_ms"] = run.longestMs;
    state.counters["its_cpu_ms"] = run.longestCpuMs;
    state.counters["its_run_delay_ms"] = run.longestRunDelayMs;
    state.counters["stalls_over_16ms"] = run.stallsOver16Ms;
    state.counters["all_shown_ms"] = run.finishedMs;
    return true;
}

} // namespace varnolet::bench
