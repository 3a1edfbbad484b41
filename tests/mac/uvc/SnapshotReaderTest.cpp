#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <thread>

#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"
#include "tests/support/FakeClock.h"
#include "tests/mac/uvc/CameraFixture.h"

using namespace uvctest;
using namespace std::chrono_literals;
using varnolet::FakeClock;

namespace {

class CountingController final : public HardwareTriggerListener
{
public:
    void setMIsHandwareTrigger(bool pressed) override
    {
        if (pressed)
            ++triggers;
    }
    std::atomic<int> triggers{0};
};

// A reader running on a camera with a snapshot button, on a clock that moves only when told.
class SnapshotReaderTest : public testing::Test
{
protected:
    void open(std::shared_ptr<FakeUsbCamera> camera)
    {
        m_camera = std::move(camera);
        m_control = makeControl({m_camera}, m_clock);
        ASSERT_TRUE(m_control->initWithLocationID(kLocation));
        m_control->getDefaultValue();
        m_control->setAppController(&m_controller);
        m_control->initReadingInterruptThread();
    }
    // Sends a packet and waits for the reader to have handled it.
    void send(std::vector<uint8_t> packet)
    {
        const int done = m_camera->completionsRun();
        m_camera->sendPacket(std::move(packet));
        ASSERT_TRUE(m_camera->waitForCompletions(done + 1));
    }

    std::shared_ptr<FakeClock> m_clock = std::make_shared<FakeClock>(2026, 3, 14);
    CountingController m_controller;
    std::shared_ptr<FakeUsbCamera> m_camera;
    std::unique_ptr<UVCCameraControl> m_control;
};

std::vector<std::string> threadNames()
{
    std::vector<std::string> names;
    if (DIR *tasks = opendir("/proc/self/task")) {
        while (dirent *entry = readdir(tasks)) {
            std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
            std::string name;
            if (std::getline(comm, name))
                names.push_back(name);
        }
        closedir(tasks);
    }
    return names;
}

} // namespace

TEST_F(SnapshotReaderTest, OnlyAReleaseAfterTheGuardSetsTheFlag)
{
    open(makeCamera(kLocation, true));
    ASSERT_EQ(m_control->mStateReadingInterruptThread(), 1);
    EXPECT_EQ(m_control->mInputPipe(), 1);
    EXPECT_TRUE(m_control->mHaveBeenOpenInterface());

    m_clock->advance(150ms);
    send({0x02, 0x01, 0x00, 0x01}); // pressed
    EXPECT_EQ(m_controller.triggers, 0);
    send({0x02, 0x01, 0x00, 0x00}); // released
    EXPECT_EQ(m_controller.triggers, 1);
    send({0x01, 0x01, 0x00, 0x00}); // from the VideoControl interface
    EXPECT_EQ(m_controller.triggers, 1);
    send({0x0A, 0x01, 0x00, 0x00}); // only the low three bits of the type count
    EXPECT_EQ(m_controller.triggers, 2);
    send({0x02, 0x01, 0x01, 0x00}); // another event
    EXPECT_EQ(m_controller.triggers, 2);
    EXPECT_EQ(m_camera->readsQueued(), 6);
    m_control->releaseControl();
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 2);
    EXPECT_FALSE(m_camera->isOpen());
}

TEST_F(SnapshotReaderTest, AReleaseWithinTheFirst100msIsDropped)
{
    open(makeCamera(kLocation, true));
    m_clock->advance(40ms);
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 0);
    m_clock->advance(60ms); // exactly 100 ms: still inside the guard
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 0);
    m_clock->advance(1ms);
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 1);
}

