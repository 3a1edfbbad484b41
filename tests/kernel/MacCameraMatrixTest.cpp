// The camera matrix, VarnoletMac side: every descriptor file of the matrix folder
// (CameraMatrix) plugged as a camera, one test per camera. Steps: the resolution list parsed
// from the camera's descriptors against the driver's uncompressed sizes, the picture
// controls the camera declares read and set through the bridge with the values checked on
// the camera, the ones it lacks refused without a hang or a flood of log lines, then the
// controller's preview and a photo.
#include "platform/system/Clock.h"
#include "CameraMatrix.h"
#include "MacKernelSupport.h"
#include "UvcKernelFixture.h"

#include "tests/kernel/uvc/UvcControlTable.h"

#include "mac/core/SystemLog.h"
#include "tests/support/ScopedLogCapture.h"
#include "mac/uvc/UVCCameraControl.h"
#include "mac/uvc/UVCResolutionList.h"
#include "tests/mac/controller/AppControllerFixture.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <linux/usb/video.h>
#include <linux/videodev2.h>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

class MacCameraMatrixTest : public MacKernelTest, public ::testing::WithParamInterface<std::string>
{
};

// One of the five picture values of the Mac program and the processing unit control it
// drives (the program's "gain" is the camera's hue).
struct PictureControl
{
    const char *name;
    unsigned bit; // bmControls bit of the processing unit
    uint8_t selector;
    bool (UVCCameraControl::*set)(float);
    float (UVCCameraControl::*get)() const;
};

const PictureControl kPictureControls[] = {
    {"brightness", 0, UVC_PU_BRIGHTNESS_CONTROL, &UVCCameraControl::setBrightness,
     &UVCCameraControl::getBrightness},
    {"contrast", 1, UVC_PU_CONTRAST_CONTROL, &UVCCameraControl::setContrast,
     &UVCCameraControl::getContrast},
    {"gain", 2, UVC_PU_HUE_CONTROL, &UVCCameraControl::setGain, &UVCCameraControl::getGain},
    {"saturation", 3, UVC_PU_SATURATION_CONTROL, &UVCCameraControl::setSaturation,
     &UVCCameraControl::getSaturation},
    {"sharpness", 4, UVC_PU_SHARPNESS_CONTROL, &UVCCameraControl::setSharpness,
     &UVCCameraControl::getSharpness},
};

// Whether the camera's uncompressed frames are all of a kind the Mac parser documents as not
// taken (a vendor-specific VideoControl class, continuous frame intervals): then its list
// is empty and the controller previews at its default size.
bool macListFallsBack(const UvcConfiguration &config)
{
    if (config.vendorClass)
        return true;
    for (const auto &s : config.streaming) {
        for (const auto &f : s.formats) {
            if (f.encoding != UvcConfiguration::Encoding::Yuyv)
                continue;
            for (const auto &frame : f.frames) {
                if (!frame.intervals.empty())
                    return false;
            }
        }
    }
    return true;
}

} // namespace

