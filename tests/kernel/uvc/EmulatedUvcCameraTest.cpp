// The emulated camera itself, without a kernel: its descriptors, its picture through the
// programs' frame converter, and its USB/IP answers with the test playing the host.
#include "tests/kernel/uvc/EmulatedUvcCamera.h"
#include "tests/kernel/uvc/UvcConfiguration.h"
#include "tests/kernel/uvc/UvcDescriptorBuilder.h"
#include "tests/kernel/uvc/UvcDeviceIds.h"
#include "tests/kernel/uvc/UvcPayloadWriter.h"
#include "tests/kernel/uvc/UvcTestPattern.h"

#include "platform/camera/FrameConverter.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <linux/usb/ch9.h>
#include <linux/usb/video.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace varnolet;
using namespace varnolet::test;

namespace {

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
}

} // namespace

TEST(UvcDescriptors, TheDefaultCameraParsesAsBuilt)
{
    std::string error;
    const auto config = UvcConfiguration::parse(UvcDescriptorBuilder::configuration(), error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->bcdUvc, 0x0110);
    EXPECT_EQ(config->statusEndpoint, 0x81);
    EXPECT_EQ(config->cameraTerminalId, UvcDescriptorBuilder::kCameraTerminalId);
    EXPECT_EQ(config->processingUnitId, UvcDescriptorBuilder::kProcessingUnitId);
    EXPECT_EQ(config->processingControls, 0x1Fu);
    EXPECT_EQ(config->cameraControls, 0x0Au);
    ASSERT_EQ(config->streaming.size(), 1u);
    const auto &streaming = config->streaming.front();
    EXPECT_EQ(streaming.endpoint, 0x82);
    EXPECT_TRUE(streaming.triggerSupport);
    ASSERT_EQ(streaming.formats.size(), 2u);
    EXPECT_EQ(streaming.formats[0].encoding, UvcConfiguration::Encoding::Yuyv);
    EXPECT_EQ(streaming.formats[1].encoding, UvcConfiguration::Encoding::Mjpeg);
    for (const auto &format : streaming.formats) {
        ASSERT_EQ(format.frames.size(), 3u);
        EXPECT_EQ(format.frames[2].width, 1600);
        EXPECT_EQ(format.frames[2].height, 1200);
        EXPECT_EQ(format.frames[0].intervals, (std::vector<uint32_t>{333333, 666666, 2000000}));
    }
}

TEST(UvcDescriptors, VariantsAndBrokenBytes)
{
    std::string error;
    UvcDescriptorBuilder::Options two;
    two.streamingInterfaces = 2;
    two.button = false;
    const auto config = UvcConfiguration::parse(UvcDescriptorBuilder::configuration(two), error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->statusEndpoint, 0);
    ASSERT_EQ(config->streaming.size(), 2u);
    EXPECT_EQ(config->streaming[1].endpoint, 0x83);
    EXPECT_FALSE(config->streaming[1].triggerSupport);

    EXPECT_FALSE(UvcConfiguration::parse({9, 4, 0, 0, 0, 0, 0, 0, 0}, error));
    // An emulated camera with bytes it cannot serve refuses to plug.
    EmulatedUvcCamera camera(
        EmulatedUvcCamera::Options{{9, USB_DT_CONFIG, 9, 0, 0, 1, 0, 0x80, 50}});
    EXPECT_FALSE(camera.configurationError().empty());
    EXPECT_LT(camera.plug(error), 0);
}

