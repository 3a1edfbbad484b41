#include "platform/system/MainThreadCall.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

using namespace varnolet;

namespace {

// Starts a thread that calls callAndWait on `call` and returns once the function is queued,
// so the thread is waiting (or about to) when the test goes on.
std::thread waitingCaller(MainThreadCall &call, std::atomic<int> &answer, std::atomic<bool> &ran,
                          std::shared_ptr<MainThreadCall::Cancellation> cancellation = nullptr)
{
    std::thread caller([&call, &answer, &ran, cancellation] {
        answer = call.callAndWait([&ran] { ran = true; }, cancellation) ? 1 : 0;
    });
    while (!call.hasPending() && answer.load() < 0)
        std::this_thread::yield();
    return caller;
}

} // namespace

// How a wait ends: the main thread runs the function; the caller's cancellation, an abort
// or the object's end let the caller go without it.
TEST(MainThreadCallTest, AWaitEndsWhenTheFunctionRanOrItIsCancelledAbortedOrTheTargetIsGone)
{
    enum class End { Ran, Cancelled, Aborted, Destroyed };
    for (const End end : {End::Ran, End::Cancelled, End::Aborted, End::Destroyed}) {
        SCOPED_TRACE(static_cast<int>(end));
        auto call = std::make_unique<MainThreadCall>();
        auto cancellation = std::make_shared<MainThreadCall::Cancellation>();
        std::atomic<int> answer{-1};
        std::atomic<bool> ran{false};
        std::thread caller = waitingCaller(*call, answer, ran, cancellation);
        switch (end) {
        case End::Ran:
            ASSERT_TRUE(test::processEventsUntil([&] { return answer.load() >= 0; }));
            break;
        case End::Cancelled:
            call->cancel(*cancellation);
            break;
        case End::Aborted:
            call->abortWaits();
            break;
        case End::Destroyed:
            call.reset(); // returns only once the caller has left the wait
            break;
        }
        caller.join();
        EXPECT_EQ(answer.load(), end == End::Ran ? 1 : 0);
        EXPECT_EQ(ran.load(), end == End::Ran);
        if (call) {
            // A function whose wait was given up stays queued and runs later; once
            // cancelled, nothing more is queued for that caller.
            EXPECT_EQ(call->hasPending(), end != End::Ran);
            if (end == End::Cancelled) {
                bool queued = true;
                std::thread([&] { queued = call->callAndWait([] {}, cancellation); }).join();
                EXPECT_FALSE(queued);
                ASSERT_TRUE(test::processEventsUntil([&] { return ran.load(); }));
                EXPECT_FALSE(call->hasPending());
            }
        }
    }
}
