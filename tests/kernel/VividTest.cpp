// The camera code against vivid, the kernel's virtual V4L2 driver: listing through udev,
// streaming every size, controls, and vivid's simulated disconnect.
#include "KernelGuest.h"

#include "platform/camera/CameraEnumerator.h"
#include "platform/system/Clock.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/camera/CameraHotplugMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include <linux/videodev2.h>
#include <poll.h>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

// Two vivid instances: one with a capture and an output node, one with a capture and a
// metadata capture node. Only the two capture nodes are cameras.
constexpr const char *kVividArguments =
    "n_devs=2 node_types=0x101,0x20001 num_inputs=1,1 input_types=0,0";

class VividTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VARNOLET_REQUIRE_KERNEL_GUEST();
        KernelGuest::unload("vivid");
        ASSERT_EQ(KernelGuest::load("vivid", arguments()), 0);
        KernelGuest::settle();
    }
    void TearDown() override
    {
        if (KernelGuest::inside()) {
            KernelGuest::unload("vivid");
            KernelGuest::settle();
        }
    }

    virtual std::string arguments() const { return kVividArguments; }

    static std::unique_ptr<CameraSource> openFirst()
    {
        VirtualCameraHub noVirtualCameras(std::make_shared<SystemClock>());
        CameraEnumerator enumerator(noVirtualCameras);
        const auto cameras = CameraEnumerator::listV4l2();
        if (cameras.empty())
            return nullptr;
        int error = 0;
        auto camera = enumerator.open(cameras.front().devicePath, error);
        EXPECT_EQ(error, 0);
        return camera;
    }
};

// Collects frames on the capture thread.
struct FrameLog
{
    std::mutex lock;
    std::vector<CameraFrame> frames; // data pointers are cleared: only valid in the callback
    std::atomic<int> ended{0};
    std::atomic<int> endError{0};
    bool sizesRight = true;

    CameraSource::FrameCallback onFrame()
    {
        return [this](const CameraFrame &frame) {
            std::lock_guard guard(lock);
            if (frame.length != static_cast<size_t>(frame.width) * frame.height * 3 || !frame.data)
                sizesRight = false;
            CameraFrame copy = frame;
            copy.data = nullptr;
            frames.push_back(copy);
        };
    }
    CameraSource::StreamEndCallback onEnd()
    {
        return [this](int error) {
            endError = error;
            ++ended;
        };
    }
    size_t count()
    {
        std::lock_guard guard(lock);
        return frames.size();
    }
    bool waitFor(size_t wanted, std::chrono::milliseconds timeout)
    {
        return KernelGuest::waitUntil([&] { return count() >= wanted; }, timeout);
    }
};

// One instance with one capture node: its by-path name is its own.
class VividHotplugTest : public VividTest
{
protected:
    std::string arguments() const override { return kSingleArguments; }
    static constexpr const char *kSingleArguments =
        "n_devs=1 node_types=0x1 num_inputs=1 input_types=0";
};

} // namespace

TEST_F(VividTest, CaptureNodesAreListedWithTheirByPathLinks)
{
    const auto cameras = CameraEnumerator::listV4l2();
    ASSERT_EQ(cameras.size(), 2u) << "output and metadata nodes are no cameras";
    // Both instances hang below the one platform device "vivid.0", so udev gives them the
    // same by-path name and points it at one node; the other keeps its node as name.
    std::set<std::string> paths;
    int byPath = 0;
    for (const CameraIdentity &camera : cameras) {
        SCOPED_TRACE(camera.devicePath);
        EXPECT_EQ(std::filesystem::canonical(camera.devicePath).string(), camera.nodePath);
        if (camera.devicePath.rfind("/dev/v4l/by-path/platform-vivid.0-video-index", 0) == 0)
            ++byPath;
        else
            EXPECT_EQ(camera.devicePath, camera.nodePath);
        EXPECT_EQ(camera.friendlyName, "vivid");
        EXPECT_TRUE(camera.usbSysfsPath.empty());
        EXPECT_EQ(camera.usbLocation, 0u);
        paths.insert(camera.devicePath);
    }
    EXPECT_EQ(byPath, 1);
    EXPECT_EQ(paths.size(), 2u);

    // Each path opens its own node.
    VirtualCameraHub noVirtualCameras(std::make_shared<SystemClock>());
    CameraEnumerator enumerator(noVirtualCameras);
    for (const CameraIdentity &listed : cameras) {
        int error = 0;
        auto camera = enumerator.open(listed.devicePath, error);
        ASSERT_TRUE(camera) << error;
        EXPECT_EQ(camera->identity().nodePath, listed.nodePath);
        EXPECT_FALSE(camera->hasSnapshotButton());
    }
}

