// The adjust panel of VarnoletMac on a virtual camera: the camera control finds the camera
// on the USB bus by the location its capture device shows, and the panel's sliders reach
// the camera's picture controls and the picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <mutex>

#include <linux/videodev2.h>

#include "tests/support/FakeClock.h"
#include "platform/system/Clock.h"
#include "mac/ui/CameraAdjustPanel.h"
#include "mac/uvc/UVCCameraControl.h"
#include "mac/uvc/UsbBusWithVirtualCameras.h"
#include "platform/camera/VirtualCameraHub.h"
#include "tests/support/TestSupport.h"

using varnolet::VirtualCameraHub;

namespace {

class VirtualCameraAdjustTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_path = m_hub.plug();
        m_location = m_hub.list().front().usbLocation;
    }

    int32_t cameraValue(uint32_t id)
    {
        int error = 0;
        int32_t value = -1000;
        if (auto source = m_hub.open(m_path, error))
            source->control(id, value);
        return value;
    }

    // Mean spread of the colour channels in the middle of one delivered frame.
    double frameChroma()
    {
        int error = 0;
        auto source = m_hub.open(m_path, error);
        std::mutex lock;
        std::vector<uint8_t> frame;
        int width = 0;
        source->start([&](const varnolet::CameraFrame &f) {
            std::lock_guard guard(lock);
            if (frame.empty()) {
                frame.assign(f.data, f.data + f.length);
                width = f.width;
            }
        });
        varnolet::test::processEventsUntil([&] {
            std::lock_guard guard(lock);
            return !frame.empty();
        });
        source->stop();
        double sum = 0;
        int pixels = 0;
        for (int row = 100; row < 380; ++row) {
            for (int x = 100; x < 540; ++x, ++pixels) {
                const uint8_t *p = frame.data() + (row * width + x) * 3;
                sum += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
            }
        }
        return pixels ? sum / pixels : -1;
    }

    VirtualCameraHub m_hub{std::make_shared<varnolet::FakeClock>(2024, 3, 5, 10, 0, 0)};
    std::string m_path;
    uint32_t m_location = 0;
};

} // namespace

TEST_F(VirtualCameraAdjustTest, TheAdjustPanelSetsAndReadsTheVirtualCamerasControls)
{
    UVCCameraControl control(std::make_unique<UsbBusWithVirtualCameras>(nullptr, m_hub),
                             std::make_shared<varnolet::SystemClock>());
    CameraAdjustPanel panel(control);
    control.setAdjustView(&panel);
    // What the controller does when the previewed camera's location changes.
    control.releaseControl();
    control.clearDefaultValue();
    ASSERT_TRUE(control.initWithLocationID(m_location));
    control.getDefaultValue();
    ASSERT_TRUE(control.hasInterface());
    const std::vector<CaptureResolution> sizes = control.getPixelsArray();
    ASSERT_EQ(sizes.size(), 5u);
    EXPECT_EQ(sizes.front().nResolutionWidth, 640);
    EXPECT_EQ(sizes.back().nResolutionWidth, 2048);

    // The camera's values on the panel: brightness 0 of -64..64, saturation 64 of 0..128.
    EXPECT_NEAR(control.getBrightness(), 0.5f, 0.01f);
    EXPECT_NEAR(panel.sliderBrightness->value(), 500, 10);
    EXPECT_NEAR(panel.sliderSaturation->value(), 500, 10);
    const double colourful = frameChroma();

    panel.show();
    panel.sliderBrightness->setFocus();
    QTest::keyClick(panel.sliderBrightness, Qt::Key_End);
    EXPECT_EQ(cameraValue(V4L2_CID_BRIGHTNESS), 64);
    QTest::keyClick(panel.sliderSaturation, Qt::Key_Home);
    EXPECT_EQ(cameraValue(V4L2_CID_SATURATION), 0);
    for (auto [slider, id, expected] : {std::tuple{panel.sliderHub, V4L2_CID_HUE, 180},
                                        {panel.sliderContrast, V4L2_CID_CONTRAST, 64},
                                        {panel.sliderSharpness, V4L2_CID_SHARPNESS, 7}}) {
        QTest::keyClick(slider, Qt::Key_End);
        EXPECT_EQ(cameraValue(id), expected) << slider->objectName().toStdString();
    }
    EXPECT_LT(frameChroma(), colourful * 0.2) << "the picture lost its colour";

    // A value changed on the camera reads back through the same requests.
    {
        int error = 0;
        m_hub.open(m_path, error)->setControl(V4L2_CID_BRIGHTNESS, -64);
    }
    EXPECT_NEAR(control.getValueForControl(control.controlTable().brightness), 0.0f, 0.01f);

    varnolet::test::processEventsFor(std::chrono::milliseconds(100));
    panel.grab().save(
        varnolet::test::screenshotPath(QStringLiteral("mac-virtual-camera-adjust.png")));

    // Set Default goes back to the values read at the open.
    control.setDefaultValue();
    EXPECT_EQ(cameraValue(V4L2_CID_BRIGHTNESS), 0);
    EXPECT_EQ(cameraValue(V4L2_CID_SATURATION), 64);

    // Unplugged: the requests fail, nothing hangs or crashes.
    m_hub.unplug(m_path);
    EXPECT_FALSE(control.setBrightness(0.9f));
}

TEST_F(VirtualCameraAdjustTest, OnlyTheVirtualCameraAtThatLocationIsFound)
{
    const std::string second = m_hub.plug();
    UsbBusWithVirtualCameras bus(nullptr, m_hub);
    ASSERT_EQ(bus.enumerateDevices(), 2u);
    std::unique_ptr<UsbDevice> device;
    uint32_t first = 0, other = 0;
    ASSERT_EQ(bus.openDevice(0, device), 0);
    device->getLocationID(first);
    ASSERT_EQ(bus.openDevice(1, device), 0);
    device->getLocationID(other);
    EXPECT_EQ(first, m_location);
    EXPECT_NE(other, m_location);
    EXPECT_NE(bus.openDevice(2, device), 0);

    UVCCameraControl control(std::make_unique<UsbBusWithVirtualCameras>(nullptr, m_hub),
                             std::make_shared<varnolet::SystemClock>());
    EXPECT_FALSE(control.initWithLocationID(0x01230000)) << "no USB camera there";
    EXPECT_TRUE(control.initWithLocationID(other));
    control.getDefaultValue();
    EXPECT_TRUE(control.setSharpness(0.0f));
    int error = 0;
    int32_t value = -1;
    m_hub.open(second, error)->control(V4L2_CID_SHARPNESS, value);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(cameraValue(V4L2_CID_SHARPNESS), 3) << "the other camera is untouched";
}
