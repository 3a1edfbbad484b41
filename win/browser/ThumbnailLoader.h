#pragma once

#include "ThumbnailCache.h"

#include "platform/thumbnail/ThumbnailHelperClient.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

// Decodes the rows that are not cached yet on worker threads, so painting never waits for
// a decode: a paint asks for the rows it is missing, the workers decode them into the cache
// and call `ready` (on the worker thread) after each one so the pane can paint again.
class ThumbnailLoader
{
public:
    using ReadyCallback = std::function<void()>;

    ThumbnailLoader(ThumbnailCache &cache, ReadyCallback ready, int threads = 2,
                    varnolet::ThumbnailHelperClient::Options helper = {});
    ~ThumbnailLoader();
    ThumbnailLoader(const ThumbnailLoader &) = delete;
    ThumbnailLoader &operator=(const ThumbnailLoader &) = delete;

    // Replaces the waiting requests with `keys` (the rows a paint is missing, in row
    // order); rows already being decoded are not asked for twice.
    void RequestOnly(const std::vector<ThumbnailKey> &keys);
    // Drops the waiting requests (decodes in progress finish).
    void CancelPending();
    // True when nothing is waiting or being decoded.
    bool Idle() const;
    // Blocks until idle or the time-out passes (tests and benchmarks).
    bool WaitIdle(std::chrono::milliseconds timeout) const;

private:
    void WorkerLoop(int index);

    ThumbnailCache &m_cache;
    ReadyCallback m_ready;
    const varnolet::ThumbnailHelperClient::Options m_helper;
    mutable std::mutex m_lock; // guards the fields below
    mutable std::condition_variable m_changed;
    std::deque<ThumbnailKey> m_waiting;
    std::unordered_set<ThumbnailKey, ThumbnailKeyHash> m_busy; // being decoded
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};
