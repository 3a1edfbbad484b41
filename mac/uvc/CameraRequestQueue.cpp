#include "CameraRequestQueue.h"

#include <algorithm>

#include <QObject>

#include "platform/system/MainThreadCall.h"
#include "platform/system/ThreadName.h"

CameraRequestQueue::CameraRequestQueue()
    : m_answers(std::make_unique<QObject>())
{
}

CameraRequestQueue::~CameraRequestQueue()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
        m_queue.clear();
        ++m_generation;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CameraRequestQueue::submit(int key, Request request)
{
    if (!varnolet::MainThreadCall::application()) {
        if (Answer answer = request())
            answer();
        return;
    }
    {
        std::lock_guard lock(m_lock);
        if (key >= 0) {
            // The newer value goes last, so that requests still keep the order they were
            // asked in.
            m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                         [key](const Item &item) { return item.key == key; }),
                          m_queue.end());
        }
        m_queue.push_back({key, std::move(request)});
        if (!m_thread.joinable())
            m_thread = std::thread(&CameraRequestQueue::run, this);
    }
    m_changed.notify_all();
}

void CameraRequestQueue::cancelAndWait()
{
    std::unique_lock lock(m_lock);
    m_queue.clear();
    ++m_generation;
    m_changed.wait(lock, [this] { return !m_busy; });
}

bool CameraRequestQueue::waitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, timeout, [this] { return m_queue.empty() && !m_busy; });
}

bool CameraRequestQueue::isCurrent(uint64_t generation)
{
    std::lock_guard lock(m_lock);
    return generation == m_generation;
}

void CameraRequestQueue::run()
{
    varnolet::ThreadName::set("UVCRequests");
    std::unique_lock lock(m_lock);
    while (true) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            return;
        Request request = std::move(m_queue.front().request);
        m_queue.pop_front();
        const uint64_t generation = m_generation;
        m_busy = true;
        lock.unlock();

        Answer answer = request();
        if (answer) {
            varnolet::MainThreadCall::postTo(m_answers.get(),
                                             [this, generation, answer = std::move(answer)] {
                                                 if (isCurrent(generation))
                                                     answer();
                                             });
        }

        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}
