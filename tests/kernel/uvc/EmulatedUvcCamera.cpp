#include "EmulatedUvcCamera.h"

#include "UvcDescriptorBuilder.h"
#include "UvcTestPattern.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <linux/usb/ch9.h>
#include <linux/usb/video.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnolet::test {

namespace {

// USB/IP wire format: big-endian 32-bit words.
constexpr uint32_t kCmdSubmit = 1;
constexpr uint32_t kCmdUnlink = 2;
constexpr uint32_t kRetSubmit = 3;
constexpr uint32_t kRetUnlink = 4;
constexpr size_t kHeaderSize = 48;
constexpr size_t kIsoDescriptorSize = 16; // offset, length, actual length, status
constexpr uint32_t kPayloadSize = 16384;  // dwMaxPayloadTransferSize: 32 packets of 512
constexpr int kStall = -EPIPE;
constexpr unsigned kHighSpeed = 3;

// Error codes of VC_REQUEST_ERROR_CODE_CONTROL.
constexpr uint8_t kErrorOutOfRange = 0x04;
constexpr uint8_t kErrorInvalidUnit = 0x05;
constexpr uint8_t kErrorInvalidControl = 0x06;
constexpr uint8_t kErrorInvalidRequest = 0x07;

uint32_t be32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return ntohl(v);
}

void putBe32(uint8_t *p, uint32_t value)
{
    const uint32_t v = htonl(value);
    std::memcpy(p, &v, 4);
}