TEST_P(MacCameraMatrixTest, Camera)
{
    const auto started = std::chrono::steady_clock::now();
    const MatrixCamera c = CameraMatrix::load(GetParam());
    SCOPED_TRACE("camera " + c.name);
    ASSERT_TRUE(c.parseError.empty()) << "the emulator refuses the bytes: " << c.parseError;
    const auto cameras = m_rig.plug(c.options, c.nodes);
    ASSERT_EQ(cameras.size(), c.nodes);
    const CameraIdentity &identity = cameras.front();

    size_t listed = 0;
    {
        SCOPED_TRACE("step VarnoletMac resolution list");
        std::vector<std::pair<int, int>> driverSizes;
        for (const CameraIdentity &node : cameras) {
            for (const CameraFormat &f : CameraMatrix::driverFormats(node.nodePath)) {
                if (f.pixelFormat == V4L2_PIX_FMT_YUYV)
                    driverSizes.emplace_back(f.width, f.height);
            }
        }
        const std::vector<uint8_t> served = readBinaryFile(identity.usbSysfsPath + "/descriptors");
        ASSERT_GT(served.size(), 18u);
        UVCResolutionList list;
        const bool trigger = list.getMaxResolution(served.data() + 18, served.size() - 18);
        const bool declared = std::any_of(c.config.streaming.begin(), c.config.streaming.end(),
                                          [](const auto &s) { return s.triggerSupport; });
        if (!c.config.vendorClass) {
            EXPECT_EQ(trigger, declared) << "the snapshot button's trigger support";
        }
        std::vector<std::pair<int, int>> macSizes;
        for (const CaptureResolution &r : list.getPixelsArray())
            macSizes.emplace_back(r.nResolutionWidth, r.nResolutionHeight);
        listed = macSizes.size();
        std::sort(driverSizes.begin(), driverSizes.end());
        std::sort(macSizes.begin(), macSizes.end());
        if (macSizes.empty() && macListFallsBack(c.config)) {
            SUCCEED() << "no uncompressed sizes the parser takes: the default size is previewed";
        } else {
            EXPECT_EQ(macSizes, driverSizes);
        }
    }

    std::string controls;
    {
        SCOPED_TRACE("step VarnoletMac picture controls");
        UVCCameraControl control(std::make_shared<varnolet::SystemClock>(), *m_hub);
        control.clearDefaultValue();
        ASSERT_TRUE(control.initWithLocationID(identity.usbLocation));
        {
            ScopedLogCapture log;
            control.getDefaultValue();
            EXPECT_LE(log.lines().size(), 20u) << "reading the values floods the log";
        }
        // The controls as the program finds them: its parser's processing unit on an
        // interface it could open (a vendor-specific class has none for it).
        const uint8_t pu = c.config.processingUnitId;
        const auto *unit = c.config.findUnit(pu);
        const bool usable = control.hasInterface() && pu != 0;
        for (const PictureControl &p : kPictureControls) {
            SCOPED_TRACE(p.name);
            const bool declared = usable && unit && p.bit / 8 < unit->controls.size() &&
                                  ((unit->controls[p.bit / 8] >> (p.bit % 8)) & 1);
            if (declared) {
                // One step of the camera's range is the tolerance of the round trip.
                float step = 0.02f;
                for (const UvcControlRange &range : UvcControlTable::forUnit(*unit)) {
                    if (range.selector == p.selector && range.maximum > range.minimum)
                        step = std::max(step,
                                        1.0f / static_cast<float>(range.maximum - range.minimum));
                }
                const auto before = m_rig.camera->controlState(pu, p.selector);
                ASSERT_TRUE(before);
                EXPECT_TRUE((control.*p.set)(0.75f));
                const auto after = m_rig.camera->controlState(pu, p.selector);
                EXPECT_GT(after->setCount, before->setCount) << "the set did not reach the camera";
                control.getDefaultValue();
                EXPECT_NEAR((control.*p.get)(), 0.75f, step) << "read back from the camera";
                EXPECT_TRUE((control.*p.set)(0.0f));
                controls += std::string(controls.empty() ? "" : ",") + p.name;
            } else {
                // A control the camera lacks: refused at once, a line or two of log at most.
                ScopedLogCapture log;
                const auto start = std::chrono::steady_clock::now();
                EXPECT_FALSE((control.*p.set)(0.75f));
                EXPECT_LT(CameraMatrix::secondsSince(start), 3.0) << "a missing control hangs";
                EXPECT_LE(log.lines().size(), 3u) << "a missing control floods the log";
            }
        }
        const bool aeMode =
            usable && c.config.cameraTerminalId && (c.config.cameraControls & (1u << 1));
        if (aeMode) {
            EXPECT_TRUE(control.setAutoExposure(false));
            EXPECT_EQ(m_rig.camera->controlState(c.config.cameraTerminalId, UVC_CT_AE_MODE_CONTROL)
                          ->value,
                      1);
            controls += ",auto exposure";
        }
        const auto start = std::chrono::steady_clock::now();
        control.releaseControl();
        EXPECT_LT(CameraMatrix::secondsSince(start), 5.0);
    }

    std::string preview = "no", photo = "no";
    {
        SCOPED_TRACE("step VarnoletMac preview");
        AppController &controller = make();
        ASSERT_TRUE(controller.IsCaptureDevice()) << "the camera could not be opened";
        EXPECT_EQ(controller.locationID(), identity.usbLocation);
        ASSERT_TRUE(waitFrames(2));
        ASSERT_TRUE(controller.latestPreviewFrame());
        const int w = controller.latestPreviewFrame()->width;
        const int h = controller.latestPreviewFrame()->height;
        EXPECT_GT(w, 0);
        preview = CameraMatrix::sizeText(w, h);

        SCOPED_TRACE("step VarnoletMac photo");
        controller.takePhotos();
        ASSERT_TRUE(processEventsUntil([&] { return photos().size() == 1; }, 40s));
        const QImage image(QString::fromStdString(photos().front()));
        ASSERT_FALSE(image.isNull()) << photos().front();
        EXPECT_EQ(image.width(), w);
        EXPECT_EQ(image.height(), h);
        photo = CameraMatrix::sizeText(image.width(), image.height());
    }
    std::printf("matrix mac | %s | list %zu | preview %s | photo %s | controls %s | %.1f s\n",
                c.name.c_str(), listed, preview.c_str(), photo.c_str(),
                controls.empty() ? "none" : controls.c_str(), CameraMatrix::secondsSince(started));
}

INSTANTIATE_TEST_SUITE_P(Files, MacCameraMatrixTest, ::testing::ValuesIn(CameraMatrix::files()),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             return CameraMatrix::testName(info.param);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MacCameraMatrixTest);
