#include "UvcDescriptorBuilder.h"

#include <algorithm>
#include <cstddef>

#include <linux/usb/ch9.h>
#include <linux/usb/video.h>

namespace varnolet::test {

namespace {

struct Writer
{
    std::vector<uint8_t> bytes;
    void u8(unsigned v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void u16(unsigned v)
    {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void put16(size_t at, unsigned v)
    {
        bytes[at] = static_cast<uint8_t>(v & 0xFF);
        bytes[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    size_t size() const { return bytes.size(); }
};

constexpr uint8_t kYuy2Guid[16] = {'Y',  'U',  'Y',  '2',  0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint8_t kH264Guid[16] = {'H',  '2',  '6',  '4',  0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// An extension unit of no vendor in particular.
constexpr uint8_t kExtensionGuid[16] = {0x56, 0x61, 0x72, 0x6E, 0x6F, 0x6C, 0x65, 0x74,
                                        0x20, 0x58, 0x55, 0x20, 0x74, 0x65, 0x73, 0x74};
// 100 ns units: 30, 15 and 5 frames per second.
constexpr uint32_t kIntervals[3] = {333333, 666666, 2000000};

enum class Layout { Uncompressed, FrameBased };

void frame(Writer &w, const UvcDescriptorBuilder::Options &o, uint8_t subtype, Layout layout,
           int index, int width, int height)
{
    const uint32_t frameBytes = static_cast<uint32_t>(width * height * 2);
    w.u8(26 + (o.continuousIntervals ? 12 : 4 * 3));
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(subtype);
    w.u8(index);
    w.u8(0); // bmCapabilities
    w.u16(width);
    w.u16(height);
    w.u32(frameBytes * 8 * 5);  // dwMinBitRate
    w.u32(frameBytes * 8 * 30); // dwMaxBitRate
    if (layout == Layout::Uncompressed)
        w.u32(frameBytes); // dwMaxVideoFrameBufferSize
    w.u32(kIntervals[0]);  // dwDefaultFrameInterval
    w.u8(o.continuousIntervals ? 0 : 3);
    if (layout == Layout::FrameBased)
        w.u32(0); // dwBytesPerLine
    if (o.continuousIntervals) {
        w.u32(333333);  // dwMinFrameInterval
        w.u32(1999998); // dwMaxFrameInterval
        w.u32(333333);  // dwFrameIntervalStep
    } else {
        for (uint32_t interval : kIntervals)
            w.u32(interval);
    }
}

void colorMatching(Writer &w)
{
    w.u8(6);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VS_COLORFORMAT);
    w.u8(1); // BT.709 primaries
    w.u8(1); // BT.709 transfer
    w.u8(4); // SMPTE 170M matrix
}

void stillFrames(Writer &w, const std::vector<std::pair<int, int>> &sizes, bool compressed)
{
    const size_t count = sizes.size();
    w.u8(static_cast<unsigned>(6 + 4 * count + (compressed ? 1 : 0)));
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VS_STILL_IMAGE_FRAME);
    w.u8(0); // bEndpointAddress: method 2 sends stills on the video endpoint
    w.u8(static_cast<unsigned>(count));
    for (const auto &[width, height] : sizes) {
        w.u16(width);
        w.u16(height);
    }
    w.u8(compressed ? 1 : 0); // bNumCompressionPattern
    if (compressed)
        w.u8(5);
}

// The end of a format descriptor (default frame, aspect ratio, interlacing, copy
// protection), its frames, still frames and its colour matching.
void formatTail(Writer &w, const UvcDescriptorBuilder::Options &o, uint8_t frameSubtype,
                Layout layout, const std::vector<std::pair<int, int>> &sizes, bool compressed)
{
    w.u8(1); // bDefaultFrameIndex
    w.u8(0);
    w.u8(0);
    w.u8(0);
    w.u8(0);
    if (layout == Layout::FrameBased)
        w.u8(1); // bVariableSize
    int index = 1;
    for (const auto &[width, height] : sizes)
        frame(w, o, frameSubtype, layout, index++, width, height);
    if (o.stillFrames)
        stillFrames(w, sizes, compressed);
    colorMatching(w);
}

void streamingInterface(Writer &w, const UvcDescriptorBuilder::Options &o, uint8_t number,
                        uint8_t endpoint, uint8_t terminal)
{
    const bool iso = !o.isoPacketSizes.empty();
    const uint8_t interfaceClass = o.vendorClass ? USB_CLASS_VENDOR_SPEC : USB_CLASS_VIDEO;
    w.u8(9);
    w.u8(USB_DT_INTERFACE);
    w.u8(number);
    w.u8(0);           // alternate setting 0: bulk streams here, isochronous has no bandwidth
    w.u8(iso ? 0 : 1); // the video endpoint
    w.u8(interfaceClass);
    w.u8(UVC_SC_VIDEOSTREAMING);
    w.u8(UVC_PC_PROTOCOL_UNDEFINED);
    w.u8(0);

    const int formats = (o.yuyv ? 1 : 0) + (o.mjpeg ? 1 : 0) + (o.frameBased ? 1 : 0);
    const size_t header = w.size();
    w.u8(13 + formats);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VS_INPUT_HEADER);
    w.u8(formats);
    w.u16(0); // wTotalLength, patched below
    w.u8(endpoint);
    w.u8(0); // bmInfo
    w.u8(terminal);
    w.u8(o.stillFrames ? 2 : 0); // bStillCaptureMethod
    w.u8(o.button ? 1 : 0);      // bTriggerSupport
    w.u8(o.button ? 1 : 0);      // bTriggerUsage: general purpose button
    w.u8(1);                     // bControlSize
    for (int i = 0; i < formats; ++i)
        w.u8(0);

    const auto &sizes = o.sizes;
    int index = 1;
    if (o.yuyv) {
        w.u8(27);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VS_FORMAT_UNCOMPRESSED);
        w.u8(index++);
        w.u8(static_cast<unsigned>(sizes.size()));
        for (uint8_t b : kYuy2Guid)
            w.u8(b);
        w.u8(16); // bBitsPerPixel
        formatTail(w, o, UVC_VS_FRAME_UNCOMPRESSED, Layout::Uncompressed, sizes, false);
    }
    if (o.mjpeg) {
        w.u8(11);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VS_FORMAT_MJPEG);
        w.u8(index++);
        w.u8(static_cast<unsigned>(sizes.size()));
        w.u8(1); // bmFlags: fixed size samples
        formatTail(w, o, UVC_VS_FRAME_MJPEG, Layout::Uncompressed, sizes, true);
    }
    if (o.frameBased) {
        const std::vector<std::pair<int, int>> small(
            sizes.begin(), sizes.begin() + std::min<size_t>(2, sizes.size()));
        w.u8(28);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VS_FORMAT_FRAME_BASED);
        w.u8(index++);
        w.u8(static_cast<unsigned>(small.size()));
        for (uint8_t b : kH264Guid)
            w.u8(b);
        w.u8(16); // bBitsPerPixel
        formatTail(w, o, UVC_VS_FRAME_FRAME_BASED, Layout::FrameBased, small, true);
    }
    w.put16(header + 4, static_cast<unsigned>(w.size() - header));

