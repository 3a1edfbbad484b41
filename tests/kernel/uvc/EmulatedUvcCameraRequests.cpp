// The emulated camera's answers to control requests: the standard requests with its
// descriptors and alternate settings, the units' controls and probe/commit.
#include "EmulatedUvcCamera.h"

#include "UvcRequestBytes.h"

#include <algorithm>
#include <chrono>

#include <linux/usb/ch9.h>
#include <linux/usb/video.h>

namespace varnolet::test {

using namespace uvcbytes;

std::vector<uint8_t> EmulatedUvcCamera::deviceDescriptor() const
{
    // A composite device when the configuration groups its interfaces with an IAD, else
    // one whose class each interface gives.
    const bool composite = m_config.interfaceAssociation;
    return {18,
            USB_DT_DEVICE,
            0x00,
            0x02,
            static_cast<uint8_t>(composite ? 0xEF : 0x00),
            static_cast<uint8_t>(composite ? 0x02 : 0x00),
            static_cast<uint8_t>(composite ? 0x01 : 0x00),
            64,
            static_cast<uint8_t>(m_options.vendorId),
            static_cast<uint8_t>(m_options.vendorId >> 8),
            static_cast<uint8_t>(m_options.productId),
            static_cast<uint8_t>(m_options.productId >> 8),
            0x00,
            0x01,
            1,
            2,
            3,
            1};
}

std::vector<uint8_t> EmulatedUvcCamera::stringDescriptor(uint8_t index) const
{
    if (index == 0)
        return {4, USB_DT_STRING, 0x09, 0x04};
    const std::string *text = index == 1   ? &m_options.manufacturer
                              : index == 2 ? &m_options.product
                              : index == 3 ? &m_options.serial
                                           : nullptr;
    if (!text)
        return {};
    std::vector<uint8_t> bytes{static_cast<uint8_t>(2 + 2 * text->size()), USB_DT_STRING};
    for (char c : *text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

int EmulatedUvcCamera::standardRequest(const uint8_t setup[8], std::vector<uint8_t> &in)
{
    const uint8_t type = setup[0];
    const uint8_t request = setup[1];
    const uint16_t value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
    const uint16_t index = static_cast<uint16_t>(setup[4] | setup[5] << 8);
    switch (request) {
    case USB_REQ_GET_DESCRIPTOR:
        switch (value >> 8) {
        case USB_DT_DEVICE:
            in = deviceDescriptor();
            return 0;
        case USB_DT_CONFIG:
            in = m_descriptors;
            return 0;
        case USB_DT_STRING:
            in = stringDescriptor(static_cast<uint8_t>(value));
            return in.empty() ? kStall : 0;
        default:
            return kStall; // device qualifier, BOS, ...: a USB 2.0 device without them
        }
    case USB_REQ_SET_CONFIGURATION:
        if (value != 0 && value != m_config.configurationValue)
            return kStall;
        m_configurationValue = static_cast<uint8_t>(value);
        m_alternates.clear();
        for (Stream &stream : m_streams)
            stream.alternate = 0;
        return 0;
    case USB_REQ_GET_CONFIGURATION:
        in = {m_configurationValue};
        return 0;
    case USB_REQ_GET_STATUS:
        in = {0, 0};
        return 0;
    case USB_REQ_SET_INTERFACE: {
        const auto declared = m_config.lastAlternate.find(static_cast<uint8_t>(index));
        if (declared == m_config.lastAlternate.end() || value > declared->second)
            return kStall;
        m_alternates[static_cast<uint8_t>(index)] = static_cast<uint8_t>(value);
        for (Stream &stream : m_streams) {
            if (stream.config->interfaceNumber != index)
                continue;
            stream.alternate = static_cast<uint8_t>(value);
            // Back to the zero-bandwidth setting: the host stopped the stream; a frame
            // begun is dropped and the next start begins a new one.
            if (stream.config->isochronous && value == 0)
                stream.writer = UvcPayloadWriter();
        }
        return 0;
    }
    case USB_REQ_GET_INTERFACE: {
        if (!m_config.lastAlternate.count(static_cast<uint8_t>(index)))
            return kStall;
        const auto found = m_alternates.find(static_cast<uint8_t>(index));
        in = {found == m_alternates.end() ? uint8_t{0} : found->second};
        return 0;
    }
    case USB_REQ_CLEAR_FEATURE:
        if ((type & USB_RECIP_MASK) == USB_RECIP_ENDPOINT) {
            // Halt cleared on the bulk video endpoint: the host stopped the stream.
            if (Stream *stream = streamForEndpoint(static_cast<uint8_t>(index))) {
                stream->writer = UvcPayloadWriter();
                stream->committed = false;
            }
        }
        return 0;
    case USB_REQ_SET_FEATURE:
        return 0;
    default:
        return kStall;
    }
}

int EmulatedUvcCamera::control(const uint8_t setup[8], const std::vector<uint8_t> &out,
                               std::vector<uint8_t> &in)
{
    const uint8_t type = setup[0];
    if ((type & USB_TYPE_MASK) == USB_TYPE_STANDARD)
        return standardRequest(setup, in);
    if ((type & USB_TYPE_MASK) != USB_TYPE_CLASS ||
        (type & USB_RECIP_MASK) != USB_RECIP_INTERFACE) {
        m_requestError = kErrorInvalidRequest;
        return kStall;
    }
    const uint8_t request = setup[1];
    const uint8_t selector = setup[3];
    const uint8_t interfaceNumber = setup[4];
    const uint8_t entity = setup[5];
    const uint16_t length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
    if (interfaceNumber == m_config.controlInterface) {
        if (entity == 0) {
            if (selector == UVC_VC_REQUEST_ERROR_CODE_CONTROL && request == UVC_GET_CUR) {
                in = {m_requestError};
                return 0;
            }
            if (selector == UVC_VC_REQUEST_ERROR_CODE_CONTROL && request == UVC_GET_INFO) {
                in = {1};
                return 0;
            }
            m_requestError = kErrorInvalidControl;
            return kStall;
        }
        const int status = unitRequest(entity, selector, request, out, in, length);
        if (status == 0)
            m_requestError = 0;
        return status;
    }
    for (Stream &stream : m_streams) {
        if (stream.config->interfaceNumber == interfaceNumber && entity == 0)
            return streamingRequest(stream, selector, request, out, in, length);
    }
    m_requestError = kErrorInvalidUnit;
    return kStall;
}

int EmulatedUvcCamera::unitRequest(uint8_t entity, uint8_t selector, uint8_t request,
                                   const std::vector<uint8_t> &out, std::vector<uint8_t> &in,
                                   uint16_t length)
{
    if (!m_config.findUnit(entity)) {
        m_requestError = kErrorInvalidUnit;
        return kStall;
    }
    const auto found = m_controls.find(static_cast<uint16_t>(entity << 8 | selector));
    if (found == m_controls.end()) {
        m_requestError = kErrorInvalidControl;
        return kStall;
    }
    Control &c = found->second;
    const UvcControlRange &range = c.range;
    auto answer = [&](int32_t value) {
        in.assign(range.size, 0);
        if (!range.raw)
            putLe(in, 0, static_cast<uint32_t>(value), std::min<size_t>(range.size, 4));
        else if (request == UVC_GET_CUR)
            in = c.raw;
        return 0;
    };
    switch (request) {
    case UVC_GET_CUR:
        return answer(c.state.value);
    case UVC_GET_MIN:
        return answer(range.minimum);
    case UVC_GET_MAX:
        return answer(range.maximum);
    case UVC_GET_RES:
        return answer(range.resolution);
    case UVC_GET_DEF:
        return answer(range.defaultValue);
    case UVC_GET_INFO:
        in = {0x03};
        return 0; // GET and SET supported
    case UVC_GET_LEN:
        in = {range.size, 0};
        return 0;
    case UVC_SET_CUR: {
        if (length != range.size || out.size() != range.size) {
            m_requestError = kErrorInvalidRequest;
            return kStall;
        }
        if (range.raw) {
            c.raw = out;
            ++c.state.setCount;
            return 0;
        }
        uint32_t raw = le(out, 0, range.size);
        int32_t value = static_cast<int32_t>(raw);
        if (range.isSigned && range.size == 2)
            value = static_cast<int16_t>(raw);
        if (range.isSigned && range.size == 1)
            value = static_cast<int8_t>(raw);
        const bool valid =
            range.bitmapResolution
                ? (value != 0 && (value & (value - 1)) == 0 && (value & range.resolution) == value)
                : (value >= range.minimum && value <= range.maximum);
        if (!valid) {
            m_requestError = kErrorOutOfRange;
            return kStall;
        }
        c.state.value = value;
        ++c.state.setCount;
        return 0;
    }
    default:
        m_requestError = kErrorInvalidRequest;
        return kStall;
    }
}

std::vector<uint8_t> EmulatedUvcCamera::negotiate(Stream &stream,
                                                  const std::vector<uint8_t> &wanted) const
{
    std::vector<uint8_t> probe(m_config.probeSize(), 0);
    const auto &formats = stream.config->formats;
    const UvcConfiguration::Format *format = nullptr;
    const uint8_t formatIndex = wanted.size() > 2 ? wanted[2] : 0;
    for (const auto &f : formats) {
        if (f.index == formatIndex && !f.frames.empty())
            format = &f;
    }
    if (!format) {
        // The default: the first format the camera pictures, else the first declared.
        for (const auto &f : formats) {
            if (!f.frames.empty() && f.encoding != UvcConfiguration::Encoding::Other) {
                format = &f;
                break;
            }
        }
    }
    if (!format) {
        for (const auto &f : formats) {
            if (!f.frames.empty()) {
                format = &f;
                break;
            }
        }
    }
    if (!format)
        return probe;
    const uint8_t frameIndex = wanted.size() > 3 ? wanted[3] : 0;
    const UvcConfiguration::Frame *frame = &format->frames.front();
    for (const auto &f : format->frames) {
        if (f.index == frameIndex)
            frame = &f;
    }
    uint32_t interval = frame->closestInterval(le(wanted, 4, 4));
    if (interval == 0)
        interval = 333333;
    probe[0] = 1; // bmHint: frame interval fixed
    probe[2] = format->index;
    probe[3] = frame->index;
    putLe(probe, 4, interval, 4);
    uint32_t frameBytes = static_cast<uint32_t>(frame->width * frame->height * 2);
    if (format->encoding == UvcConfiguration::Encoding::Yuyv && frame->maxFrameBytes)
        frameBytes = frame->maxFrameBytes;
    putLe(probe, 18, frameBytes, 4); // dwMaxVideoFrameSize
    // dwMaxPayloadTransferSize: a bulk transfer, or the largest isochronous packet (uvcvideo
    // picks the smallest alternate setting that holds it).
    const uint32_t payload =
        stream.config->isochronous ? stream.config->maxPacketBytes() : kPayloadSize;
    putLe(probe, 22, payload, 4);
    if (probe.size() >= 34) {
        putLe(probe, 26, 48000000, 4); // dwClockFrequency
        probe[30] = 0x03;              // bmFramingInfo: FID and EOF used
        probe[31] = 1;                 // bPreferedVersion
        probe[32] = 1;                 // bMinVersion
        probe[33] = 1;                 // bMaxVersion
    }
    return probe;
}

int EmulatedUvcCamera::commit(Stream &stream)
{
    stream.format = nullptr;
    stream.frame = nullptr;
    for (const auto &f : stream.config->formats) {
        if (f.index != stream.probe[2])
            continue;
        for (const auto &fr : f.frames) {
            if (fr.index == stream.probe[3]) {
                stream.format = &f;
                stream.frame = &fr;
            }
        }
    }
    // A declared format without a picture of its own (frame-based, NV12, ...): refused.
    if (!stream.format || stream.format->encoding == UvcConfiguration::Encoding::Other) {
        stream.committed = false;
        m_requestError = kErrorOutOfRange;
        return kStall;
    }
    stream.committedControl = stream.probe;
    stream.committed = true;
    stream.commit.formatIndex = stream.probe[2];
    stream.commit.frameIndex = stream.probe[3];
    stream.commit.interval = le(stream.probe, 4, 4);
    ++stream.commit.count;
    stream.frameNumber = 0;
    stream.writer = UvcPayloadWriter();
    stream.nextFrame = std::chrono::steady_clock::now();
    return 0;
}

int EmulatedUvcCamera::streamingRequest(Stream &stream, uint8_t selector, uint8_t request,
                                        const std::vector<uint8_t> &out, std::vector<uint8_t> &in,
                                        uint16_t length)
{
    if (selector != UVC_VS_PROBE_CONTROL && selector != UVC_VS_COMMIT_CONTROL) {
        m_requestError = kErrorInvalidControl;
        return kStall;
    }
    switch (request) {
    case UVC_GET_INFO:
        in = {0x03};
        return 0;
    case UVC_GET_LEN:
        in = {static_cast<uint8_t>(m_config.probeSize()), 0};
        return 0;
    case UVC_GET_CUR:
        in = selector == UVC_VS_PROBE_CONTROL ? stream.probe : stream.committedControl;
        return 0;
    case UVC_GET_MIN:
    case UVC_GET_MAX:
    case UVC_GET_DEF:
        if (selector != UVC_VS_PROBE_CONTROL) {
            m_requestError = kErrorInvalidRequest;
            return kStall;
        }
        in = negotiate(stream, request == UVC_GET_DEF ? std::vector<uint8_t>{} : stream.probe);
        return 0;
    case UVC_SET_CUR:
        // uvcvideo sends the size of the camera's version; a shorter one (26 bytes, the 1.0
        // fields) is taken too.
        if (length < 26 || out.size() < 26 || out.size() > m_config.probeSize()) {
            m_requestError = kErrorInvalidRequest;
            return kStall;
        }
        stream.probe = negotiate(stream, out);
        return selector == UVC_VS_COMMIT_CONTROL ? commit(stream) : 0;
    default:
        m_requestError = kErrorInvalidRequest;
        return kStall;
    }
}

} // namespace varnolet::test