TEST_F(SnapshotReaderTest, ATransferOfAnotherLengthEndsTheReading)
{
    open(makeCamera(kLocation, true));
    m_clock->advance(150ms);
    send({0x02, 0x01, 0x00, 0x00, 0x00});
    EXPECT_EQ(m_camera->readsQueued(), 1); // no further read
    m_camera->sendPacket({0x02, 0x01, 0x00, 0x00});
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m_controller.triggers, 0);
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 1); // idle until released

    // The next camera change starts a fresh reader that sees packets again: the one that
    // waited arrives at once (inside the new reader's guard), then a later one counts.
    m_control->releaseControl();
    m_control->clearDefaultValue();
    ASSERT_TRUE(m_control->initWithLocationID(kLocation));
    m_control->setAppController(&m_controller);
    m_control->initReadingInterruptThread();
    ASSERT_TRUE(m_camera->waitForCompletions(2));
    EXPECT_EQ(m_controller.triggers, 0);
    m_clock->advance(150ms);
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 1);
}

TEST_F(SnapshotReaderTest, TheLastInterruptInPipeIsRead)
{
    auto camera = makeCamera(kLocation, true);
    UsbPipeProperties bulk{1, 2, 2, 512, 0};
    UsbPipeProperties out{0, 4, 3, 16, 8};
    UsbPipeProperties second{1, 5, 3, 16, 8};
    camera->pipes = {camera->pipes[0], bulk, out, second};
    open(camera);
    EXPECT_EQ(m_control->mInputPipe(), 4);
}

TEST_F(SnapshotReaderTest, WithoutAnInterruptEndpointTheReaderEndsAndRequestsOpenAgain)
{
    auto camera = makeCamera(kLocation, true);
    camera->pipes.clear();
    ScopedLogCapture log;
    open(camera);
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 0);
    EXPECT_EQ(m_control->mInputPipe(), 0xFF);
    EXPECT_FALSE(m_control->mHaveBeenOpenInterface());
    EXPECT_FALSE(m_camera->isOpen());
    const auto lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "CameraControl Error: Control request failed: fffffffe"),
              lines.end());

    const int opens = m_camera->opens();
    ASSERT_TRUE(m_control->setBrightness(0.5f));
    EXPECT_EQ(m_camera->opens(), opens + 1);
    EXPECT_FALSE(m_camera->isOpen());
    m_control->releaseControl();
}

TEST_F(SnapshotReaderTest, ReaderFailuresToOpen)
{
    auto camera = makeCamera(kLocation, true);
    camera->setOpenError(UsbError::kBusy);
    ScopedLogCapture log;
    open(camera);
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 0);
    const auto lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "CameraControl Error: Unable to open interface (fffffffa)\n"),
              lines.end());
    m_control->releaseControl();

    auto noInterface = makeCamera(kLocation, true);
    noInterface->hasVideoControl = false;
    open(noInterface);
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 0);
}

TEST_F(SnapshotReaderTest, NoTriggerSupportStartsNoReader)
{
    open(makeCamera(kLocation, false));
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 2);
    EXPECT_EQ(m_camera->readsQueued(), 0);
    EXPECT_FALSE(m_control->mHaveBeenOpenInterface());
}

TEST_F(SnapshotReaderTest, WhileTheReaderHoldsTheInterfaceRequestsLeaveItOpen)
{
    open(makeCamera(kLocation, true));
    const int opens = m_camera->opens();
    const int closes = m_camera->closes();
    ASSERT_TRUE(m_control->setBrightness(0.75f));
    ASSERT_TRUE(m_control->setGain(0.25f));
    EXPECT_EQ(m_camera->opens(), opens);
    EXPECT_EQ(m_camera->closes(), closes);
    EXPECT_TRUE(m_camera->isOpen());

    // A refused request leaves the reader's interface open too.
    m_camera->setControl(3, 0x02, {-64, 64, 0, 0, UsbError::kPipe});
    EXPECT_FALSE(m_control->setBrightness(0.1f));
    EXPECT_TRUE(m_camera->isOpen());
    m_clock->advance(150ms);
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 1);

    m_control->releaseControl();
    EXPECT_EQ(m_camera->closes(), closes + 1);
}

