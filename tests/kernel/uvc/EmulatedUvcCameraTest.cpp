// The emulated camera itself, without a kernel: its descriptors, its picture through the
// programs' frame converter, and its USB/IP answers with the test playing the host.
#include "tests/kernel/uvc/EmulatedUvcCamera.h"
#include "tests/kernel/uvc/UvcConfiguration.h"
#include "tests/kernel/uvc/UvcDescriptorBuilder.h"
#include "tests/kernel/uvc/UvcTestPattern.h"

#include "platform/camera/FrameConverter.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <linux/usb/ch9.h>
#include <linux/usb/video.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace varnolet;
using namespace varnolet::test;

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

    auto bytes = UvcDescriptorBuilder::configuration();
    bytes.resize(bytes.size() - 3); // the last descriptor runs past the end
    EXPECT_FALSE(UvcConfiguration::parse(bytes, error));
    EXPECT_NE(error.find("runs past the end"), std::string::npos);
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
        std::vector<uint8_t> data;
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
        if (reply.command == 3 && in && length) {
            reply.data.resize(length);
            if (::recv(m_fd, reply.data.data(), length, MSG_WAITALL) !=
                static_cast<ssize_t>(length))
                reply.command = 0;
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