    if (!iso) {
        w.u8(7);
        w.u8(USB_DT_ENDPOINT);
        w.u8(endpoint);
        w.u8(USB_ENDPOINT_XFER_BULK);
        w.u16(512);
        w.u8(0);
        return;
    }
    uint8_t alternate = 1;
    for (uint16_t packetSize : o.isoPacketSizes) {
        w.u8(9);
        w.u8(USB_DT_INTERFACE);
        w.u8(number);
        w.u8(alternate++);
        w.u8(1);
        w.u8(interfaceClass);
        w.u8(UVC_SC_VIDEOSTREAMING);
        w.u8(UVC_PC_PROTOCOL_UNDEFINED);
        w.u8(0);
        w.u8(7);
        w.u8(USB_DT_ENDPOINT);
        w.u8(endpoint);
        w.u8(USB_ENDPOINT_XFER_ISOC | USB_ENDPOINT_SYNC_ASYNC);
        w.u16(packetSize);
        w.u8(1); // every microframe
    }
}

} // namespace

std::vector<uint8_t> UvcDescriptorBuilder::configuration(const Options &o)
{
    const int streams = o.streamingInterfaces < 2 ? 1 : 2;
    const bool status = o.button || o.statusWithoutButton;
    const uint8_t interfaceClass = o.vendorClass ? USB_CLASS_VENDOR_SPEC : USB_CLASS_VIDEO;
    Writer w;
    // Configuration header; wTotalLength patched at the end.
    w.u8(9);
    w.u8(USB_DT_CONFIG);
    w.u16(0);
    w.u8(1 + streams);
    w.u8(1);    // bConfigurationValue
    w.u8(0);    // iConfiguration
    w.u8(0x80); // bus powered
    w.u8(250);  // 500 mA

    if (!o.vendorClass) {
        // Interface association: the camera function.
        w.u8(8);
        w.u8(USB_DT_INTERFACE_ASSOCIATION);
        w.u8(0);
        w.u8(1 + streams);
        w.u8(USB_CLASS_VIDEO);
        w.u8(UVC_SC_VIDEO_INTERFACE_COLLECTION);
        w.u8(UVC_PC_PROTOCOL_UNDEFINED);
        w.u8(2);
    }

    // VideoControl interface.
    w.u8(9);
    w.u8(USB_DT_INTERFACE);
    w.u8(0);
    w.u8(0);
    w.u8(status ? 1 : 0);
    w.u8(interfaceClass);
    w.u8(UVC_SC_VIDEOCONTROL);
    w.u8(UVC_PC_PROTOCOL_UNDEFINED);
    w.u8(2);

    const size_t header = w.size();
    w.u8(12 + streams);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VC_HEADER);
    w.u16(o.bcdUvc);
    w.u16(0); // wTotalLength, patched below
    w.u32(48000000);
    w.u8(streams);
    for (int s = 0; s < streams; ++s)
        w.u8(1 + s);

