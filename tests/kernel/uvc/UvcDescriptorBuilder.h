#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace varnolet::test {

// Writes the configuration descriptor of a USB 2.0 UVC camera of the microscope kind. By
// default UVC 1.1: an interface association, the VideoControl interface (camera terminal
// with auto-exposure mode and exposure time, processing unit with brightness, contrast,
// hue, saturation and sharpness, output terminal per streaming interface, an interrupt
// status endpoint), and VideoStreaming interfaces with a bulk video endpoint, YUYV and/or
// MJPEG at 640x480, 1280x720 and 1600x1200. The options give the shapes real cameras have:
// other UVC versions, isochronous alternate settings, the vendor-specific class, no or a
// renumbered processing unit, an extension unit, still-image frames, a frame-based format,
// continuous frame intervals, other sizes, a status endpoint without a button.
class UvcDescriptorBuilder
{
public:
    static constexpr uint8_t kCameraTerminalId = 1;
    static constexpr uint8_t kProcessingUnitId = 2;
    static constexpr uint8_t kFirstOutputTerminalId = 3;
    static constexpr uint8_t kExtensionUnitId = 6;

    struct Options
    {
        bool yuyv = true;
        bool mjpeg = true;
        bool button = true;               // status endpoint and bTriggerSupport = bTriggerUsage = 1
        bool statusWithoutButton = false; // button false: the status endpoint stays
        int streamingInterfaces = 1;      // 1 or 2
        uint16_t bcdUvc = 0x0110;
        // wMaxPacketSize of isochronous alternate settings 1..n; empty: a bulk endpoint.
        std::vector<uint16_t> isoPacketSizes;
        bool vendorClass = false; // class 0xFF VideoControl and VideoStreaming, no IAD
        bool processingUnit = true;
        uint8_t processingUnitId = kProcessingUnitId;
        bool extensionUnit = false; // between processing unit and output terminal
        bool stillFrames = false;   // still image frame descriptors, method 2
        bool frameBased = false;    // an H.264 frame-based format after YUYV and MJPEG
        bool continuousIntervals = false;
        std::vector<std::pair<int, int>> sizes = {{640, 480}, {1280, 720}, {1600, 1200}};
    };

    static std::vector<uint8_t> configuration(const Options &options);
    static std::vector<uint8_t> configuration() { return configuration(Options{}); }

    // The options of a named shape ("default", "yuyv-only", "uvc10-iso", ...); none for an
    // unknown name. variants() lists the names.
    static bool variant(const std::string &name, Options &options);
    static std::vector<std::string> variants();
};

} // namespace varnolet::test