TEST(UvcTestPattern, SurvivesTheConverterAndCatchesFlipsAndOtherFrames)
{
    for (const uint32_t fourcc : {V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_MJPEG}) {
        SCOPED_TRACE(fourcc);
        const auto bytes = fourcc == V4L2_PIX_FMT_YUYV ? UvcTestPattern::yuyv(640, 480, 12345)
                                                       : UvcTestPattern::mjpeg(640, 480, 12345);
        FrameConverter converter;
        ASSERT_EQ(converter.configure(fourcc, 640, 480, 0,
                                      fourcc == V4L2_PIX_FMT_YUYV ? 0 : 640 * 480 * 2),
                  0);
        ASSERT_EQ(converter.convert(bytes.data(), bytes.size()), 0);
        std::string problem;
        EXPECT_EQ(UvcTestPattern::readBottomUpBgr(converter.output(), 640, 480, &problem), 12345u)
            << problem;

        // Upside down: the band is at the bottom and the bars do not check out there.
        std::vector<uint8_t> flipped(converter.outputSize());
        for (int y = 0; y < 480; ++y)
            std::memcpy(flipped.data() + static_cast<size_t>(y) * 640 * 3,
                        converter.output() + static_cast<size_t>(479 - y) * 640 * 3, 640 * 3);
        EXPECT_FALSE(UvcTestPattern::readBottomUpBgr(flipped.data(), 640, 480));
        // Mirrored: the bars run the wrong way.
        std::vector<uint8_t> mirrored(converter.outputSize());
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                std::memcpy(mirrored.data() + (static_cast<size_t>(y) * 640 + x) * 3,
                            converter.output() + (static_cast<size_t>(y) * 640 + 639 - x) * 3, 3);
        EXPECT_FALSE(UvcTestPattern::readBottomUpBgr(mirrored.data(), 640, 480));
    }
}

namespace {

// The host's side of the USB/IP socket.
class Host
{
public:
    explicit Host(int fd)
        : m_fd(fd)
    {
    }
    ~Host() { ::close(m_fd); }

    struct Reply
    {
        uint32_t command = 0;
        uint32_t seqnum = 0;
        int32_t status = 0;
        uint32_t startFrame = 0;
        std::vector<uint8_t> data;
        std::vector<UvcPayloadWriter::IsoPacket> packets;
    };

    void submit(uint32_t seqnum, bool in, uint32_t endpoint, const std::vector<uint8_t> &setup,
                uint32_t length, const std::vector<uint8_t> &out = {})
    {
        uint8_t header[48] = {};
        put(header, 1);
        put(header + 4, seqnum);
        put(header + 12, in ? 1 : 0);
        put(header + 16, endpoint);
        put(header + 24, in ? length : static_cast<uint32_t>(out.size()));
        std::memcpy(header + 40, setup.data(), std::min<size_t>(8, setup.size()));
        ASSERT_EQ(::send(m_fd, header, sizeof header, 0), 48);
        if (!out.empty()) {
            ASSERT_EQ(::send(m_fd, out.data(), out.size(), 0), static_cast<ssize_t>(out.size()));
        }
    }
    // An isochronous IN transfer of count packets of packetLength bytes each.
    void submitIso(uint32_t seqnum, uint32_t endpoint, uint32_t count, uint32_t packetLength)
    {
        std::vector<uint8_t> message(48 + 16 * count, 0);
        put(message.data(), 1);
        put(message.data() + 4, seqnum);
        put(message.data() + 12, 1);
        put(message.data() + 16, endpoint);
        put(message.data() + 24, count * packetLength);
        put(message.data() + 28, 77); // start frame
        put(message.data() + 32, count);
        for (uint32_t i = 0; i < count; ++i) {
            put(message.data() + 48 + 16 * i, i * packetLength);
            put(message.data() + 52 + 16 * i, packetLength);
        }
        ASSERT_EQ(::send(m_fd, message.data(), message.size(), 0),
                  static_cast<ssize_t>(message.size()));
    }
    void unlink(uint32_t seqnum, uint32_t target)
    {
        uint8_t header[48] = {};
        put(header, 2);
        put(header + 4, seqnum);
        put(header + 20, target);
        ASSERT_EQ(::send(m_fd, header, sizeof header, 0), 48);
    }
    // The next reply (IN data read for RET_SUBMIT); command 0 after a timeout.
    Reply next(bool in = true, int timeoutMs = 2000)
    {
        Reply reply;
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) != 1)
            return reply;
        uint8_t header[48];
        if (::recv(m_fd, header, sizeof header, MSG_WAITALL) != 48)
            return reply;
        reply.command = get(header);
        reply.seqnum = get(header + 4);
        reply.status = static_cast<int32_t>(get(header + 20));
        const uint32_t length = get(header + 24);
        reply.startFrame = get(header + 28);
        const uint32_t count = reply.command == 3 ? get(header + 32) : 0;
        if (reply.command == 3 && in && length) {
            reply.data.resize(length);
            if (::recv(m_fd, reply.data.data(), length, MSG_WAITALL) !=
                static_cast<ssize_t>(length))
                reply.command = 0;
        }
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t d[16];
            if (::recv(m_fd, d, sizeof d, MSG_WAITALL) != 16) {
                reply.command = 0;
                break;
            }
            reply.packets.push_back(
                {get(d), get(d + 4), get(d + 8), static_cast<int32_t>(get(d + 12))});
        }
        return reply;
    }

