#include "EmulatedUvcCamera.h"

#include "UvcDescriptorBuilder.h"
#include "UvcRequestBytes.h"
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

using namespace uvcbytes;

namespace {

// USB/IP wire format: big-endian 32-bit words.
constexpr uint32_t kCmdSubmit = 1;
constexpr uint32_t kCmdUnlink = 2;
constexpr uint32_t kRetSubmit = 3;
constexpr uint32_t kRetUnlink = 4;
constexpr size_t kHeaderSize = 48;
constexpr size_t kIsoDescriptorSize = 16; // offset, length, actual length, status
constexpr unsigned kHighSpeed = 3;

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
        for (const UvcControlRange &range : UvcControlTable::forUnit(unit)) {
            Control control;
            control.range = range;
            control.state.value = range.defaultValue;
            control.raw.assign(range.size, 0);
            m_controls[static_cast<uint16_t>(unit.id << 8 | range.selector)] = control;
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
