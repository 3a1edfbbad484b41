#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <thread>

#include "tests/support/FakeClock.h"
#include "mac/controller/CaptureSession.h"
#include "platform/camera/CameraTypes.h"
#include "platform/camera/VirtualCameraHub.h"
#include "tests/mac/controller/MacTestFrames.h"
#include "tests/support/TestSupport.h"

using varnolet::VirtualCameraHub;

namespace {

class CaptureSessionTest : public ::testing::Test
{
protected:
    CaptureDevice plug(const varnolet::VirtualCameraOptions &options = {})
    {
        const std::string path = m_hub.plug(options);
        for (const CaptureDevice &device :
             CaptureDevice::inputDevicesWithMediaTypeVideo(*m_enumerator))
            if (device.devicePath() == path)
                return device;
        return {};
    }

    VirtualCameraHub m_hub{std::make_shared<varnolet::FakeClock>(2024, 3, 5, 10, 0, 0)};
    std::shared_ptr<mactest::VirtualOnlyEnumerator> m_enumerator =
        std::make_shared<mactest::VirtualOnlyEnumerator>(m_hub);
};

std::string threadName()
{
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

} // namespace

TEST_F(CaptureSessionTest, DeliversFramesScaledToThePixelBufferSizeOnANamedCaptureThread)
{
    CaptureSession session(m_enumerator);
    ASSERT_EQ(session.openDevice(plug()), 0);
    EXPECT_TRUE(session.isDeviceOpen());
    session.setPixelBufferSize(320, 240);

    std::mutex lock;
    std::vector<PixelBufferRef> kept;
    std::string name;
    std::thread::id callbackThread;
    session.setDelegate([&](const PixelBufferRef &frame) {
        std::lock_guard guard(lock);
        if (kept.size() < 5)
            kept.push_back(frame); // kept beyond the call, as the recording thread does
        name = threadName();
        callbackThread = std::this_thread::get_id();
    });
    ASSERT_EQ(session.startRunning(), 0);
    EXPECT_TRUE(session.isRunning());
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] {
        std::lock_guard guard(lock);
        return kept.size() >= 5;
    }));
    session.stopRunning();
    EXPECT_FALSE(session.isRunning());

    std::lock_guard guard(lock);
    EXPECT_NE(callbackThread, std::this_thread::get_id());
    EXPECT_FALSE(name.empty());
    for (const PixelBufferRef &frame : kept) {
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->width, 320);
        EXPECT_EQ(frame->height, 240);
        EXPECT_TRUE(frame->bottomUp);
        EXPECT_EQ(frame->pixels.size(), 320u * 240u * 3u);
    }
    // Each frame its own buffer: a kept frame is never overwritten by a later one.
    EXPECT_NE(kept.front()->pixels, kept.back()->pixels);
}

TEST_F(CaptureSessionTest, NoDelegateCallAfterStopReturns)
{
    CaptureSession session(m_enumerator);
    ASSERT_EQ(session.openDevice(plug()), 0);
    std::atomic<int> calls{0};
    session.setDelegate([&](const PixelBufferRef &) { ++calls; });
    ASSERT_EQ(session.startRunning(), 0);
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return calls > 1; }));
    session.closeDevice();
    EXPECT_FALSE(session.isDeviceOpen());
    const int after = calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(calls.load(), after);
}

TEST_F(CaptureSessionTest, BusyCameraFailsToStartWithDeviceBusy)
{
    CaptureSession session(m_enumerator);
    ASSERT_EQ(session.openDevice(plug({"Held", true, true})), 0);
    const int error = session.startRunning();
    EXPECT_EQ(error, -EBUSY);
    EXPECT_EQ(CaptureSession::errorDescription(error), "device busy");
    EXPECT_FALSE(session.isRunning());
}

TEST(CaptureSessionMaking, ASessionWithoutAnEnumeratorIsNotMade)
{
    EXPECT_THROW(CaptureSession(nullptr), std::invalid_argument);
}

TEST_F(CaptureSessionTest, MissingDeviceFailsToOpen)
{
    CaptureSession session(m_enumerator);
    CaptureDevice gone = plug();
    m_hub.unplugAll();
    const int error = session.openDevice(gone);
    EXPECT_LT(error, 0);
    EXPECT_FALSE(session.isDeviceOpen());
    EXPECT_EQ(CaptureSession::errorDescription(error), "device not found");
    EXPECT_LT(session.startRunning(), 0);
}

TEST_F(CaptureSessionTest, ListsTheSizesTheDeviceOffers)
{
    CaptureSession session(m_enumerator);
    EXPECT_TRUE(session.deviceResolutions().empty());
    ASSERT_EQ(session.openDevice(plug()), 0);
    const std::vector<CaptureResolution> sizes = session.deviceResolutions();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.front().getPixelFormatString(), "640X480");
    EXPECT_TRUE(std::any_of(sizes.begin(), sizes.end(), [](const CaptureResolution &s) {
        return s.getPixelFormatString() == "1600X1200";
    }));
}

TEST_F(CaptureSessionTest, ScalesALargeFrameAndRefusesAShortOne)
{
    CaptureSession session(m_enumerator);
    session.setPixelBufferSize(640, 480);
    const auto big = mactest::makeFrame(1600, 1200);
    varnolet::CameraFrame frame;
    frame.data = const_cast<uint8_t *>(big->pixels.data());
    frame.length = big->pixels.size();
    frame.width = 1600;
    frame.height = 1200;
    const PixelBufferRef scaled = session.makePixelBuffer(frame);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->width, 640);
    EXPECT_EQ(scaled->height, 480);
    // Same layout after scaling: the gradient's corner stays in the same corner.
    EXPECT_NEAR(scaled->pixels[1], big->pixels[1], 3);

    frame.length = 100; // fewer bytes than the size says
    EXPECT_FALSE(session.makePixelBuffer(frame));
}
