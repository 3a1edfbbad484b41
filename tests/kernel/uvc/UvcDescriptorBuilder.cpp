#include "UvcDescriptorBuilder.h"

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
constexpr int kSizes[3][2] = {{640, 480}, {1280, 720}, {1600, 1200}};
// 100 ns units: 30, 15 and 5 frames per second.
constexpr uint32_t kIntervals[3] = {333333, 666666, 2000000};

void frame(Writer &w, uint8_t subtype, int index, int width, int height, uint32_t frameBytes)
{
    w.u8(26 + 4 * 3);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(subtype);
    w.u8(index);
    w.u8(0); // bmCapabilities
    w.u16(width);
    w.u16(height);
    w.u32(frameBytes * 8 * 5);  // dwMinBitRate
    w.u32(frameBytes * 8 * 30); // dwMaxBitRate
    w.u32(frameBytes);          // dwMaxVideoFrameBufferSize
    w.u32(kIntervals[0]);       // dwDefaultFrameInterval
    w.u8(3);
    for (uint32_t interval : kIntervals)
        w.u32(interval);
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

// The end of a format descriptor (default frame, aspect ratio, interlacing, copy
// protection), its three frames and its colour matching.
void formatTail(Writer &w, uint8_t frameSubtype)
{
    w.u8(1); // bDefaultFrameIndex
    w.u8(0);
    w.u8(0);
    w.u8(0);
    w.u8(0);
    for (int f = 0; f < 3; ++f)
        frame(w, frameSubtype, f + 1, kSizes[f][0], kSizes[f][1],
              static_cast<uint32_t>(kSizes[f][0] * kSizes[f][1] * 2));
    colorMatching(w);
}

void streamingInterface(Writer &w, const UvcDescriptorBuilder::Options &o, uint8_t number,
                        uint8_t endpoint, uint8_t terminal)
{
    w.u8(9);
    w.u8(USB_DT_INTERFACE);
    w.u8(number);
    w.u8(0); // alternate setting: bulk streams on 0
    w.u8(1); // the video endpoint
    w.u8(USB_CLASS_VIDEO);
    w.u8(UVC_SC_VIDEOSTREAMING);
    w.u8(UVC_PC_PROTOCOL_UNDEFINED);
    w.u8(0);

    const int formats = (o.yuyv ? 1 : 0) + (o.mjpeg ? 1 : 0);
    const size_t header = w.size();
    w.u8(13 + formats);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VS_INPUT_HEADER);
    w.u8(formats);
    w.u16(0); // wTotalLength, patched below
    w.u8(endpoint);
    w.u8(0); // bmInfo
    w.u8(terminal);
    w.u8(0);                // bStillCaptureMethod
    w.u8(o.button ? 1 : 0); // bTriggerSupport
    w.u8(o.button ? 1 : 0); // bTriggerUsage: general purpose button
    w.u8(1);                // bControlSize
    for (int i = 0; i < formats; ++i)
        w.u8(0);

    int index = 1;
    if (o.yuyv) {
        w.u8(27);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VS_FORMAT_UNCOMPRESSED);
        w.u8(index++);
        w.u8(3);
        for (uint8_t b : kYuy2Guid)
            w.u8(b);
        w.u8(16); // bBitsPerPixel
        formatTail(w, UVC_VS_FRAME_UNCOMPRESSED);
    }
    if (o.mjpeg) {
        w.u8(11);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VS_FORMAT_MJPEG);
        w.u8(index++);
        w.u8(3);
        w.u8(1); // bmFlags: fixed size samples
        formatTail(w, UVC_VS_FRAME_MJPEG);
    }
    w.put16(header + 4, static_cast<unsigned>(w.size() - header));

    w.u8(7);
    w.u8(USB_DT_ENDPOINT);
    w.u8(endpoint);
    w.u8(USB_ENDPOINT_XFER_BULK);
    w.u16(512);
    w.u8(0);
}

} // namespace

std::vector<uint8_t> UvcDescriptorBuilder::configuration(const Options &o)
{
    const int streams = o.streamingInterfaces < 2 ? 1 : 2;
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

    // Interface association: the camera function.
    w.u8(8);
    w.u8(USB_DT_INTERFACE_ASSOCIATION);
    w.u8(0);
    w.u8(1 + streams);
    w.u8(USB_CLASS_VIDEO);
    w.u8(UVC_SC_VIDEO_INTERFACE_COLLECTION);
    w.u8(UVC_PC_PROTOCOL_UNDEFINED);
    w.u8(2);

    // VideoControl interface.
    w.u8(9);
    w.u8(USB_DT_INTERFACE);
    w.u8(0);
    w.u8(0);
    w.u8(o.button ? 1 : 0);
    w.u8(USB_CLASS_VIDEO);
    w.u8(UVC_SC_VIDEOCONTROL);
    w.u8(UVC_PC_PROTOCOL_UNDEFINED);
    w.u8(2);

    const size_t header = w.size();
    w.u8(12 + streams);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VC_HEADER);
    w.u16(0x0110);
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

    // Processing unit: brightness, contrast, hue, saturation, sharpness (D0..D4).
    w.u8(12);
    w.u8(USB_DT_CS_INTERFACE);
    w.u8(UVC_VC_PROCESSING_UNIT);
    w.u8(kProcessingUnitId);
    w.u8(kCameraTerminalId);
    w.u16(0);
    w.u8(2);
    w.u8(0x1F);
    w.u8(0x00);
    w.u8(0); // iProcessing
    w.u8(0); // bmVideoStandards

    for (int s = 0; s < streams; ++s) {
        w.u8(9);
        w.u8(USB_DT_CS_INTERFACE);
        w.u8(UVC_VC_OUTPUT_TERMINAL);
        w.u8(kFirstOutputTerminalId + s);
        w.u16(UVC_TT_STREAMING);
        w.u8(0);
        w.u8(kProcessingUnitId);
        w.u8(0);
    }
    w.put16(header + 5, static_cast<unsigned>(w.size() - header));

    if (o.button) {
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

} // namespace varnolet::test
