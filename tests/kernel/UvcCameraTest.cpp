// The platform camera code against uvcvideo and the emulated USB camera: listing with the
// USB location, streaming YUYV and MJPEG at every size, controls checked on the camera's
// side, the snapshot button through the driver's input device, unplug and re-plug.
#include "UvcKernelFixture.h"

#include "tests/kernel/uvc/UvcDescriptorBuilder.h"

#include "platform/camera/CameraHotplugMonitor.h"
#include "platform/system/Clock.h"
#include "platform/camera/VirtualCameraHub.h"
#include "platform/camera/UsbLocation.h"

#include <gtest/gtest.h>

#include <libusb.h>
#include <linux/usb/video.h>
#include <linux/videodev2.h>
#include <poll.h>

#include <set>
#include <thread>

using namespace varnolet;
using namespace varnolet::test;
using namespace std::chrono_literals;

namespace {

// The location as the USB layer computes it from libusb: bus in the top byte, then a nibble
// per port of the port path.
std::optional<uint32_t> libusbLocation(uint16_t vendor, uint16_t product)
{
    libusb_context *context = nullptr;
    if (libusb_init(&context) != 0)
        return std::nullopt;
    std::optional<uint32_t> location;
    libusb_device **devices = nullptr;
    const ssize_t count = libusb_get_device_list(context, &devices);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(devices[i], &descriptor) != 0 ||
            descriptor.idVendor != vendor || descriptor.idProduct != product)
            continue;
        uint8_t ports[8];
        const int depth = libusb_get_port_numbers(devices[i], ports, sizeof ports);
        uint32_t value = static_cast<uint32_t>(libusb_get_bus_number(devices[i])) << 24;
        for (int p = 0; p < depth && p < 6; ++p)
            value |= static_cast<uint32_t>(ports[p] & 0xF) << (20 - 4 * p);
        location = value;
    }
    libusb_free_device_list(devices, 1);
    libusb_exit(context);
    return location;
}

std::unique_ptr<CameraSource> openListed(const CameraIdentity &identity)
{
    VirtualCameraHub noVirtualCameras(std::make_shared<SystemClock>());
    CameraEnumerator enumerator(noVirtualCameras);
    int error = 0;
    auto source = enumerator.open(identity.devicePath, error);
    EXPECT_TRUE(source) << "cannot open " << identity.devicePath << ": " << error;
    return source;
}

// Streams every size the camera offers and checks the pattern; the pixel formats the
// camera was committed to, as format indexes.
void streamEverySize(CameraSource &source, EmulatedUvcCamera &camera, uint8_t streamingInterface,
                     std::set<uint8_t> &formatsUsed)
{
    std::set<std::pair<int, int>> sizes;
    for (const CameraFormat &format : source.formats())
        sizes.insert({format.width, format.height});
    ASSERT_EQ(sizes.size(), 3u);
    for (const auto &[width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        ASSERT_EQ(source.setFormat(width, height), 0);
        PatternLog log;
        ASSERT_EQ(source.start(
                      [&](const CameraFrame &f) { log.add(f.data, f.length, f.width, f.height); },
                      [&](int error) {
                          log.endError = error;
                          ++log.ended;
                      }),
                  0);
        EXPECT_TRUE(log.waitFor(3, 60s));
        source.stop();
        EXPECT_EQ(log.ended, 0);
        EXPECT_TRUE(log.allGood(width, height));
        const auto commit = camera.lastCommit(streamingInterface);
        ASSERT_TRUE(commit);
        formatsUsed.insert(commit->formatIndex);
    }
}

class UvcCameraTest : public UvcKernelFixture
{
protected:
    // A camera of one pixel format streams each of its sizes with the pattern.
    void streamSingleFormatCamera(const UvcDescriptorBuilder::Options &options)
    {
        const auto cameras = plug(UvcDescriptorBuilder::configuration(options));
        ASSERT_EQ(cameras.size(), 1u);
        auto source = openListed(cameras.front());
        ASSERT_TRUE(source);
        std::set<uint8_t> formats;
        streamEverySize(*source, *camera, 1, formats);
        EXPECT_EQ(formats, std::set<uint8_t>{1});
    }
};

} // namespace

