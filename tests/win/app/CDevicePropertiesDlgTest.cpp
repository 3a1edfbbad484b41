#include "win/app/CDevicePropertiesDlg.h"

#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>

#include "platform/camera/CameraSource.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "win/common/AppServices.h"

using varnolet::CameraControl;

namespace {

// A camera with one control of each kind, remembering what was written.
class ControlCamera final : public varnolet::CameraSource
{
public:
    ControlCamera()
    {
        m_controls.push_back(make(V4L2_CID_BRIGHTNESS, "Brightness", CameraControl::Type::Integer,
                                  -64, 64, 1, 0, 10));
        m_controls.push_back(
            make(V4L2_CID_SHARPNESS, "Sharpness", CameraControl::Type::Integer, 0, 8, 2, 4, 4));
        m_controls.push_back(make(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic",
                                  CameraControl::Type::Boolean, 0, 1, 1, 1, 0));
        CameraControl frequency = make(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency",
                                       CameraControl::Type::Menu, 0, 2, 1, 1, 2);
        frequency.menuItems = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}};
        m_controls.push_back(frequency);
        CameraControl gain =
            make(V4L2_CID_GAIN, "Gain", CameraControl::Type::Integer, 0, 100, 1, 50, 50);
        gain.inactive = true;
        m_controls.push_back(gain);
    }

    static CameraControl make(uint32_t id, const char *name, CameraControl::Type type,
                              int32_t minimum, int32_t maximum, int32_t step, int32_t defaultValue,
                              int32_t value)
    {
        CameraControl c;
        c.id = id;
        c.name = name;
        c.type = type;
        c.minimum = minimum;
        c.maximum = maximum;
        c.step = step;
        c.defaultValue = defaultValue;
        c.value = value;
        return c;
    }

    varnolet::CameraIdentity identity() const override { return {}; }
    std::vector<varnolet::CameraFormat> formats() const override { return {}; }
    varnolet::CameraFormat currentFormat() const override { return {}; }
    int setFormat(int, int) override { return 0; }
    int start(FrameCallback, StreamEndCallback) override { return 0; }
    void stop() override {}
    bool isStreaming() const override { return false; }
    std::vector<CameraControl> controls() const override { return m_controls; }
    int control(uint32_t id, int32_t &value) const override
    {
        for (const auto &c : m_controls)
            if (c.id == id) {
                value = c.value;
                return 0;
            }
        return -EINVAL;
    }
    int setControl(uint32_t id, int32_t value) override
    {
        ++writes;
        for (auto &c : m_controls)
            if (c.id == id) {
                c.value = std::clamp(value, c.minimum, c.maximum);
                return 0;
            }
        return -EINVAL;
    }
    int resetControls() override
    {
        for (auto &c : m_controls)
            c.value = c.defaultValue;
        ++resets;
        return 0;
    }
    bool hasSnapshotButton() const override { return false; }
    void setButtonCallback(ButtonCallback) override {}

    int32_t valueOf(uint32_t id) const
    {
        int32_t v = 0;
        control(id, v);
        return v;
    }

    int writes = 0;
    int resets = 0;

private:
    std::vector<CameraControl> m_controls;
};

} // namespace

TEST(DevicePropertiesDlgTest, OneEditorPerControlOfTheRightKind)
{
    ControlCamera camera;
    const AppServices services(varnolet::SystemPaths::fromEnvironment());
    CDevicePropertiesDlg dialog(camera, services, varnolet::MessageRecorder().box());
    EXPECT_EQ(dialog.ControlCount(), 5);
    auto *brightness = qobject_cast<QSlider *>(dialog.EditorOf(V4L2_CID_BRIGHTNESS));
    ASSERT_NE(brightness, nullptr);
    EXPECT_EQ(brightness->minimum(), -64);
    EXPECT_EQ(brightness->maximum(), 64);
    EXPECT_EQ(brightness->value(), 10);
    EXPECT_NE(qobject_cast<QCheckBox *>(dialog.EditorOf(V4L2_CID_AUTO_WHITE_BALANCE)), nullptr);
    auto *menu = qobject_cast<QComboBox *>(dialog.EditorOf(V4L2_CID_POWER_LINE_FREQUENCY));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->count(), 3);
    EXPECT_EQ(menu->currentText(), QStringLiteral("60 Hz"));
    // An inactive control is shown but cannot be changed.
    EXPECT_FALSE(dialog.EditorOf(V4L2_CID_GAIN)->isEnabled());
    EXPECT_EQ(dialog.EditorOf(0x12345), nullptr);
    EXPECT_EQ(camera.writes, 0); // opening writes nothing
}

TEST(DevicePropertiesDlgTest, ChangesApplyWhileMovingAndDefaultsComeBack)
{
    ControlCamera camera;
    const AppServices services(varnolet::SystemPaths::fromEnvironment());
    CDevicePropertiesDlg dialog(camera, services, varnolet::MessageRecorder().box());
    auto *brightness = qobject_cast<QSlider *>(dialog.EditorOf(V4L2_CID_BRIGHTNESS));
    brightness->setValue(-20);
    EXPECT_EQ(camera.valueOf(V4L2_CID_BRIGHTNESS), -20);
    brightness->setValue(-21);
    EXPECT_EQ(camera.valueOf(V4L2_CID_BRIGHTNESS), -21);

    // Values keep to the control's steps.
    qobject_cast<QSlider *>(dialog.EditorOf(V4L2_CID_SHARPNESS))->setValue(7);
    EXPECT_EQ(camera.valueOf(V4L2_CID_SHARPNESS), 6);

    qobject_cast<QCheckBox *>(dialog.EditorOf(V4L2_CID_AUTO_WHITE_BALANCE))->setChecked(true);
    EXPECT_EQ(camera.valueOf(V4L2_CID_AUTO_WHITE_BALANCE), 1);
    auto *menu = qobject_cast<QComboBox *>(dialog.EditorOf(V4L2_CID_POWER_LINE_FREQUENCY));
    emit menu->activated(1);
    EXPECT_EQ(camera.valueOf(V4L2_CID_POWER_LINE_FREQUENCY), 1);

    const int writesBefore = camera.writes;
    dialog.DefaultButton()->click();
    EXPECT_EQ(camera.resets, 1);
    EXPECT_EQ(camera.valueOf(V4L2_CID_BRIGHTNESS), 0);
    EXPECT_EQ(brightness->value(), 0);
    EXPECT_EQ(menu->currentText(), QStringLiteral("50 Hz"));
    EXPECT_TRUE(
        qobject_cast<QCheckBox *>(dialog.EditorOf(V4L2_CID_AUTO_WHITE_BALANCE))->isChecked());
    // Showing the defaults writes nothing back.
    EXPECT_EQ(camera.writes, writesBefore);
}
