#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <linux/videodev2.h>

#include "mac/uvc/UVCCameraControl.h"
#include "platform/system/Clock.h"
#include "tests/mac/uvc/DescriptorBuilder.h"
#include "tests/mac/uvc/FakeUsb.h"

namespace uvctest {

constexpr uint32_t kLocation = 0x01230000;
constexpr uint32_t kOtherLocation = 0x02100000;

// The configuration of a camera with a camera terminal 1, a processing unit 3, an
// interrupt endpoint and one uncompressed format with the given frame sizes.
inline std::vector<uint8_t> cameraDescriptor(bool trigger,
                                             std::vector<std::pair<uint16_t, uint16_t>> sizes = {
                                                 {640, 480}, {320, 240}})
{
    DescriptorBuilder b;
    b.interface(0, 0, 0x01)
        .vcHeader(0x0100, 48000000)
        .inputTerminal(1, 0x00000A)
        .processingUnit(3, 0x005F)
        .outputTerminal(4)
        .endpoint(0x83, 0x03, 16);
    b.interface(1, 0, 0x02)
        .inputHeader(1, trigger ? 1 : 0, {0x00})
        .uncompressedFormat(1, static_cast<uint8_t>(sizes.size()));
    uint8_t index = 1;
    for (const auto &[width, height] : sizes)
        b.frame(index++, width, height, {333333});
    return b.bytes();
}

// The five picture controls: brightness -64..64, contrast 0..255, hue -180..180,
// saturation 0..100, sharpness 0..7.
struct PictureValues
{
    int brightness = 0;
    int contrast = 128;
    int hue = 0;
    int saturation = 50;
    int sharpness = 3;
};

inline std::shared_ptr<FakeUsbCamera> makeCamera(uint32_t location, bool trigger,
                                                 PictureValues values = {})
{
    auto camera = std::make_shared<FakeUsbCamera>(location, cameraDescriptor(trigger));
    camera->setControl(3, 0x02, {-64, 64, values.brightness});
    camera->setControl(3, 0x03, {0, 255, values.contrast});
    camera->setControl(3, 0x06, {-180, 180, values.hue});
    camera->setControl(3, 0x07, {0, 100, values.saturation});
    camera->setControl(3, 0x08, {0, 7, values.sharpness});
    camera->setControl(1, 0x02, {0, 0, 8});
    camera->setControl(1, 0x04, {1, 10000, 156});
    camera->setControl(3, 0x0A, {2800, 6500, 4600});
    camera->setControl(3, 0x0B, {0, 1, 1});
    return camera;
}

// The same camera while the kernel driver holds it: its V4L2 controls.
inline std::shared_ptr<FakeUsbCamera> makeBridgedCamera(uint32_t location, bool trigger,
                                                        PictureValues values = {})
{
    auto camera = std::make_shared<FakeUsbCamera>(location, cameraDescriptor(trigger));
    auto node = std::make_shared<FakeV4l2Node>();
    node->add(V4L2_CID_BRIGHTNESS, {-64, 64, 1, 0, values.brightness});
    node->add(V4L2_CID_CONTRAST, {0, 255, 1, 128, values.contrast});
    node->add(V4L2_CID_HUE, {-180, 180, 1, 0, values.hue});
    node->add(V4L2_CID_SATURATION, {0, 100, 1, 50, values.saturation});
    node->add(V4L2_CID_SHARPNESS, {0, 7, 1, 3, values.sharpness});
    node->add(V4L2_CID_EXPOSURE_AUTO,
              {0, 3, 1, V4L2_EXPOSURE_APERTURE_PRIORITY, V4L2_EXPOSURE_APERTURE_PRIORITY});
    camera->v4l2 = node;
    return camera;
}

// A camera control over a bus holding the given cameras, timed by the given clock (real time when
// none).
inline std::unique_ptr<UVCCameraControl>
makeControl(std::vector<std::shared_ptr<FakeUsbCamera>> cameras,
            std::shared_ptr<const varnolet::Clock> clock = nullptr)
{
    if (!clock)
        clock = std::make_shared<varnolet::SystemClock>();
    return std::make_unique<UVCCameraControl>(std::make_unique<FakeUsbBackend>(std::move(cameras)),
                                              std::move(clock));
}

// The SET_CUR requests among the recorded ones: (selector, value as a signed 16-bit number).
inline std::vector<std::pair<int, int>> setRequests(const FakeUsbCamera &camera)
{
    std::vector<std::pair<int, int>> sets;
    for (const FakeUsbCamera::Request &request : camera.requests()) {
        if (request.bRequest == 0x01 && request.data.size() >= 2)
            sets.emplace_back(request.wValue >> 8,
                              static_cast<int16_t>(request.data[0] | request.data[1] << 8));
    }
    return sets;
}

} // namespace uvctest
