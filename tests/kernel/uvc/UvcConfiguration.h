#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnolet::test {

// What the emulated camera needs to know of a raw UVC configuration descriptor: its
// VideoControl interface, status endpoint and units, and per VideoStreaming interface its
// bulk video endpoint and the formats and frames it declares.
struct UvcConfiguration
{
    enum class Encoding { Yuyv, Mjpeg };
    struct Frame
    {
        uint8_t index = 0;
        int width = 0;
        int height = 0;
        uint32_t defaultInterval = 0;
        std::vector<uint32_t> intervals; // empty for a continuous range
    };
    struct Format
    {
        uint8_t index = 0;
        Encoding encoding = Encoding::Yuyv;
        std::vector<Frame> frames;
    };
    struct Streaming
    {
        uint8_t interfaceNumber = 0;
        uint8_t endpoint = 0; // bulk IN address
        uint8_t terminalLink = 0;
        bool triggerSupport = false;
        std::vector<Format> formats;
    };

    uint8_t controlInterface = 0;
    uint8_t statusEndpoint = 0; // 0: none
    uint16_t bcdUvc = 0;
    uint8_t cameraTerminalId = 0;
    uint8_t processingUnitId = 0;
    uint32_t cameraControls = 0;     // bmControls of the camera terminal
    uint32_t processingControls = 0; // bmControls of the processing unit
    std::vector<Streaming> streaming;

    // Parses a configuration descriptor. None, with the reason in error, for bytes that are
    // not a UVC camera the emulator can serve (no streaming interface with a bulk endpoint
    // and a YUYV or MJPEG format).
    static std::optional<UvcConfiguration> parse(const std::vector<uint8_t> &bytes,
                                                 std::string &error);

    // The streaming interface with that number, or null.
    const Streaming *findStreaming(uint8_t interfaceNumber) const;
};

} // namespace varnolet::test
