// VarnoletMac's controller on the emulated camera behind uvcvideo: the device list names it
// by its USB location, the camera control is given that location, the preview runs and a
// movie recorded from it plays.
#include "MacKernelSupport.h"
#include "UvcKernelFixture.h"

#include "mac/controller/CaptureDevice.h"
#include "platform/camera/CameraEnumerator.h"
#include "platform/camera/UsbLocation.h"
#include "tests/mac/controller/AppControllerFixture.h"

#include <algorithm>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

class MacControllerKernelTest : public varnolet::test::MacKernelTest
{
};

} // namespace

TEST_F(MacControllerKernelTest, ListsTheCameraByLocationPreviewsAndRecordsAMovieThatPlays)
{
    const auto cameras = m_rig.plug();
    ASSERT_EQ(cameras.size(), 1u);
    const varnolet::CameraIdentity &identity = cameras.front();

    const std::vector<CaptureDevice> devices =
        CaptureDevice::inputDevicesWithMediaTypeVideo(*m_cameras);
    const auto listed = std::find_if(devices.begin(), devices.end(), [&](const CaptureDevice &d) {
        return d.devicePath() == identity.devicePath;
    });
    ASSERT_NE(listed, devices.end()) << "the emulated camera is not in the device list";
    EXPECT_EQ(listed->uniqueID(),
              varnolet::UsbLocation::uniqueIdentifier(identity.usbLocation, 0x1209, 0x0001));
    EXPECT_EQ(listed->uniqueID().substr(0, 10),
              varnolet::UsbLocation::hexText(identity.usbLocation))
        << "prefix and eight digits of the location";
    EXPECT_EQ(CaptureDevice::locationOfUniqueID(listed->uniqueID()), identity.usbLocation);
    EXPECT_EQ(listed->localizedDisplayName(), "Emulated Microscope");

    AppController &controller = make();
    ASSERT_TRUE(controller.IsCaptureDevice()) << "the camera could not be opened";
    EXPECT_EQ(controller.locationID(), identity.usbLocation);
    EXPECT_NE(std::find(m_control->calls.begin(), m_control->calls.end(),
                        "initWithLocationID " + std::to_string(identity.usbLocation)),
              m_control->calls.end())
        << "the camera control is given the previewed camera's location";
    ASSERT_TRUE(waitFrames(3));
    ASSERT_TRUE(controller.latestPreviewFrame());
    EXPECT_GT(controller.latestPreviewFrame()->width, 0);
    std::printf("preview %dx%d\n", controller.latestPreviewFrame()->width,
                controller.latestPreviewFrame()->height);

    controller.takeVideoRecording();
    ASSERT_TRUE(controller.bVideoRecording());
    ASSERT_TRUE(waitFrames(10));
    m_clock->advance(2s);
    controller.takeVideoRecording();
    EXPECT_FALSE(controller.bVideoRecording());
    ASSERT_EQ(movies().size(), 1u);
    const mactest::ProbeResult probe = mactest::probeMovie(movies()[0]);
    EXPECT_NEAR(probe.duration, 2.0, 0.01);
    // Under the emulator's software CPU the encoder keeps up with few of the camera's frames
    // (the recording thread takes the latest and drops the rest); on a loaded machine as few
    // as one gets in.
    EXPECT_GE(probe.frames, 1);
    EXPECT_EQ(probe.codecTag, "mp4v");
}

// Pulled out during a recording, the camera's movie is finished and plays, the controller
// enters the no-camera state through udev's notice, and plugged in again it is previewed.
TEST_F(MacControllerKernelTest, UnplugDuringARecordingKeepsTheMovieAndReplugPreviewsAgain)
{
    ASSERT_EQ(m_rig.plug().size(), 1u);
    m_watchDevices = true;
    AppController &controller = make();
    ASSERT_TRUE(controller.IsCaptureDevice());
    ASSERT_TRUE(waitFrames(3));

    controller.takeVideoRecording();
    ASSERT_TRUE(controller.bVideoRecording());
    ASSERT_TRUE(waitFrames(5));
    m_clock->advance(1500ms);
    m_rig.camera->unplug();
    EXPECT_TRUE(varnolet::test::processEventsUntil([&] {
        return !controller.IsCaptureDevice() && !controller.bVideoRecording();
    })) << "the controller did not notice the camera leaving";
    EXPECT_FALSE(controller.isPreviewRunning());
    EXPECT_TRUE(controller.deviceListText().empty());
    ASSERT_EQ(movies().size(), 1u);
    EXPECT_EQ(m_tree.added(), movies());
    const mactest::ProbeResult probe = mactest::probeMovie(movies()[0]);
    EXPECT_NEAR(probe.duration, 1.5, 0.01); // the time recorded until the camera left
    EXPECT_GE(probe.frames, 1);
    EXPECT_EQ(probe.codecTag, "mp4v");

    std::string error;
    ASSERT_EQ(m_rig.camera->plug(error), 0) << error;
    EXPECT_EQ(m_rig.waitForListed(1, 30s).size(), 1u);
    EXPECT_TRUE(varnolet::test::processEventsUntil([&] { return controller.IsCaptureDevice(); }))
        << "the camera coming back was not previewed";
    EXPECT_EQ(controller.deviceListText(), "Emulated Microscope");
    EXPECT_TRUE(waitFrames(2));
}