    // Camera terminal: auto-exposure mode (D1) and exposure time absolute (D3).
    w.u8(18);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VC_INPUT_TERMINAL);
    w.u8(kCameraTerminalId);
    w.u16(UVC_ITT_CAMERA);
    w.u8(0);
    w.u8(0);
    w.u16(0);
    w.u16(0);
    w.u16(0);
    w.u8(3);
    w.u8(0x0A);
    w.u8(0x00);
    w.u8(0x00);

    uint8_t source = kCameraTerminalId;
    if (o.processingUnit) {
        // Processing unit: brightness, contrast, hue, saturation, sharpness (D0..D4); UVC
        // 1.1 and later add bmVideoStandards.
        const bool standards = o.bcdUvc >= 0x0110;
        const unsigned controlBytes = o.bcdUvc >= 0x0150 ? 3 : 2;
        w.u8(8 + controlBytes + 1 + (standards ? 1 : 0));
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VC_PROCESSING_UNIT);
        w.u8(o.processingUnitId);
        w.u8(source);
        w.u16(0);
        w.u8(controlBytes);
        w.u8(0x1F);
        for (unsigned i = 1; i < controlBytes; ++i)
            w.u8(0x00);
        w.u8(0); // iProcessing
        if (standards)
            w.u8(0); // bmVideoStandards
        source = o.processingUnitId;
    }
    if (o.extensionUnit) {
        w.u8(24 + 1 + 2);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VC_EXTENSION_UNIT);
        w.u8(kExtensionUnitId);
        for (uint8_t b : kExtensionGuid)
            w.u8(b);
        w.u8(3);      // bNumControls
        w.u8(1);      // bNrInPins
        w.u8(source); // baSourceID
        w.u8(2);      // bControlSize
        w.u8(0x07);
        w.u8(0x00);
        w.u8(0); // iExtension
        source = kExtensionUnitId;
    }

    for (int s = 0; s < streams; ++s) {
        w.u8(9);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VC_OUTPUT_TERMINAL);
        w.u8(kFirstOutputTerminalId + s);
        w.u16(UVC_TT_STREAMING);
        w.u8(0);
        w.u8(source);
        w.u8(0);
    }
    w.put16(header + 5, static_cast<unsigned>(w.size() - header));

    if (status) {
        w.u8(7);
        w.u8(USB_DT_ENDPOINT);
        w.u8(0x81);
        w.u8(USB_ENDPOINT_XFER_INT);
        w.u16(16);
        w.u8(8);
        w.u8(5);
        w.u8(USB_DT_CS_ENDPOINT);
        w.u8(USB_ENDPOINT_XFER_INT);
        w.u16(16);
    }

    for (int s = 0; s < streams; ++s)
        streamingInterface(w, o, static_cast<uint8_t>(1 + s), static_cast<uint8_t>(0x82 + s),
                           static_cast<uint8_t>(kFirstOutputTerminalId + s));

    w.put16(2, static_cast<unsigned>(w.size()));
    return w.bytes;
}

