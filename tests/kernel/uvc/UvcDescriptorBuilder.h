#pragma once

#include <cstdint>
#include <vector>

namespace varnolet::test {

// Writes the configuration descriptor of a USB 2.0 UVC 1.1 camera of the microscope kind:
// an interface association, the VideoControl interface (camera terminal with auto-exposure
// mode and exposure time, processing unit with brightness, contrast, hue, saturation and
// sharpness, output terminal per streaming interface, an interrupt status endpoint), and
// VideoStreaming interfaces with a bulk video endpoint, YUYV and/or MJPEG at 640x480,
// 1280x720 and 1600x1200.
class UvcDescriptorBuilder
{
public:
    struct Options
    {
        bool yuyv = true;
        bool mjpeg = true;
        bool button = true;          // status endpoint and bTriggerSupport = bTriggerUsage = 1
        int streamingInterfaces = 1; // 1 or 2
    };

    static std::vector<uint8_t> configuration(const Options &options);
    static std::vector<uint8_t> configuration() { return configuration(Options{}); }

    // The entity ids of the built descriptors.
    static constexpr uint8_t kCameraTerminalId = 1;
    static constexpr uint8_t kProcessingUnitId = 2;
    static constexpr uint8_t kFirstOutputTerminalId = 3;
};

} // namespace varnolet::test
