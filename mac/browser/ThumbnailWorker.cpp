#include "ThumbnailWorker.h"

#include <algorithm>

#include "mac/browser/ThumbnailMaker.h"
#include "platform/system/ThreadName.h"

ThumbnailWorker::ThumbnailWorker(Made made, varnolet::ThumbnailHelperOptions helper)
    : m_made(std::move(made))
    , m_helper(std::move(helper))
    , m_thread([this] { run(); })
{
}

ThumbnailWorker::~ThumbnailWorker()
{
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
        m_waiting.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void ThumbnailWorker::request(uint64_t generation, const std::string &folder,
                              const std::vector<Item> &items)
{
    {
        std::lock_guard guard(m_lock);
        if (!m_waiting.empty() && m_waiting.front().generation != generation)
            m_waiting.clear();
        for (const Item &item : items) {
            const bool waiting = std::any_of(m_waiting.begin(), m_waiting.end(),
                                             [&](const Job &job) { return job.name == item.name; });
            if (!waiting)
                m_waiting.push_back(Job{generation, folder, item.name, item.movie});
        }
    }
    m_changed.notify_all();
}

void ThumbnailWorker::cancel()
{
    {
        std::lock_guard guard(m_lock);
        m_waiting.clear();
    }
    m_changed.notify_all();
}

bool ThumbnailWorker::waitIdle(std::chrono::milliseconds timeout) const
{
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, timeout, [this] { return m_waiting.empty() && !m_busy; });
}

int ThumbnailWorker::madeCount() const
{
    std::lock_guard guard(m_lock);
    return m_madeCount;
}

void ThumbnailWorker::run()
{
    varnolet::ThreadName::set("VarnoletThumb");
    ThumbnailMaker maker(m_helper);
    for (;;) {
        Job job;
        {
            std::unique_lock guard(m_lock);
            m_changed.wait(guard, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_busy = true;
        }
        const std::string path = job.folder + "/" + job.name;
        QImage image = job.movie ? maker.movieThumbnail(path) : maker.imageThumbnail(path);
        if (m_made)
            m_made(job.generation, job.name, std::move(image));
        {
            std::lock_guard guard(m_lock);
            m_busy = false;
            ++m_madeCount;
        }
        m_changed.notify_all();
    }
}
