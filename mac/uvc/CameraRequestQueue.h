#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

// Camera requests run one after another on a thread of their own, so that a slow or hung
// camera holds up that thread and never the window. A request answers what is to run on
// the main thread afterwards (showing what the camera accepted); the answers arrive there
// in the order the requests ran. A request of a key replaces the one of the same key that
// still waits: only the newest value of a picture property matters.
//
// Without an application object there is no main thread to answer on: a request then runs
// at once on the caller's thread, its answer right after it.
class CameraRequestQueue
{
public:
    using Answer = std::function<void()>;
    using Request = std::function<Answer()>;

    // Made on the main thread, which the answers go to.
    CameraRequestQueue();
    // Drops the waiting requests and waits for the running one.
    ~CameraRequestQueue();
    CameraRequestQueue(const CameraRequestQueue &) = delete;
    CameraRequestQueue &operator=(const CameraRequestQueue &) = delete;

    // Queues the request; a negative key replaces nothing.
    void submit(int key, Request request);
    // Drops the waiting requests and the answers not yet delivered, and waits until no
    // request runs (the camera is about to be closed or changed).
    void cancelAndWait();
    // Waits until every request queued so far ran (false after the timeout).
    bool waitUntilIdle(std::chrono::milliseconds timeout);

private:
    struct Item
    {
        int key;
        Request request;
    };
    void run();
    bool isCurrent(uint64_t generation);

    std::unique_ptr<QObject> m_answers; // the answers' receiver, on the main thread

    std::mutex m_lock; // guards everything below
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    bool m_busy = false;
    bool m_stop = false;
    uint64_t m_generation = 0; // answers of an older generation are dropped
    std::thread m_thread;      // started with the first request
};
