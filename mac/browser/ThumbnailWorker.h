#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QImage>

#include "platform/thumbnail/ThumbnailHelperClient.h"

// Makes the thumbnail strip's pictures on a thread of its own, so that painting never waits
// for a decode: the strip asks for the rows it shows, the worker makes them one after the
// other (movies through the sandboxed helper) and hands each to `made`, on the worker
// thread. Every request carries the strip's listing generation; a new listing replaces
// whatever was still waiting, so rows that are no longer shown are never decoded.
class ThumbnailWorker
{
public:
    // A null image for a file whose thumbnail cannot be made.
    using Made = std::function<void(uint64_t generation, const std::string &name, QImage image)>;

    struct Item
    {
        std::string name;
        bool movie = false;
    };

    explicit ThumbnailWorker(Made made, varnolet::ThumbnailHelperOptions helper = {});
    ~ThumbnailWorker();
    ThumbnailWorker(const ThumbnailWorker &) = delete;
    ThumbnailWorker &operator=(const ThumbnailWorker &) = delete;

    // Asks for the files `items` of `folder`. A generation other than the waiting requests'
    // drops those first; names already waiting are not asked for twice.
    void request(uint64_t generation, const std::string &folder, const std::vector<Item> &items);
    // Drops every waiting request (a decode in progress finishes and is reported).
    void cancel();
    // True once nothing waits and nothing is being made, within the timeout.
    bool waitIdle(std::chrono::milliseconds timeout) const;
    // Files made since the worker started (tests and benchmarks).
    int madeCount() const;

private:
    struct Job
    {
        uint64_t generation = 0;
        std::string folder;
        std::string name;
        bool movie = false;
    };
    void run();

    Made m_made;
    varnolet::ThumbnailHelperOptions m_helper;
    mutable std::mutex m_lock; // guards the fields below
    mutable std::condition_variable m_changed;
    std::deque<Job> m_waiting;
    bool m_busy = false;
    bool m_stopping = false;
    int m_madeCount = 0;
    std::thread m_thread; // last: starts once the rest is set up
};