TEST_F(UvcCameraTest, ListedByPathWithTheLocationTheUsbLayerComputes)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u) << "the metadata node is no camera";
    const CameraIdentity &identity = cameras.front();
    EXPECT_EQ(identity.friendlyName, "Emulated Microscope");
    EXPECT_EQ(identity.devicePath.rfind("/dev/v4l/by-path/platform-vhci_hcd.0-usb-0:", 0), 0u)
        << identity.devicePath;
    EXPECT_NE(identity.devicePath.find("-video-index0"), std::string::npos);
    ASSERT_FALSE(identity.usbSysfsPath.empty());
    const auto location = libusbLocation(0x1209, 0x0001);
    ASSERT_TRUE(location);
    EXPECT_EQ(UsbLocation::hexText(identity.usbLocation), UsbLocation::hexText(*location));
    EXPECT_EQ(UsbLocation::uniqueIdentifier(identity.usbLocation, identity.usbVendorId,
                                            identity.usbProductId),
              UsbLocation::uniqueIdentifier(*location, 0x1209, 0x0001));

    auto source = openListed(identity);
    ASSERT_TRUE(source);
    EXPECT_TRUE(source->hasSnapshotButton());
    std::set<uint32_t> pixelFormats;
    for (const CameraFormat &format : source->formats())
        pixelFormats.insert(format.pixelFormat);
    EXPECT_EQ(pixelFormats, (std::set<uint32_t>{V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG}));
}

TEST_F(UvcCameraTest, YuyvOnlyCameraStreamsEverySizeWithThePattern)
{
    UvcDescriptorBuilder::Options options;
    options.mjpeg = false;
    streamSingleFormatCamera(options);
    EXPECT_GE(camera->framesSent(1), 9u);
}

TEST_F(UvcCameraTest, MjpegOnlyCameraStreamsEverySizeWithThePattern)
{
    UvcDescriptorBuilder::Options options;
    options.yuyv = false;
    streamSingleFormatCamera(options);
}

TEST_F(UvcCameraTest, DefaultCameraStreamsEverySize)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    auto source = openListed(cameras.front());
    ASSERT_TRUE(source);
    std::set<uint8_t> formats;
    streamEverySize(*source, *camera, 1, formats);
    EXPECT_FALSE(formats.empty());
}

