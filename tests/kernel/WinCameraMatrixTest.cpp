// The camera matrix, driver and VarnoletWin side: every descriptor file of the matrix folder
// (CameraMatrix) plugged as a camera, one test per camera. Steps: binding (uvcvideo takes it,
// the kernel holds its bytes), platform/camera's listing (product string, every format and
// size the driver lists), the snapshot button's input device, then VarnoletWin's device
// list, the preview at the first and last size of each format with the picture checked, a
// photo and a 2-second movie read by ffprobe.
#include "CameraMatrix.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "UvcKernelFixture.h"
#include "WinKernelSupport.h"

#include "tests/win/app/MainViewerTestSupport.h"
#include "tests/win/capture/CCaptureVideoFakes.h"

#include "win/capture/CCaptureVideo.h"
#include "win/capture/CSampleGrabberCB.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <tuple>

#include <linux/videodev2.h>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;
using apptest::filesIn;
using apptest::MainViewerFixture;

namespace {

std::string driverOf(const std::string &interfaceFolder)
{
    std::error_code error;
    const auto target = std::filesystem::read_symlink(interfaceFolder + "/driver", error);
    return error ? std::string() : target.filename().string();
}

std::set<std::tuple<uint32_t, int, int>> asSet(const std::vector<CameraFormat> &formats)
{
    std::set<std::tuple<uint32_t, int, int>> set;
    for (const CameraFormat &f : formats)
        set.insert({f.pixelFormat, f.width, f.height});
    return set;
}

class WinCameraMatrixTest : public UvcKernelFixture,
                            public ::testing::WithParamInterface<std::string>
{
protected:
    void TearDown() override
    {
        fixture.reset();
        UvcKernelFixture::TearDown();
    }
    std::unique_ptr<MainViewerFixture> fixture;
};

} // namespace

