#include "UvcConfiguration.h"

#include <algorithm>
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

uint32_t bitmap(const std::vector<uint8_t> &bytes)
{
    uint32_t value = 0;
    for (size_t i = 0; i < bytes.size() && i < 4; ++i)
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return value;
}

std::vector<uint8_t> slice(const uint8_t *d, size_t length, size_t at, size_t count)
{
    if (at >= length)
        return {};
    return std::vector<uint8_t>(d + at, d + std::min(length, at + count));
}

constexpr uint8_t kYuy2Guid[4] = {'Y', 'U', 'Y', '2'};

// Frame descriptors: the uncompressed and MJPEG layout, and the frame-based one (no
// dwMaxVideoFrameBufferSize, dwBytesPerLine after the interval type).
std::optional<UvcConfiguration::Frame> parseFrame(const uint8_t *d, size_t length, bool frameBased)
{
    const size_t typeAt = frameBased ? 21 : 25;
    const size_t listAt = 26;
    if (length < listAt)
        return std::nullopt;
    UvcConfiguration::Frame frame;
    frame.index = d[3];
    frame.width = le16(d + 5);
    frame.height = le16(d + 7);
    frame.maxFrameBytes = frameBased ? 0 : le32(d + 17);
    frame.defaultInterval = le32(d + (frameBased ? 17 : 21));
    const unsigned count = d[typeAt];
    if (count == 0) {
        if (length < listAt + 12)
            return std::nullopt;
        frame.minInterval = le32(d + listAt);
        frame.maxInterval = le32(d + listAt + 4);
        frame.intervalStep = le32(d + listAt + 8);
    } else {
        for (unsigned i = 0; i < count && listAt + 4 * (i + 1) <= length; ++i)
            frame.intervals.push_back(le32(d + listAt + 4 * i));
    }
    if (frame.width <= 0 || frame.height <= 0)
        return std::nullopt;
    return frame;
}

struct InterfaceInfo
{
    uint8_t number = 0;
    uint8_t alternate = 0;
    uint8_t interfaceClass = 0;
    uint8_t subclass = 0;
};

} // namespace

uint32_t UvcConfiguration::Frame::closestInterval(uint32_t wanted) const
{
    if (!intervals.empty()) {
        if (std::find(intervals.begin(), intervals.end(), wanted) != intervals.end())
            return wanted;
        return defaultInterval ? defaultInterval : intervals.front();
    }
    if (wanted == 0 || minInterval == 0)
        return defaultInterval ? defaultInterval : minInterval;
    uint32_t value = std::clamp(wanted, minInterval, std::max(minInterval, maxInterval));
    if (intervalStep > 0)
        value = minInterval + (value - minInterval) / intervalStep * intervalStep;
    return value;
}

uint32_t UvcConfiguration::Streaming::maxPacketBytes() const
{
    uint32_t largest = 0;
    for (const Alternate &a : alternates)
        largest = std::max(largest, a.packetBytes);
    return largest;
}

uint32_t UvcConfiguration::Streaming::packetBytes(uint8_t alternate) const
{
    for (const Alternate &a : alternates) {
        if (a.alternate == alternate)
            return a.packetBytes;
    }
    return 0;
}

size_t UvcConfiguration::probeSize() const
{
    return bcdUvc >= 0x0150 ? 48 : bcdUvc >= 0x0110 ? 34 : 26;
}

