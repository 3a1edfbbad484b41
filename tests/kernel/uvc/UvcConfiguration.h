#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace varnolet::test {

// What the emulated camera needs to know of a raw UVC configuration descriptor: its
// VideoControl interface (standard video class or vendor-specific), status endpoint and
// units, and per VideoStreaming interface its video endpoint (bulk on alternate setting 0,
// or isochronous on alternate settings 1..n), and the formats and frames it declares.
struct UvcConfiguration
{
    // Other: declared (frame-based, NV12, ...) but not pictured; committing it stalls.
    enum class Encoding { Yuyv, Mjpeg, Other };
    struct Frame
    {
        uint8_t index = 0;
        int width = 0;
        int height = 0;
        uint32_t maxFrameBytes = 0; // dwMaxVideoFrameBufferSize (0 for frame-based)
        uint32_t defaultInterval = 0;
        std::vector<uint32_t> intervals; // discrete intervals; empty for a continuous range
        uint32_t minInterval = 0, maxInterval = 0, intervalStep = 0; // continuous range

        // The interval the camera runs for a wanted one: a listed one as it is, else the
        // default (discrete); clamped and snapped to the step (continuous).
        uint32_t closestInterval(uint32_t wanted) const;
    };
    struct Format
    {
        uint8_t index = 0;
        Encoding encoding = Encoding::Yuyv;
        std::vector<Frame> frames;
    };
    struct Alternate
    {
        uint8_t alternate = 0;
        uint32_t packetBytes = 0; // wMaxPacketSize x (1 + additional transactions)
    };
    struct Streaming
    {
        uint8_t interfaceNumber = 0;
        uint8_t endpoint = 0; // video IN address
        bool isochronous = false;
        std::vector<Alternate> alternates; // isochronous: those with the video endpoint
        uint8_t terminalLink = 0;
        bool triggerSupport = false;
        std::vector<Format> formats;

        // The largest isochronous packet of all alternate settings (0 for bulk).
        uint32_t maxPacketBytes() const;
        // That alternate setting's packet size, 0 when it has no video endpoint.
        uint32_t packetBytes(uint8_t alternate) const;
    };
    struct Unit
    {
        uint8_t id = 0;
        uint8_t subtype = 0;           // UVC_VC_INPUT_TERMINAL, _PROCESSING_UNIT, _EXTENSION_UNIT
        std::vector<uint8_t> controls; // bmControls as declared
    };

    uint8_t configurationValue = 1;
    bool interfaceAssociation = false; // the configuration has an IAD
    uint8_t controlInterface = 0;
    bool vendorClass = false;   // VideoControl declared with the vendor-specific class
    uint8_t statusEndpoint = 0; // 0: none
    uint16_t bcdUvc = 0;
    uint8_t cameraTerminalId = 0;
    uint8_t processingUnitId = 0;    // 0: none
    uint32_t cameraControls = 0;     // bmControls of the camera terminal
    uint32_t processingControls = 0; // bmControls of the processing unit
    std::vector<Unit> units;         // camera terminal, processing and extension units
    std::vector<Streaming> streaming;
    std::map<uint8_t, uint8_t> lastAlternate; // every interface: its highest alternate setting
    std::map<uint8_t, uint8_t> endpoints;     // every endpoint address: its transfer type

    // Parses a configuration descriptor. None, with the reason in error, for bytes that are
    // not a UVC camera the emulator can serve: malformed (a length of 0 or one running past
    // the end, named by its offset), no VideoControl interface, or no streaming interface
    // with a video endpoint.
    static std::optional<UvcConfiguration> parse(const std::vector<uint8_t> &bytes,
                                                 std::string &error);

    // The streaming interface with that number, or null.
    const Streaming *findStreaming(uint8_t interfaceNumber) const;
    // The unit or terminal with that id, or null.
    const Unit *findUnit(uint8_t id) const;
    // Bytes of probe/commit for the camera's UVC version: 26 (1.0), 34 (1.1), 48 (1.5).
    size_t probeSize() const;
};

} // namespace varnolet::test