TEST_P(WinCameraMatrixTest, Camera)
{
    const auto started = std::chrono::steady_clock::now();
    const MatrixCamera c = CameraMatrix::load(GetParam());
    SCOPED_TRACE("camera " + c.name);
    ASSERT_TRUE(c.parseError.empty()) << "the emulator refuses the bytes: " << c.parseError;

    std::vector<CameraIdentity> cameras;
    {
        SCOPED_TRACE("step binding");
        cameras = plug(c.options, c.nodes);
        ASSERT_EQ(cameras.size(), c.nodes);
        const std::string usb = cameras.front().usbSysfsPath;
        const std::string usbName = std::filesystem::path(usb).filename().string();
        EXPECT_EQ(driverOf(usb + "/" + usbName + ":1." + std::to_string(c.config.controlInterface)),
                  "uvcvideo");
        const std::vector<uint8_t> served = readBinaryFile(usb + "/descriptors");
        ASSERT_GT(served.size(), 18u);
        EXPECT_EQ(std::vector<uint8_t>(served.begin() + 18, served.end()), c.bytes)
            << "the kernel holds other bytes";
    }
    std::vector<std::vector<CameraFormat>> driver;
    bool button = false;
    {
        SCOPED_TRACE("step platform listing");
        for (const CameraIdentity &identity : cameras) {
            EXPECT_EQ(identity.friendlyName, c.options.product);
            driver.push_back(CameraMatrix::driverFormats(identity.nodePath));
            EXPECT_FALSE(driver.back().empty()) << identity.nodePath;
            VirtualCameraHub noVirtualCameras(std::make_shared<SystemClock>());
            CameraEnumerator enumerator(noVirtualCameras);
            int error = 0;
            auto source = enumerator.open(identity.devicePath, error);
            ASSERT_TRUE(source) << error;
            EXPECT_EQ(asSet(source->formats()), asSet(driver.back())) << identity.nodePath;
            button = button || source->hasSnapshotButton();
        }
    }
    {
        SCOPED_TRACE("step button");
        const int inputs = CameraMatrix::inputDevicesOf(cameras.front().usbSysfsPath);
        EXPECT_EQ(button, inputs > 0) << inputs << " input devices";
        if (!c.config.statusEndpoint) {
            EXPECT_EQ(inputs, 0) << "no status endpoint, yet an input device";
        }
    }

    fixture = std::make_unique<MainViewerFixture>("movieresolution=0\n");
    const CameraIdentity &first = cameras.front();
    std::vector<std::string> streamed;
    {
        SCOPED_TRACE("step VarnoletWin device list");
        CCaptureVideo capture(fixture->services(), fixture->messageBox(),
                              std::make_shared<CameraEnumerator>(fixture->hub()));
        ASSERT_GE(capture.EnumerateDevices(), 1);
        const auto named = capture.DeviceList().find(first.devicePath);
        ASSERT_NE(named, capture.DeviceList().end());
        EXPECT_EQ(named->second, c.options.product);

        PatternSink preview, still;
        capture.SetFrameSinks(&preview, &still);
        FakeVideoWindow window;
        const int index = capture.IndexOfDevicePath(first.devicePath);
        for (const auto &[w, h] : CameraMatrix::previewSizes(driver.front())) {
            SCOPED_TRACE("step VarnoletWin preview " + CameraMatrix::sizeText(w, h));
            {
                std::lock_guard guard(preview.log.lock);
                preview.log.numbers.clear();
                preview.log.sizes.clear();
            }
            CaptureSize size{w, h};
            ASSERT_EQ(capture.OpenDevice(index, &window, size), 0);
            EXPECT_EQ(size.width, w);
            EXPECT_EQ(size.height, h);
            const bool frames = preview.log.waitFor(2, 40s);
            capture.CloseDevice();
            EXPECT_TRUE(frames) << "no frames";
            EXPECT_TRUE(preview.log.allGood(w, h));
            if (frames)
                streamed.push_back(CameraMatrix::sizeText(w, h));
        }
    }
    std::string photo = "no", movie = "no";
    {
        SCOPED_TRACE("step VarnoletWin photo");
        auto window = fixture->makeWindow(std::make_shared<CameraEnumerator>(fixture->hub()));
        ASSERT_TRUE(fixture->showAndWaitForCamera(*window));
        ASSERT_TRUE(processEventsUntil(
            [&] { return CSampleGrabberCB::PreviewSink().FrameWidth() > 0; }, 40s));
        const std::string taken = takePhoto(*window, fixture->resourceRoot() + "/Single Shots");
        ASSERT_FALSE(taken.empty());
        QSize size;
        std::string problem;
        EXPECT_TRUE(patternInJpeg(taken, &size, &problem)) << problem;
        EXPECT_EQ(size.width(), CSampleGrabberCB::PreviewSink().FrameWidth());
        EXPECT_EQ(size.height(), CSampleGrabberCB::PreviewSink().FrameHeight());
        photo = CameraMatrix::sizeText(size.width(), size.height());

        SCOPED_TRACE("step VarnoletWin movie");
        const std::string recorded =
            recordMovie(*window, fixture->resourceRoot() + "/Movies", 2000ms);
        ASSERT_FALSE(recorded.empty());
        int frames = 0;
        double seconds = 0;
        ASSERT_TRUE(probeMovie(recorded, frames, seconds));
        EXPECT_GE(frames, 1);
        movie = std::to_string(frames) + " frames " + std::to_string(seconds).substr(0, 4) + " s";
        EXPECT_EQ(fixture->messages().count(), 0u);
    }
    std::string sizes;
    for (const std::string &s : streamed)
        sizes += (sizes.empty() ? "" : " ") + s;
    std::printf("matrix win | %s | sizes %s | photo %s | movie %s | button %s | %.1f s\n",
                c.name.c_str(), sizes.c_str(), photo.c_str(), movie.c_str(), button ? "yes" : "no",
                CameraMatrix::secondsSince(started));
}

INSTANTIATE_TEST_SUITE_P(Files, WinCameraMatrixTest, ::testing::ValuesIn(CameraMatrix::files()),
                         [](const ::testing::TestParamInfo<std::string> &info) {
                             return CameraMatrix::testName(info.param);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(WinCameraMatrixTest);
