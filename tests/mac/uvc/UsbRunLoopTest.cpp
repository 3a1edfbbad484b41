#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "mac/uvc/ButtonStatusPipe.h"
#include "mac/uvc/UsbRunLoop.h"

using namespace std::chrono_literals;

namespace {

// Collects completions of status-pipe reads.
struct Reads
{
    static void done(void *context, int32_t result, uint32_t bytes)
    {
        auto *self = static_cast<Reads *>(context);
        self->results.push_back(result);
        self->packets.emplace_back(self->buffer, self->buffer + bytes);
        self->thread = std::this_thread::get_id();
        ++self->count;
    }
    uint8_t buffer[100] = {};
    std::vector<int32_t> results;
    std::vector<std::vector<uint8_t>> packets;
    std::thread::id thread;
    std::atomic<int> count{0};
};

} // namespace

TEST(UsbRunLoopTest, TasksRunOnTheLoopThreadUntilStopped)
{
    auto loop = std::make_shared<UsbRunLoop>();
    std::atomic<int> ran{0};
    std::thread::id where;
    std::thread runner([&] { loop->run(); });
    const std::thread::id runnerId = runner.get_id();
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            loop->post([&] {
                where = std::this_thread::get_id();
                ++ran;
            });
    });
    poster.join();
    while (ran < 100)
        std::this_thread::sleep_for(1ms);
    const auto start = std::chrono::steady_clock::now();
    loop->stop();
    runner.join();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("stop to return: %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_EQ(where, runnerId);
    EXPECT_TRUE(loop->isStopped());
}

TEST(UsbRunLoopTest, AStopBeforeRunReturnsAtOnceAndOnExitRuns)
{
    UsbRunLoop loop;
    bool exited = false;
    bool ran = false;
    loop.setOnExit([&] { exited = true; });
    loop.post([&] { ran = true; });
    loop.stop();
    loop.run();
    EXPECT_TRUE(exited);
    EXPECT_FALSE(ran); // dropped with the stop
}

TEST(UsbRunLoopTest, ATaskThatStopsTheLoopDropsTheRest)
{
    UsbRunLoop loop;
    int ran = 0;
    int pumps = 0;
    loop.setPump([&] { ++pumps; });
    loop.post([&] { ++ran; });
    loop.post([&] {
        ++ran;
        loop.stop();
    });
    loop.post([&] { ++ran; });
    loop.run();
    EXPECT_EQ(ran, 2);
    EXPECT_GE(pumps, 1);
}

TEST(ButtonStatusPipeTest, PressesWaitForAReadAndArriveAsStatusPackets)
{
    auto loop = std::make_shared<UsbRunLoop>();
    ButtonStatusPipe pipe;
    pipe.attach(loop);
    Reads reads;
    ASSERT_EQ(pipe.readAsync(reads.buffer, 100, &Reads::done, &reads), 0);
    EXPECT_EQ(pipe.readAsync(reads.buffer, 100, &Reads::done, &reads), UsbError::kBusy);
    pipe.buttonChanged(true);  // to the pending read
    pipe.buttonChanged(false); // waits for the next one
    loop->post([&] {
        // The second packet needs a second read, queued from the completion's thread.
        EXPECT_EQ(pipe.readAsync(reads.buffer, 100, &Reads::done, &reads), 0);
    });
    std::thread runner([&] { loop->run(); });
    const std::thread::id runnerId = runner.get_id();
    for (int i = 0; i < 5000 && reads.count < 2; ++i)
        std::this_thread::sleep_for(1ms);
    loop->stop();
    runner.join();
    ASSERT_EQ(reads.packets.size(), 2u);
    EXPECT_EQ(reads.packets[0], (std::vector<uint8_t>{0x02, 0x01, 0x00, 0x01}));
    EXPECT_EQ(reads.packets[1], (std::vector<uint8_t>{0x02, 0x01, 0x00, 0x00}));
    EXPECT_EQ(reads.results, (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(reads.thread, runnerId);
}

TEST(ButtonStatusPipeTest, ShortBuffersAndOverflowAndCancel)
{
    auto loop = std::make_shared<UsbRunLoop>();
    ButtonStatusPipe pipe;
    pipe.attach(loop);
    for (size_t i = 0; i < ButtonStatusPipe::kMaxWaitingPackets + 4; ++i)
        pipe.buttonChanged(i % 2 == 0);
    Reads reads;
    ASSERT_EQ(pipe.readAsync(reads.buffer, 3, &Reads::done, &reads), 0);
    loop->post([&] { loop->stop(); });
    loop->run();
    ASSERT_EQ(reads.packets.size(), 1u);
    // The four oldest were dropped: the first kept is the fifth, a press.
    EXPECT_EQ(reads.packets[0], (std::vector<uint8_t>{0x02, 0x01, 0x00}));

    pipe.cancel();
    auto second = std::make_shared<UsbRunLoop>();
    pipe.attach(second);
    Reads none;
    ASSERT_EQ(pipe.readAsync(none.buffer, 100, &Reads::done, &none), 0);
    second->post([&] { second->stop(); });
    second->run();
    EXPECT_TRUE(none.packets.empty()); // the waiting packets went with the cancel
    EXPECT_EQ(pipe.readAsync(nullptr, 100, &Reads::done, &none), UsbError::kInvalidParameter);
}
