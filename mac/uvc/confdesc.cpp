#include "confdesc.h"

#include <cstdarg>
#include <cstdio>

bool very_verbose = false;

namespace {

constexpr uint8_t kInterface = 0x04;
constexpr uint8_t kEndpoint = 0x05;
constexpr uint8_t kCsInterface = 0x24;
constexpr uint8_t kVideoClass = 0x0E;
constexpr uint8_t kVideoControl = 0x01;
constexpr uint8_t kVideoStreaming = 0x02;

// VideoControl subtypes.
constexpr uint8_t kVcHeader = 0x01;
constexpr uint8_t kVcInputTerminal = 0x02;
constexpr uint8_t kVcProcessingUnit = 0x05;
// VideoStreaming subtypes.
constexpr uint8_t kVsInputHeader = 0x01;
constexpr uint8_t kVsFormatUncompressed = 0x04;
constexpr uint8_t kVsFrameUncompressed = 0x05;
constexpr uint8_t kVsColorFormat = 0x0D;

// One descriptor whose bLength has been checked against the bytes left. Every field read
// is checked against bLength; a byte the descriptor does not hold reads as 0.
class Descriptor
{
public:
    Descriptor(const uint8_t *p, uint16_t length)
        : m_p(p)
        , m_length(length)
    {
    }

