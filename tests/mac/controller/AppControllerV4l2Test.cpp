// The controller on the machine's own V4L2 cameras. Build machines have none, so these run
// where a camera (or the kernel's vivid driver, booted in QEMU) is present and skip
// elsewhere.
#include "tests/mac/controller/AppControllerFixture.h"

#include "platform/camera/CameraEnumerator.h"

using namespace std::chrono_literals;
using mactest::AppControllerTest;

namespace {

class V4l2CameraTest : public AppControllerTest
{
protected:
    void SetUp() override
    {
        AppControllerTest::SetUp();
        if (varnolet::CameraEnumerator::listV4l2().empty())
            GTEST_SKIP() << "no V4L2 camera on this machine";
        m_cameras = std::make_shared<varnolet::CameraEnumerator>(*m_hub);
    }
};

} // namespace

TEST_F(V4l2CameraTest, PreviewsTakesAPhotoAndRecordsAMovieThatPlays)
{
    AppController &controller = make();
    ASSERT_TRUE(controller.IsCaptureDevice()) << "the camera could not be opened";
    EXPECT_EQ(controller.mCurrentPreviewDeviceIndex(), controller.countDevices() - 1);
    ASSERT_TRUE(waitFrames(3));
    EXPECT_EQ(controller.latestPreviewFrame()->width, 640);
    EXPECT_EQ(controller.latestPreviewFrame()->height, 480);

    controller.takePhotos();
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] { return !controller.bTakePhoto(); }));
    ASSERT_EQ(photos().size(), 1u);
    EXPECT_EQ(QImage(QString::fromStdString(photos()[0])).size(), QSize(640, 480));

    controller.takeVideoRecording();
    ASSERT_TRUE(controller.bVideoRecording());
    ASSERT_TRUE(
        varnolet::test::processEventsUntil([&] { return controller.framesRecorded() >= 5; }));
    m_clock->advance(2s);
    controller.takeVideoRecording();
    ASSERT_EQ(movies().size(), 1u);
    const mactest::ProbeResult probe = mactest::probeMovie(movies()[0]);
    EXPECT_NEAR(probe.duration, 2.0, 0.01);
    EXPECT_GE(probe.frames, 5);
    EXPECT_EQ(probe.codecTag, "mp4v");

    // Another size from the driver's list restarts the stream at that size.
    const std::vector<CaptureResolution> sizes = controller.resolutionArray();
    const auto hd = std::find_if(sizes.begin(), sizes.end(), [](const CaptureResolution &s) {
        return s.getPixelFormatString() == "1280X720";
    });
    if (hd != sizes.end()) {
        controller.resolutionSelectionDidChange(static_cast<int>(hd - sizes.begin()));
        ASSERT_TRUE(waitFrames(2));
        EXPECT_EQ(controller.latestPreviewFrame()->width, 1280);
    }
}