private:
    static void put(uint8_t *p, uint32_t v)
    {
        v = htonl(v);
        std::memcpy(p, &v, 4);
    }
    static uint32_t get(const uint8_t *p)
    {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return ntohl(v);
    }
    int m_fd;
};

std::vector<uint8_t> setup(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                           uint16_t length)
{
    return {type,
            request,
            static_cast<uint8_t>(value),
            static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(index),
            static_cast<uint8_t>(index >> 8),
            static_cast<uint8_t>(length),
            static_cast<uint8_t>(length >> 8)};
}

} // namespace

TEST(EmulatedUvcCamera, AnswersStandardClassAndVideoRequests)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EmulatedUvcCamera camera(EmulatedUvcCamera::Options{});
    ASSERT_EQ(camera.serveSocket(pair[0]), 0);
    Host host(pair[1]);

    // Device descriptor, cut to what was asked.
    host.submit(1, true, 0, setup(0x80, USB_REQ_GET_DESCRIPTOR, USB_DT_DEVICE << 8, 0, 8), 8);
    auto reply = host.next();
    EXPECT_EQ(reply.command, 3u);
    EXPECT_EQ(reply.seqnum, 1u);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.data, (std::vector<uint8_t>{18, 1, 0x00, 0x02, 0xEF, 0x02, 0x01, 64}));

    // A device qualifier: a stall.
    host.submit(2, true, 0,
                setup(0x80, USB_REQ_GET_DESCRIPTOR, USB_DT_DEVICE_QUALIFIER << 8, 0, 10), 10);
    EXPECT_EQ(host.next().status, -EPIPE);

    // Brightness of the processing unit: range, a stored SET_CUR, an out-of-range stall.
    const uint16_t brightness = static_cast<uint16_t>(UvcDescriptorBuilder::kProcessingUnitId << 8);
    host.submit(3, true, 0, setup(0xA1, UVC_GET_MIN, UVC_PU_BRIGHTNESS_CONTROL << 8, brightness, 2),
                2);
    EXPECT_EQ(host.next().data, (std::vector<uint8_t>{0xC0, 0xFF})); // -64
    host.submit(4, false, 0,
                setup(0x21, UVC_SET_CUR, UVC_PU_BRIGHTNESS_CONTROL << 8, brightness, 2), 0,
                {0xF6, 0xFF});
    reply = host.next(false);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(
        camera.controlState(UvcDescriptorBuilder::kProcessingUnitId, UVC_PU_BRIGHTNESS_CONTROL)
            ->value,
        -10);
    host.submit(5, false, 0,
                setup(0x21, UVC_SET_CUR, UVC_PU_BRIGHTNESS_CONTROL << 8, brightness, 2), 0,
                {100, 0});
    EXPECT_EQ(host.next(false).status, -EPIPE);
    host.submit(6, true, 0, setup(0xA1, UVC_GET_CUR, UVC_VC_REQUEST_ERROR_CODE_CONTROL << 8, 0, 1),
                1);
    EXPECT_EQ(host.next().data, std::vector<uint8_t>{0x04}); // out of range
    // Gain is not among its controls.
    host.submit(7, true, 0, setup(0xA1, UVC_GET_CUR, UVC_PU_GAIN_CONTROL << 8, brightness, 2), 2);
    EXPECT_EQ(host.next().status, -EPIPE);

    // Commit MJPEG (format 2) at 1280 x 720 (frame 2); an unknown interval becomes the default.
    std::vector<uint8_t> probe(34, 0);
    probe[2] = 2;
    probe[3] = 2;
    probe[4] = 1;
    host.submit(8, false, 0, setup(0x21, UVC_SET_CUR, UVC_VS_COMMIT_CONTROL << 8, 1, 34), 0, probe);
    EXPECT_EQ(host.next(false).status, 0);
    const auto commit = camera.lastCommit(1);
    ASSERT_TRUE(commit);
    EXPECT_EQ(commit->formatIndex, 2);
    EXPECT_EQ(commit->frameIndex, 2);
    EXPECT_EQ(commit->interval, 333333u);

    // Video: payloads with the header, FID constant within a frame, EOF on the last.
    std::vector<uint8_t> jpeg;
    uint8_t fid = 0xFF;
    for (uint32_t seq = 100; seq < 400; ++seq) {
        host.submit(seq, true, 2, {}, 16384);
        reply = host.next();
        ASSERT_EQ(reply.command, 3u);
        ASSERT_GE(reply.data.size(), 2u);
        EXPECT_EQ(reply.data[0], 2);
        if (fid == 0xFF)
            fid = reply.data[1] & 1;
        EXPECT_EQ(reply.data[1] & 1, fid);
        jpeg.insert(jpeg.end(), reply.data.begin() + 2, reply.data.end());
        if (reply.data[1] & 0x02)
            break;
    }
    EXPECT_EQ(jpeg, UvcTestPattern::mjpeg(1280, 720, 0));
    host.submit(400, true, 2, {}, 16384);
    EXPECT_EQ(host.next().data[1] & 1, fid ^ 1) << "the next frame toggles FID";

    // The status endpoint: a waiting transfer is answered by the button; unlinking one
    // that waits gives -ECONNRESET.
    host.submit(500, true, 1, {}, 16);
    camera.button(false);
    // Drain video replies that may come first.
    for (int i = 0; i < 50; ++i) {
        reply = host.next();
        if (reply.seqnum == 500)
            break;
    }
    EXPECT_EQ(reply.data, (std::vector<uint8_t>{2, 1, 0, 0}));
    host.submit(501, true, 1, {}, 16);
    host.unlink(502, 501);
    reply = host.next();
    EXPECT_EQ(reply.command, 4u);
    EXPECT_EQ(reply.status, -ECONNRESET);
    camera.unplug();
}