TEST_F(UvcCameraTest, PictureControlsReachTheCamera)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    auto source = openListed(cameras.front());
    ASSERT_TRUE(source);
    PatternLog log;
    ASSERT_EQ(source->start(
                  [&](const CameraFrame &f) { log.add(f.data, f.length, f.width, f.height); }, {}),
              0);
    ASSERT_TRUE(log.waitFor(1, 60s));

    const uint8_t pu = UvcDescriptorBuilder::kProcessingUnitId;
    const uint8_t ct = UvcDescriptorBuilder::kCameraTerminalId;
    struct Case
    {
        uint32_t id;
        uint8_t entity;
        uint8_t selector;
        int32_t value;
    };
    const Case cases[] = {
        {V4L2_CID_BRIGHTNESS, pu, UVC_PU_BRIGHTNESS_CONTROL, -10},
        {V4L2_CID_CONTRAST, pu, UVC_PU_CONTRAST_CONTROL, 50},
        {V4L2_CID_HUE, pu, UVC_PU_HUE_CONTROL, 300},
        {V4L2_CID_SATURATION, pu, UVC_PU_SATURATION_CONTROL, 80},
        {V4L2_CID_SHARPNESS, pu, UVC_PU_SHARPNESS_CONTROL, 5},
        {V4L2_CID_EXPOSURE_AUTO, ct, UVC_CT_AE_MODE_CONTROL, V4L2_EXPOSURE_MANUAL},
        {V4L2_CID_EXPOSURE_ABSOLUTE, ct, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 500},
    };
    std::set<uint32_t> offered;
    for (const CameraControl &control : source->controls())
        offered.insert(control.id);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_TRUE(offered.count(c.id));
        EXPECT_EQ(source->setControl(c.id, c.value), 0);
        int32_t value = 0;
        EXPECT_EQ(source->control(c.id, value), 0);
        EXPECT_EQ(value, c.value);
        const auto state = camera->controlState(c.entity, c.selector);
        ASSERT_TRUE(state);
        // The camera's own value: manual exposure is UVC mode 1.
        EXPECT_EQ(state->value, c.id == V4L2_CID_EXPOSURE_AUTO ? 1 : c.value);
    }
    // Out of range: clamped on the way, never sent as is.
    EXPECT_EQ(source->setControl(V4L2_CID_BRIGHTNESS, 1000), 0);
    EXPECT_EQ(camera->controlState(pu, UVC_PU_BRIGHTNESS_CONTROL)->value, 64);
    // Back to the defaults, on the camera too: the exposure time (settable only in manual
    // mode) as well as the mode.
    EXPECT_EQ(source->resetControls(), 0);
    EXPECT_EQ(camera->controlState(pu, UVC_PU_CONTRAST_CONTROL)->value, 32);
    EXPECT_EQ(camera->controlState(pu, UVC_PU_SHARPNESS_CONTROL)->value, 3);
    EXPECT_EQ(camera->controlState(ct, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL)->value, 156);
    EXPECT_EQ(camera->controlState(ct, UVC_CT_AE_MODE_CONTROL)->value, 8);
    // In automatic mode the time is inactive; a reset then leaves it and succeeds.
    EXPECT_EQ(source->resetControls(), 0);
    source->stop();
    EXPECT_TRUE(log.allGood(log.sizes.front().first, log.sizes.front().second));
}

TEST_F(UvcCameraTest, SnapshotButtonIsHeardThroughTheInputDevice)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    auto source = openListed(cameras.front());
    ASSERT_TRUE(source);
    ASSERT_TRUE(source->hasSnapshotButton());
    std::mutex lock;
    std::vector<bool> presses;
    source->setButtonCallback([&](bool pressed) {
        std::lock_guard guard(lock);
        presses.push_back(pressed);
    });
    PatternLog log;
    ASSERT_EQ(source->start(
                  [&](const CameraFrame &f) { log.add(f.data, f.length, f.width, f.height); }, {}),
              0);
    ASSERT_TRUE(log.waitFor(1, 60s));
    camera->button(true);
    camera->button(false);
    KernelGuest::waitUntil(
        [&] {
            std::lock_guard guard(lock);
            return presses.size() >= 2;
        },
        10s);
    source->stop();
    source->setButtonCallback({});
    EXPECT_EQ(camera->statusPacketsSent(), 2);
    std::lock_guard guard(lock);
    EXPECT_EQ(presses, (std::vector<bool>{true, false}));
}

