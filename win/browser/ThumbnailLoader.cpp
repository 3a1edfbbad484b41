#include "ThumbnailLoader.h"

#include "ThumbnailDecoder.h"

#include "platform/system/ThreadName.h"

#include <algorithm>
#include <system_error>

ThumbnailLoader::ThumbnailLoader(ThumbnailCache &cache, ReadyCallback ready, int threads,
                                 varnolet::ThumbnailHelperClient::Options helper)
    : m_cache(cache)
    , m_ready(std::move(ready))
    , m_helper(std::move(helper))
{
    for (int i = 0; i < std::max(threads, 1); ++i) {
        try {
            m_workers.emplace_back([this, i] { WorkerLoop(i); });
        } catch (const std::system_error &) {
            break; // fewer workers; with none, rows stay undecoded
        }
    }
}

ThumbnailLoader::~ThumbnailLoader()
{
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
        m_waiting.clear();
    }
    m_changed.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

void ThumbnailLoader::RequestOnly(const std::vector<ThumbnailKey> &keys)
{
    {
        std::lock_guard guard(m_lock);
        m_waiting.clear();
        for (const ThumbnailKey &key : keys) {
            if (m_busy.count(key) == 0 &&
                std::find(m_waiting.begin(), m_waiting.end(), key) == m_waiting.end())
                m_waiting.push_back(key);
        }
    }
    m_changed.notify_all();
}

void ThumbnailLoader::CancelPending()
{
    std::lock_guard guard(m_lock);
    m_waiting.clear();
    m_changed.notify_all();
}

bool ThumbnailLoader::Idle() const
{
    std::lock_guard guard(m_lock);
    return m_waiting.empty() && m_busy.empty();
}

bool ThumbnailLoader::WaitIdle(std::chrono::milliseconds timeout) const
{
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, timeout,
                              [this] { return m_waiting.empty() && m_busy.empty(); });
}

void ThumbnailLoader::WorkerLoop(int index)
{
    varnolet::ThreadName::set("VarnoletThumb" + std::to_string(index));
    ThumbnailDecoder decoder(m_helper);
    for (;;) {
        ThumbnailKey key;
        {
            std::unique_lock guard(m_lock);
            m_changed.wait(guard, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_stopping)
                return;
            key = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_busy.insert(key);
        }
        // A row already decoded by another paint's request needs no second decode.
        if (!m_cache.Find(key))
            m_cache.Insert(key, decoder.Decode(key.path, key.boxWidth));
        {
            std::lock_guard guard(m_lock);
            m_busy.erase(key);
        }
        m_changed.notify_all();
        if (m_ready)
            m_ready();
    }
}