std::vector<std::string> UvcDescriptorBuilder::variants()
{
    return {"default",      "yuyv-only",          "mjpeg-only",
            "no-button",    "two-streaming",      "uvc10-iso",
            "uvc15",        "vendor-class",       "mjpeg-5mp",
            "frame-based",  "no-processing-unit", "extension-unit",
            "still-frames", "status-no-trigger"};
}

bool UvcDescriptorBuilder::variant(const std::string &name, Options &o)
{
    o = Options{};
    // Packet sizes of a high-bandwidth webcam: 1..3 transactions a microframe.
    const std::vector<uint16_t> alternates = {0x0080, 0x0200, 0x0400, 0x0B20, 0x1320, 0x1400};
    if (name == "yuyv-only")
        o.mjpeg = false;
    else if (name == "mjpeg-only")
        o.yuyv = false;
    else if (name == "no-button")
        o.button = false;
    else if (name == "two-streaming")
        o.streamingInterfaces = 2;
    else if (name == "uvc10-iso") {
        o.bcdUvc = 0x0100;
        o.isoPacketSizes = alternates;
        o.sizes = {{160, 120}, {640, 480}, {1280, 1024}};
    } else if (name == "uvc15") {
        o.bcdUvc = 0x0150;
        o.isoPacketSizes = {0x0400, 0x1400};
        o.continuousIntervals = true;
        o.sizes = {{320, 240}, {1920, 1080}};
    } else if (name == "vendor-class") {
        o.bcdUvc = 0x0100;
        o.vendorClass = true;
        o.mjpeg = false;
        o.isoPacketSizes = {0x0200, 0x0B20, 0x1400};
        o.sizes = {{352, 288}, {640, 480}};
    } else if (name == "mjpeg-5mp") {
        o.yuyv = false;
        o.isoPacketSizes = {0x0400, 0x1400};
        o.sizes = {{640, 480}, {1280, 960}, {2592, 1944}};
    } else if (name == "frame-based") {
        o.frameBased = true;
        o.isoPacketSizes = alternates;
        o.sizes = {{640, 480}, {1280, 720}};
    } else if (name == "no-processing-unit") {
        o.processingUnit = false;
        o.sizes = {{640, 480}, {800, 600}};
    } else if (name == "extension-unit") {
        o.extensionUnit = true;
        o.processingUnitId = 9; // another id than the usual 2
        o.sizes = {{640, 480}, {1024, 768}};
    } else if (name == "still-frames") {
        o.stillFrames = true;
        o.bcdUvc = 0x0100;
        o.isoPacketSizes = alternates;
        o.sizes = {{320, 240}, {640, 480}, {1600, 1200}};
    } else if (name == "status-no-trigger") {
        o.button = false;
        o.statusWithoutButton = true;
        o.sizes = {{640, 480}, {1280, 720}};
    } else if (name != "default")
        return false;
    return true;
}

} // namespace varnolet::test
