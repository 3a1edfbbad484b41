#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

// Runs a function on the thread of a context object and waits until it has run, the way
// the frame routine hands the end of a photo or of a timed-shot run to the main thread.
// Whoever is about to stop the waiting thread (joining it from the main thread) first
// aborts the waits, so neither thread ends up waiting for the other; the function then
// still runs later on the main thread.
class MainThreadCall
{
public:
    MainThreadCall();

    // Called on the context's own thread, runs the function at once. True when the
    // function ran before the call returned.
    bool callAndWait(QObject *context, std::function<void()> function);

    // Every wait in progress or begun until allowWaits() returns at once.
    void abortWaits();
    void allowWaits();

private:
    struct Shared
    {
        std::mutex lock; // guards aborted and the done flags of the calls
        std::condition_variable changed;
        bool aborted = false;
    };
    std::shared_ptr<Shared> m_shared;
};