TEST_F(SnapshotReaderTest, ReleaseWithAPendingReadReturnsPromptly)
{
    open(makeCamera(kLocation, true));
    ASSERT_TRUE(m_camera->waitForReads(1));
    bool named = false;
    for (const std::string &name : threadNames())
        named = named || name == "UVCSnapshot";
    EXPECT_TRUE(named);

    const auto start = std::chrono::steady_clock::now();
    m_control->releaseControl();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("release with a pending read took %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 2);
    EXPECT_FALSE(m_camera->isOpen());
    for (const std::string &name : threadNames())
        EXPECT_NE(name, "UVCSnapshot");
}

TEST_F(SnapshotReaderTest, AnUnplugDuringAPendingReadEndsTheReading)
{
    open(makeCamera(kLocation, true));
    ASSERT_TRUE(m_camera->waitForReads(1));
    m_camera->unplug();
    ASSERT_TRUE(m_camera->waitForCompletions(1));
    EXPECT_EQ(m_camera->readsQueued(), 1);
    EXPECT_FALSE(m_control->setBrightness(0.3f)); // the held-open interface refuses
    m_control->releaseControl();
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 2);
}

TEST_F(SnapshotReaderTest, AFailedRequeueStopsTheReader)
{
    open(makeCamera(kLocation, true));
    m_camera->setReadError(UsbError::kIo);
    m_clock->advance(150ms);
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 1);
    for (int i = 0; i < 500 && m_control->mStateReadingInterruptThread() != 0; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(m_control->mStateReadingInterruptThread(), 0);
    EXPECT_FALSE(m_control->mHaveBeenOpenInterface());
    EXPECT_FALSE(m_camera->isOpen());
    m_control->releaseControl();
}

TEST_F(SnapshotReaderTest, SwitchingCamerasRestartsTheGuard)
{
    open(makeCamera(kLocation, true));
    m_clock->advance(150ms);
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 1);

    m_control->releaseControl();
    EXPECT_FALSE(m_camera->isOpen());
    m_control->clearDefaultValue();
    ASSERT_TRUE(m_control->initWithLocationID(kLocation));
    m_control->setAppController(&m_controller);
    m_control->initReadingInterruptThread();
    ASSERT_EQ(m_control->mStateReadingInterruptThread(), 1);
    send({0x02, 0x01, 0x00, 0x00}); // new reader, 0 ms old
    EXPECT_EQ(m_controller.triggers, 1);
    m_clock->advance(101ms);
    send({0x02, 0x01, 0x00, 0x00});
    EXPECT_EQ(m_controller.triggers, 2);
}

TEST_F(SnapshotReaderTest, TheBridgeTurnsButtonEventsIntoStatusPackets)
{
    open(makeBridgedCamera(kLocation, true));
    ASSERT_EQ(m_control->mStateReadingInterruptThread(), 1);
    m_clock->advance(150ms);
    m_camera->pressButton(true);
    ASSERT_TRUE(m_camera->waitForCompletions(1));
    EXPECT_EQ(m_controller.triggers, 0);
    m_camera->pressButton(false);
    ASSERT_TRUE(m_camera->waitForCompletions(2));
    EXPECT_EQ(m_controller.triggers, 1);
    // Requests keep working through the V4L2 controls while the reader holds the interface.
    ASSERT_TRUE(m_control->setBrightness(0.75f));
    EXPECT_EQ(m_camera->v4l2->control(V4L2_CID_BRIGHTNESS).value, 32);
    m_control->releaseControl();
}

TEST_F(SnapshotReaderTest, RequestsAndPacketsAtTheSameTime)
{
    open(makeCamera(kLocation, true));
    m_clock->advance(150ms);
    std::thread presser([this] {
        for (int i = 0; i < 200; ++i)
            m_camera->sendPacket({0x02, 0x01, 0x00, static_cast<uint8_t>(i % 2)});
    });
    int refused = 0;
    for (int i = 0; i < 200; ++i)
        refused += m_control->setValueFor(i % 2 ? AdjustField::Brightness : AdjustField::Hub,
                                          (i % 10) / 10.0f)
                       ? 0
                       : 1;
    presser.join();
    ASSERT_TRUE(m_camera->waitForCompletions(200));
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(m_controller.triggers, 100);
    m_control->releaseControl();
}