void putLe(std::vector<uint8_t> &bytes, size_t at, uint32_t value, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t le(const std::vector<uint8_t> &bytes, size_t at, size_t size)
{
    uint32_t value = 0;
    for (size_t i = 0; i < size && at + i < bytes.size(); ++i)
        value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

// Moves all `length` bytes with `step` (a recv or a send), going on after partial
// transfers and interruptions; false once the connection ends or fails.
template <typename Byte, typename Step> bool transferFully(Byte *p, size_t length, Step step)
{
    while (length > 0) {
        const ssize_t n = step(p, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool readFully(int fd, void *buffer, size_t length)
{
    return transferFully(static_cast<uint8_t *>(buffer), length,
                         [fd](uint8_t *p, size_t n) { return ::recv(fd, p, n, MSG_WAITALL); });
}

bool writeFully(int fd, const uint8_t *p, size_t length)
{
    return transferFully(
        p, length, [fd](const uint8_t *q, size_t n) { return ::send(fd, q, n, MSG_NOSIGNAL); });
}

bool writeSysfs(const std::string &path, const std::string &text, std::string &error)
{
    std::ofstream file(path);
    file << text;
    file.flush();
    if (!file) {
        error = "cannot write \"" + text + "\" to " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

EmulatedUvcCamera::EmulatedUvcCamera(Options options)
    : m_options(std::move(options))
{
    m_descriptors = m_options.configuration.empty() ? UvcDescriptorBuilder::configuration()
                                                    : m_options.configuration;
    if (auto parsed = UvcConfiguration::parse(m_descriptors, m_configError))
        m_config = std::move(*parsed);
    m_streams.resize(m_config.streaming.size());
    for (size_t i = 0; i < m_streams.size(); ++i) {
        m_streams[i].config = &m_config.streaming[i];
        m_streams[i].commit.interfaceNumber = m_config.streaming[i].interfaceNumber;
        m_streams[i].probe = negotiate(m_streams[i], {});
        m_streams[i].committedControl = m_streams[i].probe;
    }
    setUpControls();
}

EmulatedUvcCamera::~EmulatedUvcCamera()
{
    unplug();
}

void EmulatedUvcCamera::setUpControls()
{
    for (const UvcConfiguration::Unit &unit : m_config.units) {
        for (const UvcControlSpec &spec : UvcControlTable::forUnit(unit)) {
            Control control;
            control.spec = spec;
            control.state.value = spec.defaultValue;
            control.raw.assign(spec.size, 0);
            m_controls[static_cast<uint16_t>(unit.id << 8 | spec.selector)] = control;
        }
    }
}

int EmulatedUvcCamera::plug(std::string &error)
{
    if (!m_configError.empty()) {
        error = "unusable descriptors: " + m_configError;
        return -EINVAL;
    }
    if (m_thread.joinable()) {
        error = "already plugged";
        return -EBUSY;
    }
    // A free high-speed port: status lines "hs  <port> <state> ...", state 4 = free.
    std::ifstream status(m_options.vhciFolder + "/status");
    if (!status) {
        error = "no vhci_hcd (" + m_options.vhciFolder + "/status); load vhci-hcd";
        return -ENODEV;
    }
    std::string line;
    m_port = -1;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string hub;
        int port = -1, state = -1;
        if (fields >> hub >> port >> state && hub == "hs" && state == 4) {
            m_port = port;
            break;
        }
    }
    if (m_port < 0) {
        error = "no free high-speed vhci_hcd port";
        return -EBUSY;
    }
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) < 0) {
        error = std::string("socketpair: ") + std::strerror(errno);
        return -errno;
    }
    const std::string attach = std::to_string(m_port) + " " + std::to_string(pair[1]) + " " +
                               std::to_string(0x10000 + m_port + 2) + " " +
                               std::to_string(kHighSpeed);
    const bool attached = writeSysfs(m_options.vhciFolder + "/attach", attach, error);
    ::close(pair[1]); // the kernel holds its own reference
    if (!attached) {
        ::close(pair[0]);
        return -EIO;
    }
    return serveSocket(pair[0]);
}

int EmulatedUvcCamera::serveSocket(int socketFd)
{
    if (m_thread.joinable())
        return -EBUSY;
    m_socket = socketFd;
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_ended = false;
    m_unplugRequested = false;
    m_thread = std::thread(&EmulatedUvcCamera::serve, this);
    return 0;
}

void EmulatedUvcCamera::unplug()
{
    if (!m_thread.joinable())
        return;
    if (!m_ended && m_port >= 0) {
        std::string error;
        writeSysfs(m_options.vhciFolder + "/detach", std::to_string(m_port), error);
    }
    m_unplugRequested = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
    m_thread.join();
    ::close(m_socket);
    ::close(m_wake);
    m_socket = m_wake = -1;
    std::lock_guard guard(m_lock);
    for (Stream &stream : m_streams) {
        stream.pending.clear();
        stream.committed = false;
        stream.alternate = 0;
        stream.writer = UvcPayloadWriter();
    }
    m_statusPending.clear();
    m_heldPending.clear();
    m_statusQueue.clear();
    m_alternates.clear();
    m_configurationValue = 0;
    m_unlinksAhead.clear();
    m_anySubmit = false;
}

void EmulatedUvcCamera::button(bool pressed)
{
    if (!m_config.statusEndpoint || m_streams.empty())
        return;
    {
        std::lock_guard guard(m_lock);
        // Streaming interface status: type 2, originator, event 0 (button), value.
        m_statusQueue.push_back(
            {2, m_config.streaming.front().interfaceNumber, 0, static_cast<uint8_t>(pressed)});
    }
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
}

std::optional<EmulatedUvcCamera::ControlState>
EmulatedUvcCamera::controlState(uint8_t entity, uint8_t selector) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_controls.find(static_cast<uint16_t>(entity << 8 | selector));
    if (found == m_controls.end())
        return std::nullopt;
    return found->second.state;
}

std::optional<EmulatedUvcCamera::Commit>
EmulatedUvcCamera::lastCommit(uint8_t interfaceNumber) const
{
    std::lock_guard guard(m_lock);
    for (const Stream &stream : m_streams) {
        if (stream.config->interfaceNumber == interfaceNumber && stream.commit.count > 0)
            return stream.commit;
    }
    return std::nullopt;
}

uint8_t EmulatedUvcCamera::alternateSetting(uint8_t interfaceNumber) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_alternates.find(interfaceNumber);
    return found == m_alternates.end() ? 0 : found->second;
}

uint64_t EmulatedUvcCamera::framesSent(uint8_t interfaceNumber) const
{
    std::lock_guard guard(m_lock);
    for (const Stream &stream : m_streams) {
        if (stream.config->interfaceNumber == interfaceNumber)
            return stream.sent;
    }
    return 0;
}

void EmulatedUvcCamera::serve()
{
    while (true) {
        int timeout = -1;
        {
            std::lock_guard guard(m_lock);
            const auto now = std::chrono::steady_clock::now();
            for (Stream &stream : m_streams) {
                if (streaming(stream) && !stream.pending.empty() && !stream.writer.inFrame()) {
                    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                        stream.nextFrame - now);
                    const int ms = static_cast<int>(std::max<int64_t>(0, wait.count()) + 1);
                    timeout = timeout < 0 ? ms : std::min(timeout, ms);
                }
            }
        }
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(m_wake, &count, sizeof count);
            if (m_unplugRequested) {
                // The kernel closes its end after the detach; do not wait for it.
                break;
            }
        }
        if (fds[0].revents & (POLLHUP | POLLERR))
            break;
        if ((fds[0].revents & POLLIN) && !handleMessage())
            break;
        std::lock_guard guard(m_lock);
        serveStatus();
        for (Stream &stream : m_streams)
            serveVideo(stream);
    }
    m_ended = true;
}