    uint8_t u8(size_t offset) const { return offset < m_length ? m_p[offset] : 0; }
    uint16_t u16(size_t offset) const
    {
        return static_cast<uint16_t>(u8(offset) | u8(offset + 1) << 8);
    }
    uint32_t u32(size_t offset) const
    {
        return static_cast<uint32_t>(u8(offset)) | static_cast<uint32_t>(u8(offset + 1)) << 8 |
               static_cast<uint32_t>(u8(offset + 2)) << 16 |
               static_cast<uint32_t>(u8(offset + 3)) << 24;
    }
    uint16_t length() const { return m_length; }
    uint8_t type() const { return u8(1); }
    uint8_t subtype() const { return u8(2); }

private:
    const uint8_t *m_p;
    uint16_t m_length;
};

// The descriptor at p when its bLength is usable: not 0 and not past the r bytes left.
bool descriptorFits(const uint8_t *p, uint16_t r)
{
    return r >= 1 && p[0] != 0 && p[0] <= r;
}

void trace(const char *format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char *format, ...)
{
    if (!very_verbose)
        return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void writeLine(const char *text)
{
    std::printf("%s\n", text);
}

const char *yesNo(bool set)
{
    return set ? "yes" : "no";
}

void traceFrame(const char *title)
{
    trace("-----------------------------------------------\n");
    trace("%s\n", title);
    trace("-----------------------------------------------\n");
}

void traceInputTerminal(uint32_t controls)
{
    if (!very_verbose)
        return;
    static const char *const kLines[] = {"Scanning Mode:\t%s\n",
                                         "Auto-Exposure Mode:\t%s\n",
                                         "Auto-Exposure Priority:\t%s\n",
                                         "Exposure Time (Absolute):\t%s\n",
                                         "Exposure Time (Relative):\t%s\n",
                                         "Focus (Absolute):\t%s\n",
                                         "Focus (Relative):\t%s\n",
                                         "Iris (Absolute):\t%s\n",
                                         "Iris (Relative):\t%s\n",
                                         "Zoom (Absolute):\t%s\n",
                                         "Zoom (Relative):\t%s\n",
                                         "PanTilt (Absolute):\t%s\n",
                                         "PanTilt (Relative):\t%s\n",
                                         "Roll (Absolute):\t%s\n",
                                         "Roll (Relative):\t%s\n"};
    traceFrame("-- INPUT TERMINAL -----------------------------");
    for (unsigned bit = 0; bit < 15; ++bit)
        trace(kLines[bit], yesNo(controls & (1u << bit)));
    trace("Focus, Auto:\t%s\n", yesNo(controls & (1u << 17)));
    trace("Privacy:\t%s\n", yesNo(controls & (1u << 18)));
}

void traceProcessingUnit(uint8_t controlSize, uint16_t controls)
{
    if (!very_verbose)
        return;
    static const char *const kLines[] = {"Brightness:\t%s\n",
                                         "Contrast:\t%s\n",
                                         "Hue:\t%s\n",
                                         "Saturation:\t%s\n",
                                         "Sharpness:\t%s\n",
                                         "Gamma:\t%s\n",
                                         "White Balance Temperature:\t%s\n",
                                         "White Balance Component:\t%s\n",
                                         "Backlight Compensation:\t%s\n",
                                         "Gain:\t%s\n",
                                         "Power Line Frequency:\t%s\n"};
    traceFrame("-- PROCESSING UNIT ----------------------------");
    trace("SIZE: %d\n", controlSize);
    for (unsigned bit = 0; bit < 11; ++bit)
        trace(kLines[bit], yesNo(controls & (1u << bit)));
    for (unsigned bit = 11; bit < 16; ++bit)
        trace("Reserved(%d) is zero:\t%s\n", static_cast<int>(bit),
              yesNo(!(controls & (1u << bit))));
}

// Walks the descriptors that follow the interface descriptor at bytes, up to the next
// interface descriptor or the end, handing each to visit; visit answers false to give up on
// the interface, which then takes 0 bytes. Answers the bytes taken, the interface
// descriptor's own included.
template <typename Visit> uint16_t walkInterface(const uint8_t *bytes, uint16_t len, Visit &&visit)
{
    if (!bytes || !descriptorFits(bytes, len))
        return 0;
    const uint8_t *p = bytes + bytes[0];
    uint16_t r = static_cast<uint16_t>(len - bytes[0]);
    while (r >= 3 && p[1] != kInterface) {
        if (!descriptorFits(p, r))
            break;
        const Descriptor d(p, p[0]);
        trace("* got 0x%02x/0x%02x\n", p[1], p[2]);
        if (!visit(d))
            return 0;
        p += d.length();
        r = static_cast<uint16_t>(r - d.length());
    }
    return static_cast<uint16_t>(len - r);
}

} // namespace

void confdesc::initConfdesc(const uint8_t *bytes, uint16_t length)
{
    video_formats_.clear();
    stream_eps_.clear();
    buffer_ = bytes;
    length_ = bytes ? length : 0;
    vdc_ = 0;

    const uint8_t *p = buffer_;
    uint16_t r = length_;
    while (r >= 3) {
        if (!descriptorFits(p, r))
            break; // bLength 0 or past the end: nothing after it can be trusted
        const Descriptor d(p, p[0]);
        uint16_t consumed = 0;
        if (d.type() == kInterface && d.u8(5) == kVideoClass) {
            trace("*** VIDEO interface\n");
            switch (d.u8(6)) {
            case kVideoControl:
                consumed = parse_videocontrol(p, r);
                break;
            case kVideoStreaming:
                consumed = parse_videostream(p, r, d.u8(3));
                break;
            default:
                writeLine("unexpected sub-class");
                break;
            }
        }
        if (consumed == 0 || consumed > r)
            consumed = d.length();
        p += consumed;
        r = static_cast<uint16_t>(r - consumed);
    }
}

uint16_t confdesc::parse_videocontrol(const uint8_t *bytes, uint16_t len)
{
    trace("processing video control...\n");
    return walkInterface(bytes, len, [this](const Descriptor &d) {
        if (d.type() == kCsInterface) {
            switch (d.subtype()) {
            case kVcHeader:
                vdc_ = d.u16(3);
                trace("VC Header: 0x%04x, %d\n", vdc_, static_cast<int>(d.u32(7)));
                break;
            case kVcInputTerminal:
                terminal_unit_id_ = d.u8(3);
                input_terminal_controls_ = d.u32(15);
                traceInputTerminal(input_terminal_controls_);
                break;
            case kVcProcessingUnit:
                processing_unit_id_ = d.u8(3);
                processing_unit_controls_ = d.u16(8);
                traceProcessingUnit(d.u8(7), processing_unit_controls_);
                break;
            default:
                break;
            }
        }
        return true;
    });
}

uint16_t confdesc::parse_videostream(const uint8_t *bytes, uint16_t len, uint8_t alternate)
{
    trace("processing video stream...\n");
    return walkInterface(bytes, len, [this, alternate](const Descriptor &d) {
        if (d.type() == kEndpoint) {
            const uint8_t address = d.u8(2);
            if ((d.u8(3) & 0x03) == 0x01 && (address & 0x80)) {
                auto endpoint = std::make_unique<::stream_ep_t>();
                endpoint->alternate = alternate;
                endpoint->bEndpointAddress = address;
                endpoint->wMaxPacketSize = d.u16(4);
                trace("* Useful EP @0x%02x (alt=%d), rate=%d\n", address, alternate,
                      endpoint->wMaxPacketSize);
                stream_eps_.emplace_back(std::move(endpoint));
            }
        } else if (d.type() == kCsInterface) {
            switch (d.subtype()) {
            case kVsInputHeader: {
                mIsSupportHandwareTrigger_ = d.u8(10) != 0;
                if (!video_formats_.empty())
                    writeLine("ARGH! This should not happen");
                const uint8_t count = d.u8(3);
                const size_t controlSize = d.u8(12);
                for (size_t i = 0; i < count; ++i) {
                    auto format = std::make_unique<::video_format_t>();
                    format->format_number = static_cast<uint8_t>(i + 1);
                    format->format_controls = d.u8(13 + controlSize * i);
                    video_formats_.emplace_back(std::move(format));
                }
                break;
            }
            case kVsFormatUncompressed: {
                if (video_formats_.empty()) {
                    writeLine("ARGH! SHOULD not happen");
                    break;
                }
                const uint8_t index = d.u8(3);
                if (index >= 1 && index <= video_formats_.size()) {
                    ::video_format_t *format = video_formats_[index - 1].video_format_t();
                    format->bFormatIndex = index;
                    format->bBitsPerPixel = d.u8(21);
                } else {
                    writeLine("Unexpected format!");
                }
                break;
            }
            case kVsFrameUncompressed: {
                auto frame = std::make_unique<::video_frame_t>();
                frame->bFrameIndex = d.u8(3);
                frame->bmCapabilities = d.u8(4);
                frame->wWidth = d.u16(5);
                frame->wHeight = d.u16(7);
                frame->dwMinBitRate = d.u32(9);
                frame->dwMaxBitRate = d.u32(13);
                frame->dwMaxVideoFrameBufferSize = d.u32(17);
                frame->dwDefaultFrameInterval = d.u32(21);
                frame->bFrameIntervalType = d.u8(25);
                if (frame->bFrameIntervalType == 0) {
                    frame->dwMinFrameInterval = d.u32(26);
                    frame->dwMaxFrameInterval = d.u32(30);
                    frame->dwFrameIntervalStep = d.u32(34);
                } else {
                    for (size_t i = 0;
                         i < frame->bFrameIntervalType && 26 + 4 * i + 4 <= d.length(); ++i)
                        frame->intervals.push_back(d.u32(26 + 4 * i));
                }
                if (video_formats_.empty())
                    return false;
                video_formats_.back().video_format_t()->frames.emplace_back(std::move(frame));
                break;
            }
            case kVsColorFormat: {
                auto colour = std::make_unique<color_matching_t>();
                colour->bColorPrimaries = d.u8(3);
                colour->bTransferCharacteristics = d.u8(4);
                colour->bMatrixCoefficients = d.u8(5);
                if (video_formats_.empty())
                    return false;
                video_formats_.back().video_format_t()->color_matching = std::move(colour);
                break;
            }
            default:
                break;
            }
        }
        return true;
    });
}

const ::video_format_t *confdesc::getAt(int index) const
{
    if (index < 0 || index >= num_formats())
        return nullptr;
    return video_formats_[static_cast<size_t>(index)].video_format_t();
}

uint8_t confdesc::alternate_for_size(uint32_t size) const
{
    // Compared in 64 bits so that a size near the top of the range cannot wrap around.
    for (const mydata &holder : stream_eps_)
        if (holder.stream_ep_t()->wMaxPacketSize > static_cast<uint64_t>(size) + 64)
            return holder.stream_ep_t()->alternate;
    return 0xFF;
}