namespace {

UvcDescriptorBuilder::Options shape(const std::string &name)
{
    UvcDescriptorBuilder::Options options;
    EXPECT_TRUE(UvcDescriptorBuilder::variant(name, options)) << name;
    return options;
}

} // namespace

namespace {

// A camera of a shape served to a test host.
struct ServedCamera
{
    explicit ServedCamera(const std::vector<uint8_t> &bytes, EmulatedUvcCamera::Options o = {})
    {
        o.configuration = bytes;
        o.minimumFrameInterval = 0;
        camera = std::make_unique<EmulatedUvcCamera>(o);
        int pair[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        EXPECT_EQ(camera->serveSocket(pair[0]), 0) << camera->configurationError();
        host = std::make_unique<Host>(pair[1]);
    }
    ~ServedCamera()
    {
        camera->unplug();
        host.reset();
    }
    // A control request; the reply.
    Host::Reply request(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                        uint16_t length, const std::vector<uint8_t> &out = {})
    {
        const bool in = type & USB_DIR_IN;
        host->submit(++seqnum, in, 0, setup(type, request, value, index, length), length, out);
        return host->next(in);
    }
    std::unique_ptr<EmulatedUvcCamera> camera;
    std::unique_ptr<Host> host;
    uint32_t seqnum = 0;
};

} // namespace

// Probe and commit carry as many bytes as the UVC version has, for every query uvcvideo
// makes; a shorter SET_CUR (the 1.0 fields) is taken.
TEST(EmulatedUvcCamera, ProbeAndCommitAreSizedByTheUvcVersion)
{
    struct Case
    {
        uint16_t bcdUvc;
        size_t size;
    };
    for (const Case &c : {Case{0x0100, 26}, Case{0x0110, 34}, Case{0x0150, 48}}) {
        SCOPED_TRACE(c.bcdUvc);
        UvcDescriptorBuilder::Options o;
        o.bcdUvc = c.bcdUvc;
        ServedCamera served(UvcDescriptorBuilder::configuration(o));
        const uint16_t probe = UVC_VS_PROBE_CONTROL << 8;
        const uint16_t commit = UVC_VS_COMMIT_CONTROL << 8;
        EXPECT_EQ(served.request(0xA1, UVC_GET_LEN, probe, 1, 2).data,
                  (std::vector<uint8_t>{static_cast<uint8_t>(c.size), 0}));
        EXPECT_EQ(served.request(0xA1, UVC_GET_INFO, probe, 1, 1).data, std::vector<uint8_t>{3});
        for (const uint8_t query : {UVC_GET_CUR, UVC_GET_MIN, UVC_GET_MAX, UVC_GET_DEF}) {
            SCOPED_TRACE(static_cast<int>(query));
            const auto reply = served.request(0xA1, query, probe, 1, 64);
            EXPECT_EQ(reply.status, 0);
            EXPECT_EQ(reply.data.size(), c.size);
        }
        std::vector<uint8_t> wanted(26, 0);
        wanted[2] = 2; // MJPEG
        wanted[3] = 3; // 1600 x 1200
        EXPECT_EQ(served.request(0x21, UVC_SET_CUR, probe, 1, 26, wanted).status, 0);
        const auto cur = served.request(0xA1, UVC_GET_CUR, probe, 1, 64).data;
        ASSERT_EQ(cur.size(), c.size);
        EXPECT_EQ(cur[2], 2);
        EXPECT_EQ(cur[3], 3);
        EXPECT_EQ(served.request(0x21, UVC_SET_CUR, commit, 1, 26, wanted).status, 0);
        EXPECT_EQ(served.camera->lastCommit(1)->frameIndex, 3);
        EXPECT_EQ(served.request(0xA1, UVC_GET_CUR, commit, 1, 64).data, cur);
        std::vector<uint8_t> tooLong(c.size + 1, 0);
        EXPECT_EQ(served
                      .request(0x21, UVC_SET_CUR, probe, 1, static_cast<uint16_t>(tooLong.size()),
                               tooLong)
                      .status,
                  -EPIPE);
    }
}

// Isochronous video: alternate setting 0 has no bandwidth, a chosen one streams frames in
// the host's packets, back to 0 the transfers wait, an unlinked one is never answered.
TEST(EmulatedUvcCamera, StreamsIsochronousPacketsOnTheChosenAlternateSetting)
{
    const auto bytes = UvcDescriptorBuilder::configuration(shape("uvc10-iso"));
    ServedCamera served(bytes);
    EXPECT_EQ(served.request(0x80, USB_REQ_GET_DESCRIPTOR, USB_DT_DEVICE << 8, 0, 18).data[4], 0xEF)
        << "composite: the configuration has an IAD";
    EXPECT_EQ(served.request(0x00, USB_REQ_SET_CONFIGURATION, 1, 0, 0).status, 0);
    EXPECT_EQ(served.request(0x81, USB_REQ_GET_INTERFACE, 0, 1, 1).data, std::vector<uint8_t>{0});
    EXPECT_EQ(served.request(0x01, USB_REQ_SET_INTERFACE, 7, 1, 0).status, -EPIPE)
        << "there are alternate settings 0..6";
    std::vector<uint8_t> wanted(26, 0);
    wanted[2] = 1; // YUYV
    wanted[3] = 1; // 160 x 120
    EXPECT_EQ(served.request(0x21, UVC_SET_CUR, UVC_VS_PROBE_CONTROL << 8, 1, 26, wanted).status,
              0);
    const auto probe = served.request(0xA1, UVC_GET_CUR, UVC_VS_PROBE_CONTROL << 8, 1, 26).data;
    ASSERT_EQ(probe.size(), 26u);
    EXPECT_EQ(le32(probe.data() + 22), 3072u) << "the largest packet: 1024 x 3";
    EXPECT_EQ(served.request(0x21, UVC_SET_CUR, UVC_VS_COMMIT_CONTROL << 8, 1, 26, wanted).status,
              0);

    // Alternate setting 0: the transfer waits.
    served.host->submitIso(100, 2, 32, 3072);
    EXPECT_EQ(served.host->next(true, 200).command, 0u);
    served.host->unlink(101, 100);
    auto reply = served.host->next();
    EXPECT_EQ(reply.command, 4u);
    EXPECT_EQ(reply.status, -ECONNRESET);
    EXPECT_EQ(served.camera->unlinks(), 1);

    // Alternate setting 2: packets of 512 bytes.
    EXPECT_EQ(served.request(0x01, USB_REQ_SET_INTERFACE, 2, 1, 0).status, 0);
    EXPECT_EQ(served.request(0x81, USB_REQ_GET_INTERFACE, 0, 1, 1).data, std::vector<uint8_t>{2});
    EXPECT_EQ(served.camera->alternateSetting(1), 2);
    std::vector<uint8_t> frame;
    bool ended = false;
    for (uint32_t seq = 200; seq < 300 && !ended; ++seq) {
        served.host->submitIso(seq, 2, 32, 512);
        reply = served.host->next();
        ASSERT_EQ(reply.command, 3u);
        ASSERT_EQ(reply.seqnum, seq);
        EXPECT_EQ(reply.startFrame, 77u);
        ASSERT_EQ(reply.packets.size(), 32u);
        size_t at = 0, total = 0;
        for (size_t i = 0; i < reply.packets.size(); ++i) {
            const auto &packet = reply.packets[i];
            EXPECT_EQ(packet.offset, i * 512);
            EXPECT_EQ(packet.length, 512u);
            EXPECT_LE(packet.actualLength, 512u);
            EXPECT_EQ(packet.status, 0);
            total += packet.actualLength;
            if (packet.actualLength == 0 || ended)
                continue;
            EXPECT_EQ(reply.data[at], 2);
            frame.insert(frame.end(), reply.data.begin() + static_cast<long>(at) + 2,
                         reply.data.begin() + static_cast<long>(at + packet.actualLength));
            ended = reply.data[at + 1] & 0x02;
            at += packet.actualLength;
        }
        EXPECT_EQ(total, reply.data.size()) << "actual_length is the packets' sum";
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(frame, UvcTestPattern::yuyv(160, 120, 0));
    EXPECT_EQ(served.camera->framesSent(1), 1u);

    // Back to the zero-bandwidth setting: transfers wait again.
    EXPECT_EQ(served.request(0x01, USB_REQ_SET_INTERFACE, 0, 1, 0).status, 0);
    served.host->submitIso(400, 2, 32, 512);
    EXPECT_EQ(served.host->next(true, 200).command, 0u);
}

// A declared format the camera cannot picture probes, but its commit stalls; the default
// probe is a format it pictures.
TEST(EmulatedUvcCamera, CommittingAFormatItCannotPictureStalls)
{
    ServedCamera served(UvcDescriptorBuilder::configuration(shape("frame-based")));
    const auto def = served.request(0xA1, UVC_GET_DEF, UVC_VS_PROBE_CONTROL << 8, 1, 34).data;
    ASSERT_EQ(def.size(), 34u);
    EXPECT_EQ(def[2], 1) << "YUYV";
    std::vector<uint8_t> wanted(34, 0);
    wanted[2] = 3; // H.264, frame-based
    wanted[3] = 2;
    EXPECT_EQ(served.request(0x21, UVC_SET_CUR, UVC_VS_PROBE_CONTROL << 8, 1, 34, wanted).status,
              0);
    EXPECT_EQ(served.request(0xA1, UVC_GET_CUR, UVC_VS_PROBE_CONTROL << 8, 1, 34).data[2], 3);
    EXPECT_EQ(served.request(0x21, UVC_SET_CUR, UVC_VS_COMMIT_CONTROL << 8, 1, 34, wanted).status,
              -EPIPE);
    EXPECT_FALSE(served.camera->lastCommit(1));
    wanted[2] = 2; // MJPEG commits
    EXPECT_EQ(served.request(0x21, UVC_SET_CUR, UVC_VS_COMMIT_CONTROL << 8, 1, 34, wanted).status,
              0);
}

// The units are served as the bytes declare them: a renumbered processing unit, an
// extension unit's controls, no processing unit at all; the device descriptor has the ids
// and the class the configuration asks for.
TEST(EmulatedUvcCamera, ServesTheUnitsAndIdsTheBytesDeclare)
{
    struct Case
    {
        const char *variant;
        uint8_t entity;
        uint8_t selector;
        int status;
        uint8_t length; // GET_LEN's answer when it succeeds
    };
    const Case cases[] = {
        {"extension-unit", 9, UVC_PU_BRIGHTNESS_CONTROL, 0, 2},
        {"extension-unit", 2, UVC_PU_BRIGHTNESS_CONTROL, -EPIPE, 0},
        {"extension-unit", UvcDescriptorBuilder::kExtensionUnitId, 1, 0, 2},
        {"extension-unit", UvcDescriptorBuilder::kExtensionUnitId, 3, 0, 2},
        {"extension-unit", UvcDescriptorBuilder::kExtensionUnitId, 4, -EPIPE, 0},
        {"no-processing-unit", 2, UVC_PU_BRIGHTNESS_CONTROL, -EPIPE, 0},
        {"no-processing-unit", 1, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 0, 4},
        {"default", 1, UVC_CT_AE_MODE_CONTROL, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.variant) + " entity " + std::to_string(c.entity) + " selector " +
                     std::to_string(c.selector));
        ServedCamera served(UvcDescriptorBuilder::configuration(shape(c.variant)));
        const auto reply = served.request(0xA1, UVC_GET_LEN, static_cast<uint16_t>(c.selector << 8),
                                          static_cast<uint16_t>(c.entity << 8), 2);
        EXPECT_EQ(reply.status, c.status);
        if (c.status == 0) {
            EXPECT_EQ(reply.data, (std::vector<uint8_t>{c.length, 0}));
        }
    }

    EmulatedUvcCamera::Options o;
    o.vendorId = 0x1871;
    o.productId = 0x0516;
    ServedCamera vendor(UvcDescriptorBuilder::configuration(shape("vendor-class")), o);
    const auto device =
        vendor.request(0x80, USB_REQ_GET_DESCRIPTOR, USB_DT_DEVICE << 8, 0, 18).data;
    ASSERT_EQ(device.size(), 18u);
    EXPECT_EQ(device[4], 0) << "no IAD: the interfaces give the class";
    EXPECT_EQ(device[8] | device[9] << 8, 0x1871);
    EXPECT_EQ(device[10] | device[11] << 8, 0x0516);
}

// vhci_hcd sends its submits before its unlinks, so a transfer queued and cancelled in
// between arrives unlink first: the unlink is answered once the submit comes, and the
// transfer itself never (an answer would name a transfer vhci_hcd has given back). An
// unlink of a transfer already answered gets status 0 at once.
TEST(EmulatedUvcCamera, AnUnlinkAheadOfItsSubmitIsAnsweredWhenTheSubmitComes)
{
    ServedCamera served(UvcDescriptorBuilder::configuration());
    EXPECT_EQ(served.request(0x80, USB_REQ_GET_STATUS, 0, 0, 2).status, 0); // seqnum 1
    served.host->unlink(50, 1);
    auto reply = served.host->next();
    EXPECT_EQ(reply.command, 4u);
    EXPECT_EQ(reply.seqnum, 50u);
    EXPECT_EQ(reply.status, 0) << "answered already";

    struct Case
    {
        const char *what;
        uint32_t endpoint;
        std::vector<uint8_t> setup;
    };
    const Case cases[] = {
        {"status endpoint", 1, {}},
        {"video endpoint", 2, {}},
        {"control request", 0, setup(0x80, USB_REQ_GET_DESCRIPTOR, USB_DT_DEVICE << 8, 0, 18)},
    };
    uint32_t seq = 100;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t transfer = seq++, cancel = seq++;
        served.host->unlink(cancel, transfer);
        EXPECT_EQ(served.host->next(true, 200).command, 0u) << "no answer before the submit";
        served.host->submit(transfer, true, c.endpoint, c.setup, 18);
        reply = served.host->next();
        EXPECT_EQ(reply.command, 4u);
        EXPECT_EQ(reply.seqnum, cancel);
        EXPECT_EQ(reply.status, -ECONNRESET);
        EXPECT_EQ(served.host->next(true, 200).command, 0u) << "the transfer is never answered";
    }
    EXPECT_EQ(served.camera->unlinks(), 3);
    // Later transfers are served as ever.
    served.seqnum = seq;
    EXPECT_EQ(served.request(0x80, USB_REQ_GET_STATUS, 0, 0, 2).data, (std::vector<uint8_t>{0, 0}));
}
