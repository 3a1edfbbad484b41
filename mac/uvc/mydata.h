#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class mydata;

// One VS_FRAME_UNCOMPRESSED descriptor. Intervals are in 100 ns units.
struct video_frame_t
{
    uint8_t bFrameIndex = 0;
    uint8_t bmCapabilities = 0;
    uint16_t wWidth = 0;
    uint16_t wHeight = 0;
    uint32_t dwMinBitRate = 0;
    uint32_t dwMaxBitRate = 0;
    uint32_t dwMaxVideoFrameBufferSize = 0;
    uint32_t dwDefaultFrameInterval = 0;
    uint8_t bFrameIntervalType = 0;
    // Continuous range, filled only when bFrameIntervalType is 0.
    uint32_t dwMinFrameInterval = 0;
    uint32_t dwMaxFrameInterval = 0;
    uint32_t dwFrameIntervalStep = 0;
    // The discrete intervals (empty when bFrameIntervalType is 0). A descriptor too short
    // for all bFrameIntervalType values holds only those that lie inside it.
    std::vector<uint32_t> intervals;
};

// A VS_COLORFORMAT descriptor's three bytes.
struct color_matching_t
{
    uint8_t bColorPrimaries = 0;
    uint8_t bTransferCharacteristics = 0;
    uint8_t bMatrixCoefficients = 0;
};

// One format announced by a VS_INPUT_HEADER.
struct video_format_t
{
    uint8_t format_number = 0;   // 1-based position in the input header's list
    uint8_t format_controls = 0; // first byte of the format's bmaControls entry
    uint8_t bFormatIndex = 0;    // from the matching VS_FORMAT_UNCOMPRESSED, 0 until seen
    uint8_t bBitsPerPixel = 0;
    std::vector<mydata> frames; // holders of video_frame_t, in descriptor order
    std::unique_ptr<color_matching_t> color_matching;
};

// An isochronous IN endpoint of a VideoStreaming alternate setting.
struct stream_ep_t
{
    uint8_t alternate = 0;
    uint8_t bEndpointAddress = 0;
    uint16_t wMaxPacketSize = 0; // raw descriptor value
};

// Holder of exactly one record, in the slot that matches the list it sits in.
class mydata
{
public:
    mydata() = default;
    explicit mydata(std::unique_ptr<::video_frame_t> frame)
        : frame_(std::move(frame))
    {
    }
    explicit mydata(std::unique_ptr<::video_format_t> format)
        : format_(std::move(format))
    {
    }
    explicit mydata(std::unique_ptr<::stream_ep_t> endpoint)
        : stream_ep_(std::move(endpoint))
    {
    }

    ::video_frame_t *video_frame_t() const { return frame_.get(); }
    ::video_format_t *video_format_t() const { return format_.get(); }
    ::stream_ep_t *stream_ep_t() const { return stream_ep_.get(); }

private:
    std::unique_ptr<::video_frame_t> frame_;
    std::unique_ptr<::video_format_t> format_;
    std::unique_ptr<::stream_ep_t> stream_ep_;
};