TEST_F(VividTest, EverySizeOpensAndStreamsBottomUpBgr)
{
    auto camera = openFirst();
    ASSERT_TRUE(camera);
    std::set<std::pair<int, int>> sizes;
    for (const CameraFormat &format : camera->formats())
        sizes.insert({format.width, format.height});
    ASSERT_GE(sizes.size(), 3u);
    for (const auto &[width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        ASSERT_EQ(camera->setFormat(width, height), 0);
        const CameraFormat current = camera->currentFormat();
        EXPECT_EQ(current.width, width);
        EXPECT_EQ(current.height, height);
        FrameLog log;
        ASSERT_EQ(camera->start(log.onFrame(), log.onEnd()), 0);
        EXPECT_TRUE(log.waitFor(3, 20s));
        camera->stop();
        EXPECT_EQ(log.ended, 0);
        std::lock_guard guard(log.lock);
        ASSERT_GE(log.frames.size(), 3u);
        EXPECT_TRUE(log.sizesRight);
        for (size_t i = 0; i < log.frames.size(); ++i) {
            EXPECT_EQ(log.frames[i].width, width);
            EXPECT_EQ(log.frames[i].height, height);
            EXPECT_EQ(log.frames[i].sequence, i);
            if (i > 0) {
                EXPECT_GT(log.frames[i].sampleTime, log.frames[i - 1].sampleTime);
            }
        }
        EXPECT_EQ(log.frames.front().sampleTime, 0.0);
    }
}

TEST_F(VividTest, ControlsRoundTripWhileStreaming)
{
    auto camera = openFirst();
    ASSERT_TRUE(camera);
    FrameLog log;
    ASSERT_EQ(camera->start(log.onFrame(), log.onEnd()), 0);
    ASSERT_TRUE(log.waitFor(1, 20s));

    const auto controls = camera->controls();
    const CameraControl *brightness = nullptr;
    for (const CameraControl &control : controls) {
        if (control.id == V4L2_CID_BRIGHTNESS)
            brightness = &control;
    }
    ASSERT_NE(brightness, nullptr);
    EXPECT_EQ(brightness->name, "Brightness");
    const int32_t wanted =
        brightness->defaultValue == brightness->maximum ? brightness->minimum : brightness->maximum;
    EXPECT_EQ(camera->setControl(V4L2_CID_BRIGHTNESS, wanted), 0);
    int32_t value = -1;
    EXPECT_EQ(camera->control(V4L2_CID_BRIGHTNESS, value), 0);
    EXPECT_EQ(value, wanted);

    EXPECT_EQ(camera->resetControls(), 0);
    EXPECT_EQ(camera->control(V4L2_CID_BRIGHTNESS, value), 0);
    EXPECT_EQ(value, brightness->defaultValue);
    // A control the driver does not have is refused, not ignored.
    EXPECT_LT(camera->setControl(V4L2_CID_FOCUS_ABSOLUTE, 1), 0);
    camera->stop();
}

TEST_F(VividTest, SimulatedDisconnectEndsTheStreamAsARemoval)
{
    auto camera = openFirst();
    ASSERT_TRUE(camera);
    uint32_t disconnect = 0;
    for (const CameraControl &control : camera->controls()) {
        if (control.name == "Disconnect")
            disconnect = control.id;
    }
    ASSERT_NE(disconnect, 0u);
    FrameLog log;
    ASSERT_EQ(camera->start(log.onFrame(), log.onEnd()), 0);
    ASSERT_TRUE(log.waitFor(2, 20s));
    EXPECT_EQ(camera->setControl(disconnect, 0), 0);
    KernelGuest::waitUntil([&] { return log.ended != 0; }, 10s);
    EXPECT_EQ(log.ended, 1);
    EXPECT_LT(log.endError, 0);
    camera->stop();
    EXPECT_FALSE(camera->isStreaming());
    // Until every handle is closed the device stays gone: it cannot stream again.
    FrameLog again;
    EXPECT_LT(camera->start(again.onFrame(), again.onEnd()), 0);
    camera.reset();
    // With the last handle closed vivid reconnects and the camera streams again.
    auto reopened = openFirst();
    ASSERT_TRUE(reopened);
    FrameLog after;
    ASSERT_EQ(reopened->start(after.onFrame(), after.onEnd()), 0);
    EXPECT_TRUE(after.waitFor(2, 20s));
}

TEST_F(VividHotplugTest, HotplugMonitorReportsRemovalAndArrivalByPath)
{
    const auto before = CameraEnumerator::listV4l2();
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before.front().devicePath, "/dev/v4l/by-path/platform-vivid.0-video-index0");
    VirtualCameraHub noVirtualCameras(std::make_shared<SystemClock>());
    CameraHotplugMonitor monitor(noVirtualCameras);
    ASSERT_TRUE(monitor.watchesUdev());

    auto collect = [&](size_t wanted, CameraHotplugMonitor::Change change) {
        std::vector<CameraHotplugMonitor::Event> events;
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < end) {
            pollfd fd{monitor.fd(), POLLIN, 0};
            ::poll(&fd, 1, 100);
            for (auto &event : monitor.readEvents()) {
                if (event.change == change)
                    events.push_back(event);
            }
            size_t cameras = 0;
            for (const auto &event : events) {
                for (const auto &camera : before)
                    cameras += event.devicePath == camera.devicePath;
            }
            if (cameras >= wanted)
                break;
        }
        return events;
    };

    ASSERT_EQ(KernelGuest::unload("vivid"), 0);
    auto removed = collect(1, CameraHotplugMonitor::Change::Removed);
    for (const auto &camera : before) {
        bool seen = false;
        for (const auto &event : removed)
            seen = seen ||
                   (event.devicePath == camera.devicePath && event.nodePath == camera.nodePath);
        EXPECT_TRUE(seen) << camera.devicePath << " removal not reported by its by-path id";
    }
    EXPECT_TRUE(CameraEnumerator::listV4l2().empty());

    ASSERT_EQ(KernelGuest::load("vivid", kSingleArguments), 0);
    auto added = collect(1, CameraHotplugMonitor::Change::Added);
    for (const auto &camera : before) {
        bool seen = false;
        for (const auto &event : added)
            seen = seen || event.devicePath == camera.devicePath;
        EXPECT_TRUE(seen) << camera.devicePath << " arrival not reported by its by-path id";
    }
}