bool EmulatedUvcCamera::handleMessage()
{
    uint8_t header[kHeaderSize];
    if (!readFully(m_socket, header, sizeof header))
        return false;
    const uint32_t command = be32(header);
    const uint32_t seqnum = be32(header + 4);
    const uint32_t direction = be32(header + 12);
    const uint32_t endpoint = be32(header + 16);
    if (command == kCmdUnlink) {
        const uint32_t target = be32(header + 20);
        bool found = false;
        {
            std::lock_guard guard(m_lock);
            auto drop = [&](std::deque<Pending> &queue) {
                const auto it = std::find_if(queue.begin(), queue.end(),
                                             [&](const Pending &p) { return p.seqnum == target; });
                if (it != queue.end()) {
                    queue.erase(it);
                    found = true;
                }
            };
            drop(m_statusPending);
            drop(m_heldPending);
            for (Stream &stream : m_streams)
                drop(stream.pending);
        }
        // A transfer still held is cancelled and never answered. One not submitted yet:
        // vhci_hcd sends its submits, then its unlinks, so a transfer queued and cancelled
        // in between reaches us unlink first. The answer waits for that submit; answered
        // at once, vhci_hcd would give the transfer back on it, and our later answer to the
        // submit would name a transfer it no longer has ("cannot find a urb of seqnum")
        // and cost the device. A transfer already answered: status 0, vhci_hcd keeps its
        // answer.
        if (found) {
            ++m_unlinks;
            replyUnlink(seqnum, -ECONNRESET);
        } else if (!m_anySubmit || static_cast<int32_t>(target - m_lastSubmit) > 0) {
            m_unlinksAhead[target] = seqnum;
        } else {
            replyUnlink(seqnum, 0);
        }
        return true;
    }
    if (command != kCmdSubmit)
        return false;
    const uint32_t length = be32(header + 24);
    const uint32_t packetCount = be32(header + 32);
    std::vector<uint8_t> out;
    if (direction == 0 && length > 0) {
        if (length > (64u << 20))
            return false;
        out.resize(length);
        if (!readFully(m_socket, out.data(), length))
            return false;
    }
    // Isochronous transfers carry their packet descriptors after the data.
    Pending urb{seqnum, length, be32(header + 28), {}};
    if (packetCount > 0) {
        if (packetCount > 1024)
            return false;
        std::vector<uint8_t> descriptors(packetCount * kIsoDescriptorSize);
        if (!readFully(m_socket, descriptors.data(), descriptors.size()))
            return false;
        for (uint32_t i = 0; i < packetCount; ++i) {
            const uint8_t *d = descriptors.data() + i * kIsoDescriptorSize;
            urb.packets.push_back({be32(d), be32(d + 4), 0, 0});
        }
    }
    m_anySubmit = true;
    m_lastSubmit = seqnum;
    if (const auto ahead = m_unlinksAhead.find(seqnum); ahead != m_unlinksAhead.end()) {
        // Cancelled before it came: not carried out, only the unlink is answered.
        replyUnlink(ahead->second, -ECONNRESET);
        m_unlinksAhead.erase(ahead);
        ++m_unlinks;
        return true;
    }
    if (endpoint == 0) {
        std::vector<uint8_t> in;
        int status;
        {
            std::lock_guard guard(m_lock);
            status = control(header + 40, out, in);
        }
        if (status == kStall)
            ++m_stalls;
        if (direction == 1 && in.size() > length)
            in.resize(length);
        if (direction == 1)
            reply(seqnum, status, in.data(), in.size());
        else
            reply(seqnum, status, nullptr, status == 0 ? out.size() : 0);
        return true;
    }
    std::lock_guard guard(m_lock);
    const uint8_t address = static_cast<uint8_t>(endpoint | (direction == 1 ? USB_DIR_IN : 0));
    if (direction == 1 && m_config.statusEndpoint && address == m_config.statusEndpoint) {
        m_statusPending.push_back(std::move(urb));
        return true;
    }
    if (direction == 1) {
        if (Stream *stream = streamForEndpoint(address)) {
            stream->pending.push_back(std::move(urb));
            return true;
        }
    }
    if (m_config.endpoints.count(address)) {
        // Another function's endpoint (audio, HID): nothing to say, as a device that NAKs;
        // OUT data is taken.
        if (direction == 1)
            m_heldPending.push_back(std::move(urb));
        else
            reply(seqnum, 0, nullptr, out.size());
        return true;
    }
    reply(seqnum, kStall, nullptr, 0);
    return true;
}