std::optional<UvcConfiguration> UvcConfiguration::parse(const std::vector<uint8_t> &bytes,
                                                        std::string &error)
{
    if (bytes.size() < 9 || bytes[0] < 9 || bytes[1] != USB_DT_CONFIG) {
        error = "not a configuration descriptor";
        return std::nullopt;
    }
    const size_t total = le16(bytes.data() + 2);
    if (total != bytes.size()) {
        error = "wTotalLength is " + std::to_string(total) + " but there are " +
                std::to_string(bytes.size()) + " bytes";
        return std::nullopt;
    }
    UvcConfiguration config;
    config.configurationValue = bytes[5];
    enum class In { Other, Control, Streaming } in = In::Other;
    InterfaceInfo current;
    Streaming *streaming = nullptr;
    Format *format = nullptr;
    bool sawControl = false;
    std::vector<uint8_t> streamingNumbers; // baInterfaceNr of the VideoControl header
    // Video endpoints by (interface, alternate): address, type, packet bytes.
    struct Endpoint
    {
        uint8_t interfaceNumber, alternate, address, type;
        uint32_t packetBytes;
    };
    std::vector<Endpoint> endpoints;
    std::vector<InterfaceInfo> interfaces;
    size_t offset = 0;
    while (offset < bytes.size()) {
        const uint8_t *d = bytes.data() + offset;
        const size_t left = bytes.size() - offset;
        const size_t length = d[0];
        if (length == 0) {
            error = "descriptor at offset " + std::to_string(offset) + " has length 0";
            return std::nullopt;
        }
        if (length < 2 || length > left) {
            error = "descriptor at offset " + std::to_string(offset) + " (length " +
                    std::to_string(length) + ") runs past the end";
            return std::nullopt;
        }
        const uint8_t type = d[1];
        const uint8_t subtype = length > 2 ? d[2] : 0;
        if (type == USB_DT_INTERFACE_ASSOCIATION) {
            config.interfaceAssociation = true;
        } else if (type == USB_DT_INTERFACE && length >= 9) {
            current = InterfaceInfo{d[2], d[3], d[5], d[6]};
            interfaces.push_back(current);
            uint8_t &last = config.lastAlternate[current.number];
            last = std::max(last, current.alternate);
            in = In::Other;
            streaming = nullptr;
            format = nullptr;
            const bool videoish = current.interfaceClass == USB_CLASS_VIDEO ||
                                  current.interfaceClass == USB_CLASS_VENDOR_SPEC;
            if (videoish && current.subclass == UVC_SC_VIDEOCONTROL && current.alternate == 0 &&
                !sawControl) {
                in = In::Control;
                config.controlInterface = current.number;
                config.vendorClass = current.interfaceClass == USB_CLASS_VENDOR_SPEC;
                sawControl = true;
            } else if (videoish && current.subclass == UVC_SC_VIDEOSTREAMING &&
                       current.alternate == 0) {
                in = In::Streaming;
                config.streaming.push_back(Streaming{});
                streaming = &config.streaming.back();
                streaming->interfaceNumber = current.number;
            }
        } else if (type == USB_DT_ENDPOINT && length >= 7) {
            const uint8_t address = d[2];
            const uint8_t kind = d[3] & USB_ENDPOINT_XFERTYPE_MASK;
            const uint16_t size = le16(d + 4);
            config.endpoints[address] = kind;
            if (in == In::Control && kind == USB_ENDPOINT_XFER_INT && (address & USB_DIR_IN) &&
                current.alternate == 0)
                config.statusEndpoint = address;
            endpoints.push_back({current.number, current.alternate, address, kind,
                                 static_cast<uint32_t>((size & 0x7FF) * (1 + ((size >> 11) & 3)))});
        } else if (type == USB_DT_CS_INTERFACE && in == In::Control) {
            if (subtype == UVC_VC_HEADER && length >= 12) {
                config.bcdUvc = le16(d + 3);
                const size_t count = d[11];
                for (size_t i = 0; i < count && 12 + i < length; ++i)
                    streamingNumbers.push_back(d[12 + i]);
            } else if (subtype == UVC_VC_INPUT_TERMINAL && length >= 8 &&
                       le16(d + 4) == UVC_ITT_CAMERA) {
                config.cameraTerminalId = d[3];
                const std::vector<uint8_t> controls =
                    length >= 15 ? slice(d, length, 15, d[14]) : std::vector<uint8_t>{};
                config.cameraControls = bitmap(controls);
                config.units.push_back({d[3], subtype, controls});
            } else if (subtype == UVC_VC_PROCESSING_UNIT && length >= 8) {
                const std::vector<uint8_t> controls = slice(d, length, 8, d[7]);
                if (!config.processingUnitId) {
                    config.processingUnitId = d[3];
                    config.processingControls = bitmap(controls);
                }
                config.units.push_back({d[3], subtype, controls});
            } else if (subtype == UVC_VC_EXTENSION_UNIT && length >= 24) {
                const size_t pins = d[21];
                const size_t sizeAt = 22 + pins;
                if (sizeAt < length)
                    config.units.push_back(
                        {d[3], subtype, slice(d, length, sizeAt + 1, d[sizeAt])});
            }
        } else if (type == USB_DT_CS_INTERFACE && in == In::Streaming) {
            if (subtype == UVC_VS_INPUT_HEADER && length >= 13) {
                streaming->endpoint = d[6];
                streaming->terminalLink = d[8];
                streaming->triggerSupport = d[10] != 0;
            } else if (subtype == UVC_VS_FORMAT_UNCOMPRESSED && length >= 21) {
                const bool yuyv = std::memcmp(d + 5, kYuy2Guid, sizeof kYuy2Guid) == 0;
                streaming->formats.push_back(
                    Format{d[3], yuyv ? Encoding::Yuyv : Encoding::Other, {}});
                format = &streaming->formats.back();
            } else if (subtype == UVC_VS_FORMAT_MJPEG && length >= 11) {
                streaming->formats.push_back(Format{d[3], Encoding::Mjpeg, {}});
                format = &streaming->formats.back();
            } else if (subtype == UVC_VS_FORMAT_FRAME_BASED && length >= 21) {
                streaming->formats.push_back(Format{d[3], Encoding::Other, {}});
                format = &streaming->formats.back();
            } else if (subtype == UVC_VS_FORMAT_MPEG2TS || subtype == UVC_VS_FORMAT_DV ||
                       subtype == UVC_VS_FORMAT_STREAM_BASED) {
                format = nullptr; // declared without frames: nothing to negotiate
            } else if ((subtype == UVC_VS_FRAME_UNCOMPRESSED || subtype == UVC_VS_FRAME_MJPEG ||
                        subtype == UVC_VS_FRAME_FRAME_BASED) &&
                       format) {
                if (auto frame = parseFrame(d, length, subtype == UVC_VS_FRAME_FRAME_BASED))
                    format->frames.push_back(*frame);
            }
            // Still image frames, colour matching: uvcvideo reads them, nothing to serve.
        }
        offset += length;
    }
    if (!sawControl) {
        error = "no VideoControl interface";
        return std::nullopt;
    }
    // The streaming interfaces are those the VideoControl header lists (as uvcvideo has
    // it); without a list, every streaming interface.
    if (!streamingNumbers.empty()) {
        std::vector<Streaming> listed;
        for (const Streaming &s : config.streaming) {
            if (std::find(streamingNumbers.begin(), streamingNumbers.end(), s.interfaceNumber) !=
                streamingNumbers.end())
                listed.push_back(s);
        }
        config.streaming = std::move(listed);
    }
    for (Streaming &s : config.streaming) {
        for (const Endpoint &e : endpoints) {
            if (e.interfaceNumber != s.interfaceNumber || e.address != s.endpoint)
                continue;
            if (e.type == USB_ENDPOINT_XFER_ISOC && e.alternate > 0) {
                s.isochronous = true;
                s.alternates.push_back({e.alternate, e.packetBytes});
            }
        }
        const bool bulk = std::any_of(endpoints.begin(), endpoints.end(), [&](const Endpoint &e) {
            return e.interfaceNumber == s.interfaceNumber && e.alternate == 0 &&
                   e.address == s.endpoint && e.type == USB_ENDPOINT_XFER_BULK;
        });
        if (!bulk && !s.isochronous)
            s.endpoint = 0;
    }
    const bool servable =
        std::any_of(config.streaming.begin(), config.streaming.end(), [](const Streaming &s) {
            return s.endpoint != 0 && (s.endpoint & USB_DIR_IN) && !s.formats.empty();
        });
    if (!servable) {
        error = "no VideoStreaming interface with a video IN endpoint (bulk on alternate "
                "setting 0 or isochronous) and a format";
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

const UvcConfiguration::Unit *UvcConfiguration::findUnit(uint8_t id) const
{
    for (const Unit &u : units) {
        if (u.id == id)
            return &u;
    }
    return nullptr;
}

} // namespace varnolet::test
