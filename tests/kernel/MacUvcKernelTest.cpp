// VarnoletMac's USB layer against the real uvcvideo driver and the emulated camera: the
// picture controls and the snapshot button through the V4L2 and input-device bridges while
// uvcvideo holds the camera, through direct control requests and the status endpoint's
// interrupt transfers once it is unbound, and a camera pulled out while a read is pending.
#include "platform/system/Clock.h"
#include "UvcKernelFixture.h"

#include "tests/kernel/uvc/UvcDescriptorBuilder.h"

#include "mac/uvc/UVCCameraControl.h"
#include "platform/camera/UsbLocation.h"
#include "platform/camera/VirtualCameraHub.h"

#include <gtest/gtest.h>

#include <linux/usb/video.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

constexpr uint8_t kTerminal = UvcDescriptorBuilder::kCameraTerminalId;
constexpr uint8_t kProcessing = UvcDescriptorBuilder::kProcessingUnitId;

// Stands in for the application controller: counts the releases it is told about.
struct TriggerCounter : HardwareTriggerListener
{
    void setMIsHandwareTrigger(bool pressed) override
    {
        if (pressed)
            ++releases;
    }
    std::atomic<int> releases{0};
};

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

long long millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

class MacUvcKernelTest : public UvcKernelFixture
{
protected:
    int32_t cameraValue(uint8_t entity, uint8_t selector)
    {
        const auto state = camera->controlState(entity, selector);
        return state ? state->value : INT32_MIN;
    }

    // The camera's defaults as the control reads them (ranges of the emulated camera:
    // brightness -64..64 at 0, contrast 0..95 at 32, hue -2000..2000 at 0, saturation
    // 0..100 at 64, sharpness 0..7 at 3).
    void expectDefaultsRead(UVCCameraControl &control)
    {
        control.getDefaultValue();
        EXPECT_NEAR(control.getBrightness(), 0.5f, 1e-4);
        EXPECT_NEAR(control.getContrast(), 32.0f / 95.0f, 1e-4);
        EXPECT_NEAR(control.getGain(), 0.5f, 1e-4);
        EXPECT_NEAR(control.getSaturation(), 0.64f, 1e-4);
        EXPECT_NEAR(control.getSharpness(), 3.0f / 7.0f, 1e-4);
    }

    // Each of the five picture values set, then checked on the camera's side and read back.
    void expectSetsReachTheCamera(UVCCameraControl &control)
    {
        EXPECT_TRUE(control.setBrightness(0.75f));
        EXPECT_EQ(cameraValue(kProcessing, UVC_PU_BRIGHTNESS_CONTROL), 32);
        EXPECT_TRUE(control.setContrast(1.0f));
        EXPECT_EQ(cameraValue(kProcessing, UVC_PU_CONTRAST_CONTROL), 95);
        EXPECT_TRUE(control.setGain(0.75f));
        EXPECT_EQ(cameraValue(kProcessing, UVC_PU_HUE_CONTROL), 1000);
        EXPECT_TRUE(control.setSaturation(0.25f));
        EXPECT_EQ(cameraValue(kProcessing, UVC_PU_SATURATION_CONTROL), 25);
        EXPECT_TRUE(control.setSharpness(0.0f));
        EXPECT_EQ(cameraValue(kProcessing, UVC_PU_SHARPNESS_CONTROL), 0);

        control.getDefaultValue();
        EXPECT_NEAR(control.getBrightness(), 0.75f, 1e-4);
        EXPECT_NEAR(control.getContrast(), 1.0f, 1e-4);
        EXPECT_NEAR(control.getGain(), 0.75f, 1e-4);
        EXPECT_NEAR(control.getSaturation(), 0.25f, 1e-4);
        EXPECT_NEAR(control.getSharpness(), 0.0f, 1e-4);

        EXPECT_TRUE(control.setAutoExposure(false));
        EXPECT_EQ(cameraValue(kTerminal, UVC_CT_AE_MODE_CONTROL), 1);
        EXPECT_TRUE(control.setAutoExposure(true));
        EXPECT_EQ(cameraValue(kTerminal, UVC_CT_AE_MODE_CONTROL), 8);
    }

