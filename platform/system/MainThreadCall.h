#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include <QObject>

#include "WakeablePoll.h"

class QSocketNotifier;

namespace varnolet {

// Hands work from the capture and recording threads to the thread this object lives on
// (the main thread): post() queues a function and returns; callAndWait() queues it and
// waits until it has run, the way the frame routine hands over the end of a photo or of a
// timed-shot run. Whoever is about to join a thread that may be waiting (the main thread
// stopping the camera) first aborts the waits, so neither thread waits for the other; the
// function then still runs later. The functions wait in a queue of their own and an
// eventfd wakes the event loop, so no Qt object crosses threads.
//
// The application has one instance on the main thread (made with the application object);
// every hand-over of work or messages from another thread to a window goes through it, so
// that what a thread wrote before posting is ordered before the window reads it by a
// mutex the race detector sees, not by Qt's event queue, which it cannot see.
class MainThreadCall final : public QObject
{
    Q_OBJECT

public:
    // Ends the waits of one caller apart from everybody else's: a caller whose target may
    // go away while it waits holds one and cancels it first. Once cancelled it stays so.
    class Cancellation
    {
        friend class MainThreadCall;
        bool m_cancelled = false; // guarded by the MainThreadCall's lock
    };

    explicit MainThreadCall(QObject *parent = nullptr);
    ~MainThreadCall() override;

    void post(std::function<void()> function);
    // The application's instance; null before the application object is made or after it
    // is gone.
    static MainThreadCall *application();
    // From any thread: runs function on the application's main thread, unless context is
    // gone by then. False when there is no application to run it.
    static bool postTo(QObject *context, std::function<void()> function);
    // Called on this object's thread, runs the function at once. True when the function
    // ran before the call returned.
    // With a cancellation, the wait also ends when it is cancelled, and nothing is queued
    // once it is. A wait in progress when this object is destroyed ends then, answering
    // false; the function never runs.
    bool callAndWait(std::function<void()> function,
                     const std::shared_ptr<Cancellation> &cancellation = nullptr);
    // From any thread: ends the waits under cancellation, now and from now on.
    void cancel(Cancellation &cancellation);

    // Every wait in progress or begun until allowWaits() returns at once.
    void abortWaits();
    void allowWaits();

    // True while functions wait to run on this object's thread.
    bool hasPending() const;

private:
    struct Item
    {
        std::function<void()> function;
        std::shared_ptr<bool> done; // null for a posted function
    };
    void wake();
    void runPending();

    WakeablePoll m_wakeup; // readable while functions wait
    QSocketNotifier *m_notifier = nullptr;

    mutable std::mutex m_lock; // guards m_queue, m_aborted, the done flags and the cancellations
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    bool m_aborted = false;
    bool m_closed = false; // being destroyed: no more waits
    int m_waiters = 0;     // threads inside callAndWait
};

} // namespace varnolet
