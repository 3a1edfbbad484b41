#include "platform/camera/CameraSource.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include <linux/videodev2.h>

using namespace varnolet;

namespace {

// Controls as uvcvideo presents a camera with auto-exposure: the exposure time can be set
// only while the exposure mode is manual, and is reported inactive otherwise.
class ExposureCamera final : public CameraSource
{
public:
    std::map<uint32_t, int32_t> values{{V4L2_CID_BRIGHTNESS, 10},
                                       {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
                                       {V4L2_CID_EXPOSURE_ABSOLUTE, 500}};
    std::vector<uint32_t> sets;

    CameraIdentity identity() const override { return {}; }
    std::vector<CameraFormat> formats() const override { return {}; }
    CameraFormat currentFormat() const override { return {}; }
    int setFormat(int, int) override { return 0; }
    int start(FrameCallback, StreamEndCallback) override { return 0; }
    void stop() override {}
    bool isStreaming() const override { return false; }
    bool hasSnapshotButton() const override { return false; }
    void setButtonCallback(ButtonCallback) override {}

    std::vector<CameraControl> controls() const override
    {
        CameraControl brightness;
        brightness.id = V4L2_CID_BRIGHTNESS;
        brightness.defaultValue = 0;
        CameraControl mode;
        mode.id = V4L2_CID_EXPOSURE_AUTO;
        mode.type = CameraControl::Type::Menu;
        mode.defaultValue = V4L2_EXPOSURE_APERTURE_PRIORITY;
        mode.updatesOthers = true;
        CameraControl time;
        time.id = V4L2_CID_EXPOSURE_ABSOLUTE;
        time.defaultValue = 156;
        time.inactive = manual() == false;
        // The driver's order: the mode before the time it governs.
        return {brightness, mode, time};
    }
    int control(uint32_t id, int32_t &value) const override
    {
        value = values.at(id);
        return 0;
    }
    int setControl(uint32_t id, int32_t value) override
    {
        if (id == V4L2_CID_EXPOSURE_ABSOLUTE && !manual())
            return -EACCES;
        sets.push_back(id);
        values[id] = value;
        return 0;
    }

private:
    bool manual() const { return values.at(V4L2_CID_EXPOSURE_AUTO) == V4L2_EXPOSURE_MANUAL; }
};

} // namespace

TEST(CameraSourceReset, TimeGovernedByTheExposureModeIsResetBeforeTheMode)
{
    ExposureCamera camera;
    EXPECT_EQ(camera.resetControls(), 0);
    EXPECT_EQ(camera.values[V4L2_CID_BRIGHTNESS], 0);
    EXPECT_EQ(camera.values[V4L2_CID_EXPOSURE_ABSOLUTE], 156);
    EXPECT_EQ(camera.values[V4L2_CID_EXPOSURE_AUTO], V4L2_EXPOSURE_APERTURE_PRIORITY);
    EXPECT_EQ(camera.sets.back(), static_cast<uint32_t>(V4L2_CID_EXPOSURE_AUTO));
}

TEST(CameraSourceReset, AnInactiveControlIsLeftAloneAndIsNoFailure)
{
    ExposureCamera camera;
    camera.values[V4L2_CID_EXPOSURE_AUTO] = V4L2_EXPOSURE_APERTURE_PRIORITY;
    EXPECT_EQ(camera.resetControls(), 0);
    EXPECT_EQ(camera.values[V4L2_CID_EXPOSURE_ABSOLUTE], 500);
    EXPECT_EQ(camera.values[V4L2_CID_BRIGHTNESS], 0);
}
