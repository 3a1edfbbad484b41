#include "UvcConfiguration.h"

#include <cstring>

#include <linux/usb/ch9.h>
#include <linux/usb/video.h>

namespace varnolet::test {

namespace {

uint16_t le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t bitmap(const uint8_t *p, size_t size)
{
    uint32_t value = 0;
    for (size_t i = 0; i < size && i < 4; ++i)
        value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

constexpr uint8_t kYuy2Guid[4] = {'Y', 'U', 'Y', '2'};

} // namespace

std::optional<UvcConfiguration> UvcConfiguration::parse(const std::vector<uint8_t> &bytes,
                                                        std::string &error)
{
    if (bytes.size() < 9 || bytes[1] != USB_DT_CONFIG) {
        error = "not a configuration descriptor";
        return std::nullopt;
    }
    UvcConfiguration config;
    enum class In { Other, Control, Streaming } in = In::Other;
    Streaming *streaming = nullptr;
    Format *format = nullptr; // null: the current format is one the emulator cannot serve
    bool sawControl = false;
    size_t offset = 0;
    while (offset + 2 <= bytes.size()) {
        const uint8_t *d = bytes.data() + offset;
        const size_t length = d[0];
        if (length < 2 || offset + length > bytes.size()) {
            error = "descriptor at offset " + std::to_string(offset) + " runs past the end";
            return std::nullopt;
        }
        const uint8_t type = d[1];
        const uint8_t subtype = length > 2 ? d[2] : 0;
        if (type == USB_DT_INTERFACE && length >= 9) {
            in = In::Other;
            streaming = nullptr;
            format = nullptr;
            if (d[5] == USB_CLASS_VIDEO && d[6] == UVC_SC_VIDEOCONTROL && d[3] == 0) {
                in = In::Control;
                config.controlInterface = d[2];
                sawControl = true;
            } else if (d[5] == USB_CLASS_VIDEO && d[6] == UVC_SC_VIDEOSTREAMING && d[3] == 0) {
                in = In::Streaming;
                config.streaming.push_back(Streaming{});
                streaming = &config.streaming.back();
                streaming->interfaceNumber = d[2];
            }
        } else if (type == USB_DT_ENDPOINT && length >= 7) {
            const uint8_t address = d[2];
            const uint8_t kind = d[3] & USB_ENDPOINT_XFERTYPE_MASK;
            if (in == In::Control && kind == USB_ENDPOINT_XFER_INT && (address & USB_DIR_IN))
                config.statusEndpoint = address;
            if (in == In::Streaming && kind == USB_ENDPOINT_XFER_BULK && (address & USB_DIR_IN))
                streaming->endpoint = address;
        } else if (type == USB_DT_CS_INTERFACE && in == In::Control) {
            if (subtype == UVC_VC_HEADER && length >= 5) {
                config.bcdUvc = le16(d + 3);
            } else if (subtype == UVC_VC_INPUT_TERMINAL && length >= 15 &&
                       le16(d + 4) == UVC_ITT_CAMERA) {
                config.cameraTerminalId = d[3];
                config.cameraControls = bitmap(d + 15, std::min<size_t>(d[14], length - 15));
            } else if (subtype == UVC_VC_PROCESSING_UNIT && length >= 8) {
                config.processingUnitId = d[3];
                config.processingControls = bitmap(d + 8, std::min<size_t>(d[7], length - 8));
            }
        } else if (type == USB_DT_CS_INTERFACE && in == In::Streaming) {
            if (subtype == UVC_VS_INPUT_HEADER && length >= 13) {
                streaming->terminalLink = d[8];
                streaming->triggerSupport = d[10] != 0;
            } else if (subtype == UVC_VS_FORMAT_UNCOMPRESSED && length >= 21) {
                format = nullptr;
                if (std::memcmp(d + 5, kYuy2Guid, sizeof kYuy2Guid) == 0) {
                    streaming->formats.push_back(Format{d[3], Encoding::Yuyv, {}});
                    format = &streaming->formats.back();
                }
            } else if (subtype == UVC_VS_FORMAT_MJPEG && length >= 11) {
                streaming->formats.push_back(Format{d[3], Encoding::Mjpeg, {}});
                format = &streaming->formats.back();
            } else if ((subtype == UVC_VS_FRAME_UNCOMPRESSED || subtype == UVC_VS_FRAME_MJPEG) &&
                       length >= 26 && format) {
                Frame frame;
                frame.index = d[3];
                frame.width = le16(d + 5);
                frame.height = le16(d + 7);
                frame.defaultInterval = le32(d + 21);
                const unsigned count = d[25];
                for (unsigned i = 0; i < count && 26 + 4 * (i + 1) <= length; ++i)
                    frame.intervals.push_back(le32(d + 26 + 4 * i));
                if (frame.width > 0 && frame.height > 0)
                    format->frames.push_back(frame);
            } else if (subtype == UVC_VS_FORMAT_FRAME_BASED || subtype == UVC_VS_FORMAT_MPEG2TS ||
                       subtype == UVC_VS_FORMAT_DV || subtype == UVC_VS_FORMAT_STREAM_BASED) {
                format = nullptr;
            }
        }
        offset += length;
    }
    if (!sawControl) {
        error = "no VideoControl interface";
        return std::nullopt;
    }
    bool servable = false;
    for (const Streaming &s : config.streaming) {
        for (const Format &f : s.formats)
            servable = servable || (s.endpoint && !f.frames.empty());
    }
    if (!servable) {
        error = "no VideoStreaming interface with a bulk endpoint and a YUYV or MJPEG frame";
        return std::nullopt;
    }
    return config;
}

const UvcConfiguration::Streaming *UvcConfiguration::findStreaming(uint8_t interfaceNumber) const
{
    for (const Streaming &s : streaming) {
        if (s.interfaceNumber == interfaceNumber)
            return &s;
    }
    return nullptr;
}

} // namespace varnolet::test