TEST_F(UvcCameraTest, UnplugWhileStreamingEndsTheStreamAndReplugBringsItBack)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    const std::string path = cameras.front().devicePath;
    VirtualCameraHub noVirtualCameras(std::make_shared<SystemClock>());
    CameraHotplugMonitor monitor(noVirtualCameras);
    auto source = openListed(cameras.front());
    ASSERT_TRUE(source);
    PatternLog log;
    ASSERT_EQ(
        source->start([&](const CameraFrame &f) { log.add(f.data, f.length, f.width, f.height); },
                      [&](int error) {
                          log.endError = error;
                          ++log.ended;
                      }),
        0);
    ASSERT_TRUE(log.waitFor(2, 60s));
    camera->unplug();
    EXPECT_TRUE(log.waitForEnd(20s)) << "the stream did not end after the unplug";
    EXPECT_EQ(log.endError, -ENODEV);
    source->stop();
    source.reset();

    auto waitEvent = [&](CameraHotplugMonitor::Change change) {
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < end) {
            pollfd fd{monitor.fd(), POLLIN, 0};
            ::poll(&fd, 1, 100);
            for (const auto &event : monitor.readEvents()) {
                if (event.change == change && event.devicePath == path)
                    return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(waitEvent(CameraHotplugMonitor::Change::Removed));
    EXPECT_TRUE(waitForListed(0, 20s).empty());

    std::string error;
    ASSERT_EQ(camera->plug(error), 0) << error;
    EXPECT_TRUE(waitEvent(CameraHotplugMonitor::Change::Added));
    const auto again = waitForListed(1, 30s);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.front().devicePath, path);
    auto reopened = openListed(again.front());
    ASSERT_TRUE(reopened);
    PatternLog after;
    ASSERT_EQ(
        reopened->start(
            [&](const CameraFrame &f) { after.add(f.data, f.length, f.width, f.height); }, {}),
        0);
    EXPECT_TRUE(after.waitFor(2, 60s));
    reopened->stop();
}

// What the Mac program's USB layer does with a camera: uvcvideo unbound, then control
// requests and the status endpoint's interrupt transfers through libusb. This checks the
// rig's hook for those tests; binding again brings the V4L2 node back.
TEST_F(UvcCameraTest, AfterUnbindingUvcvideoLibusbReachesControlsAndTheButton)
{
    const auto cameras = plug();
    ASSERT_EQ(cameras.size(), 1u);
    ASSERT_GE(unbindUvcvideo(cameras.front()), 1);
    EXPECT_TRUE(waitForListed(0, 20s).empty());

    libusb_context *context = nullptr;
    ASSERT_EQ(libusb_init(&context), 0);
    libusb_device_handle *handle = libusb_open_device_with_vid_pid(context, 0x1209, 0x0001);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(libusb_claim_interface(handle, 0), 0);
    const uint16_t unit = static_cast<uint16_t>(UvcDescriptorBuilder::kProcessingUnitId << 8);
    uint8_t value[2] = {40, 0};
    EXPECT_EQ(libusb_control_transfer(handle, 0x21, UVC_SET_CUR, UVC_PU_CONTRAST_CONTROL << 8, unit,
                                      value, 2, 2000),
              2);
    EXPECT_EQ(camera->controlState(UvcDescriptorBuilder::kProcessingUnitId, UVC_PU_CONTRAST_CONTROL)
                  ->value,
              40);
    uint8_t read[2] = {};
    EXPECT_EQ(libusb_control_transfer(handle, 0xA1, UVC_GET_MAX, UVC_PU_SATURATION_CONTROL << 8,
                                      unit, read, 2, 2000),
              2);
    EXPECT_EQ(read[0], 100);
    // A control the camera lacks stalls.
    EXPECT_EQ(libusb_control_transfer(handle, 0xA1, UVC_GET_CUR, UVC_PU_GAIN_CONTROL << 8, unit,
                                      read, 2, 2000),
              LIBUSB_ERROR_PIPE);

    std::thread press([&] {
        std::this_thread::sleep_for(300ms);
        camera->button(false);
    });
    uint8_t packet[16] = {};
    int got = 0;
    EXPECT_EQ(libusb_interrupt_transfer(handle, 0x81, packet, sizeof packet, &got, 5000), 0);
    press.join();
    EXPECT_EQ(got, 4);
    EXPECT_EQ(packet[0], 2); // a streaming interface's status
    EXPECT_EQ(packet[2], 0); // the button
    EXPECT_EQ(packet[3], 0); // released
    libusb_release_interface(handle, 0);
    libusb_close(handle);
    libusb_exit(context);

    EXPECT_GE(bindUvcvideo(cameras.front()), 1);
    EXPECT_EQ(waitForListed(1, 20s).size(), 1u);
}