EmulatedUvcCamera::Stream *EmulatedUvcCamera::streamForEndpoint(uint8_t endpoint)
{
    for (Stream &stream : m_streams) {
        if (stream.config->endpoint == endpoint)
            return &stream;
    }
    return nullptr;
}

void EmulatedUvcCamera::reply(uint32_t seqnum, int status, const uint8_t *data, size_t length)
{
    // IN data follows the header; for OUT, length is only the count taken.
    std::vector<uint8_t> message(kHeaderSize + (data ? length : 0), 0);
    putBe32(message.data(), kRetSubmit);
    putBe32(message.data() + 4, seqnum);
    putBe32(message.data() + 20, static_cast<uint32_t>(status));
    putBe32(message.data() + 24, static_cast<uint32_t>(length));
    if (data && length)
        std::memcpy(message.data() + kHeaderSize, data, length);
    writeFully(m_socket, message.data(), message.size());
}

void EmulatedUvcCamera::replyUnlink(uint32_t seqnum, int status)
{
    uint8_t message[kHeaderSize] = {};
    putBe32(message, kRetUnlink);
    putBe32(message + 4, seqnum);
    putBe32(message + 20, static_cast<uint32_t>(status));
    writeFully(m_socket, message, sizeof message);
}

void EmulatedUvcCamera::replyIso(const Pending &urb, const std::vector<uint8_t> &data)
{
    // RET_SUBMIT of an isochronous transfer: the packets' bytes back to back, then one
    // descriptor per packet (vhci_hcd moves each packet to its offset).
    const size_t count = urb.packets.size();
    std::vector<uint8_t> message(kHeaderSize + data.size() + count * kIsoDescriptorSize, 0);
    putBe32(message.data(), kRetSubmit);
    putBe32(message.data() + 4, urb.seqnum);
    putBe32(message.data() + 24, static_cast<uint32_t>(data.size()));
    putBe32(message.data() + 28, urb.startFrame);
    putBe32(message.data() + 32, static_cast<uint32_t>(count));
    if (!data.empty())
        std::memcpy(message.data() + kHeaderSize, data.data(), data.size());
    uint8_t *d = message.data() + kHeaderSize + data.size();
    for (const UvcPayloadWriter::IsoPacket &packet : urb.packets) {
        putBe32(d, packet.offset);
        putBe32(d + 4, packet.length);
        putBe32(d + 8, packet.actualLength);
        putBe32(d + 12, static_cast<uint32_t>(packet.status));
        d += kIsoDescriptorSize;
    }
    writeFully(m_socket, message.data(), message.size());
}

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
    const UvcControlSpec &spec = c.spec;
    auto answer = [&](int32_t value) {
        in.assign(spec.size, 0);
        if (!spec.raw)
            putLe(in, 0, static_cast<uint32_t>(value), std::min<size_t>(spec.size, 4));
        else if (request == UVC_GET_CUR)
            in = c.raw;
        return 0;
    };
    switch (request) {
    case UVC_GET_CUR:
        return answer(c.state.value);
    case UVC_GET_MIN:
        return answer(spec.minimum);
    case UVC_GET_MAX:
        return answer(spec.maximum);
    case UVC_GET_RES:
        return answer(spec.resolution);
    case UVC_GET_DEF:
        return answer(spec.defaultValue);
    case UVC_GET_INFO:
        in = {0x03};
        return 0; // GET and SET supported
    case UVC_GET_LEN:
        in = {spec.size, 0};
        return 0;
    case UVC_SET_CUR: {
        if (length != spec.size || out.size() != spec.size) {
            m_requestError = kErrorInvalidRequest;
            return kStall;
        }
        if (spec.raw) {
            c.raw = out;
            ++c.state.setCount;
            return 0;
        }
        uint32_t raw = le(out, 0, spec.size);
        int32_t value = static_cast<int32_t>(raw);
        if (spec.isSigned && spec.size == 2)
            value = static_cast<int16_t>(raw);
        if (spec.isSigned && spec.size == 1)
            value = static_cast<int8_t>(raw);
        const bool valid = spec.bitmapResolution ? (value != 0 && (value & (value - 1)) == 0 &&
                                                    (value & spec.resolution) == value)
                                                 : (value >= spec.minimum && value <= spec.maximum);
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

bool EmulatedUvcCamera::streaming(const Stream &stream) const
{
    // Bulk streams from the commit until the halt is cleared; isochronous while an
    // alternate setting with the video endpoint is chosen.
    return stream.committed &&
           (!stream.config->isochronous || stream.config->packetBytes(stream.alternate) > 0);
}

void EmulatedUvcCamera::startFrame(Stream &stream)
{
    const int w = stream.frame->width, h = stream.frame->height;
    stream.writer.start(stream.format->encoding == UvcConfiguration::Encoding::Mjpeg
                            ? UvcTestPattern::mjpeg(w, h, stream.frameNumber)
                            : UvcTestPattern::yuyv(w, h, stream.frameNumber),
                        stream.fid);
    const uint32_t interval =
        std::max<uint32_t>(le(stream.committedControl, 4, 4), m_options.minimumFrameInterval);
    stream.nextFrame = std::chrono::steady_clock::now() + std::chrono::microseconds(interval / 10);
}

void EmulatedUvcCamera::finishFrame(Stream &stream)
{
    stream.fid = !stream.fid;
    ++stream.frameNumber;
    ++stream.sent;
}

void EmulatedUvcCamera::serveVideo(Stream &stream)
{
    if (stream.config->isochronous) {
        serveIsochronous(stream);
        return;
    }
    while (streaming(stream) && !stream.pending.empty()) {
        if (!stream.writer.inFrame()) {
            if (std::chrono::steady_clock::now() < stream.nextFrame)
                return;
            startFrame(stream);
        }
        const Pending urb = stream.pending.front();
        stream.pending.pop_front();
        const std::vector<uint8_t> payload =
            stream.writer.next(std::min<size_t>(urb.length, kPayloadSize));
        reply(urb.seqnum, 0, payload.data(), payload.size());
        if (!payload.empty() && !stream.writer.inFrame())
            finishFrame(stream);
    }
}

void EmulatedUvcCamera::serveIsochronous(Stream &stream)
{
    // Transfers wait while no frame is due (the host sees them complete at the frame
    // rate); one that ends a frame carries empty packets after its end.
    const size_t packetBytes = stream.config->packetBytes(stream.alternate);
    while (streaming(stream) && !stream.pending.empty()) {
        if (!stream.writer.inFrame()) {
            if (std::chrono::steady_clock::now() < stream.nextFrame)
                return;
            startFrame(stream);
        }
        Pending urb = std::move(stream.pending.front());
        stream.pending.pop_front();
        const std::vector<uint8_t> data = stream.writer.fillIso(urb.packets, packetBytes);
        replyIso(urb, data);
        if (!stream.writer.inFrame())
            finishFrame(stream);
    }
}

void EmulatedUvcCamera::serveStatus()
{
    while (!m_statusPending.empty() && !m_statusQueue.empty()) {
        const Pending urb = m_statusPending.front();
        m_statusPending.pop_front();
        std::vector<uint8_t> packet = std::move(m_statusQueue.front());
        m_statusQueue.pop_front();
        if (packet.size() > urb.length)
            packet.resize(urb.length);
        reply(urb.seqnum, 0, packet.data(), packet.size());
        ++m_statusSent;
    }
}

} // namespace varnolet::test