    // Starts the snapshot reader, clicks the camera's button and waits for the release to
    // reach the listener; a press alone must not count.
    void expectButtonReleaseHeard(UVCCameraControl &control, TriggerCounter &listener)
    {
        control.setAppController(&listener);
        control.initReadingInterruptThread();
        ASSERT_EQ(control.mStateReadingInterruptThread(), 1);
        std::this_thread::sleep_for(300ms);
        const int before = listener.releases;
        camera->button(true);
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(listener.releases, before) << "a press is no release";
        camera->button(false);
        EXPECT_TRUE(waitUntil([&] { return listener.releases > before; }, 5s));
        // The control requests still work while the reader holds the interface.
        EXPECT_TRUE(control.setSharpness(1.0f));
        EXPECT_EQ(cameraValue(kProcessing, UVC_PU_SHARPNESS_CONTROL), 7);
    }

    // The camera control's virtual cameras: none is plugged.
    varnolet::VirtualCameraHub noVirtualCameras{std::make_shared<varnolet::SystemClock>()};
};

} // namespace

TEST_F(MacUvcKernelTest, ThroughTheV4l2BridgeWhileUvcvideoHoldsTheCamera)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    const uint32_t location = cameras.front().usbLocation;
    ASSERT_NE(location, 0u);

    UVCCameraControl control(std::make_shared<varnolet::SystemClock>(), noVirtualCameras);
    control.clearDefaultValue();
    EXPECT_FALSE(control.initWithLocationID(location ^ 0x00F00000)) << "no camera is there";
    ASSERT_TRUE(control.initWithLocationID(location));
    EXPECT_TRUE(control.hasInterface());
    EXPECT_TRUE(control.mIsSupportHandWareTrigger());
    EXPECT_FALSE(control.getPixelsArray().empty());

    expectDefaultsRead(control);
    expectSetsReachTheCamera(control);
    TriggerCounter listener;
    expectButtonReleaseHeard(control, listener);

    const auto start = std::chrono::steady_clock::now();
    control.releaseControl();
    EXPECT_LT(millisecondsSince(start), 5000) << "the pending read held the release up";
    // uvcvideo still has the camera afterwards.
    EXPECT_EQ(waitForListed(1, 5s).size(), 1u);
}

TEST_F(MacUvcKernelTest, ThroughDirectRequestsAfterUnbindingUvcvideo)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    const uint32_t location = cameras.front().usbLocation;
    ASSERT_GE(unbindUvcvideo(cameras.front()), 1);
    ASSERT_TRUE(waitForListed(0, 20s).empty());

    UVCCameraControl control(std::make_shared<varnolet::SystemClock>(), noVirtualCameras);
    control.clearDefaultValue();
    EXPECT_FALSE(control.initWithLocationID(location ^ 0x00F00000));
    ASSERT_TRUE(control.initWithLocationID(location));
    EXPECT_TRUE(control.hasInterface());
    EXPECT_TRUE(control.mIsSupportHandWareTrigger());

    expectDefaultsRead(control);
    expectSetsReachTheCamera(control);
    TriggerCounter listener;
    expectButtonReleaseHeard(control, listener);
    EXPECT_NE(control.mInputPipe(), 0) << "the button is read from the status endpoint";

    const auto start = std::chrono::steady_clock::now();
    control.releaseControl();
    EXPECT_LT(millisecondsSince(start), 5000) << "the pending read held the release up";

    // Binding again gives the camera back to the capture side.
    EXPECT_GE(bindUvcvideo(cameras.front()), 1);
    EXPECT_EQ(waitForListed(1, 20s).size(), 1u);
}

TEST_F(MacUvcKernelTest, UnplugWhileTheButtonReadIsPending)
{
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "libusb" : "bridges");
        const auto cameras = plug();
        ASSERT_EQ(cameras.size(), 1u);
        const uint32_t location = cameras.front().usbLocation;
        if (direct) {
            ASSERT_GE(unbindUvcvideo(cameras.front()), 1);
            ASSERT_TRUE(waitForListed(0, 20s).empty());
        }

        TriggerCounter listener;
        UVCCameraControl control(std::make_shared<varnolet::SystemClock>(), noVirtualCameras);
        control.clearDefaultValue();
        ASSERT_TRUE(control.initWithLocationID(location));
        control.setAppController(&listener);
        control.initReadingInterruptThread();
        ASSERT_EQ(control.mStateReadingInterruptThread(), 1);
        std::this_thread::sleep_for(300ms);

        camera->unplug();
        EXPECT_TRUE(waitForListed(0, 20s).empty());
        std::this_thread::sleep_for(500ms);
        EXPECT_FALSE(control.setBrightness(0.5f)) << "the camera is gone";
        const auto start = std::chrono::steady_clock::now();
        control.releaseControl();
        EXPECT_LT(millisecondsSince(start), 5000) << "the pending read held the release up";
        EXPECT_EQ(listener.releases, 0);
        EXPECT_FALSE(control.initWithLocationID(location));
        camera.reset();
    }
}
