// The emulated camera's parts without a socket: its configuration parser on malformed,
// made-up and real cameras' bytes, the ids it takes, and isochronous packets.
#include "tests/kernel/uvc/UvcConfiguration.h"
#include "tests/kernel/uvc/UvcDescriptorBuilder.h"
#include "tests/kernel/uvc/UvcDeviceIds.h"
#include "tests/kernel/uvc/UvcPayloadWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

#include <linux/usb/ch9.h>

using namespace varnolet::test;

namespace {

std::vector<uint8_t> withTotalLength(std::vector<uint8_t> bytes)
{
    bytes[2] = static_cast<uint8_t>(bytes.size());
    bytes[3] = static_cast<uint8_t>(bytes.size() >> 8);
    return bytes;
}

UvcDescriptorBuilder::Options shape(const std::string &name)
{
    UvcDescriptorBuilder::Options options;
    EXPECT_TRUE(UvcDescriptorBuilder::variant(name, options)) << name;
    return options;
}

} // namespace

// Malformed bytes are refused with the offset of the descriptor at fault.
TEST(UvcDescriptors, MalformedConfigurationsAreRefusedWithTheOffset)
{
    const std::vector<uint8_t> good = UvcDescriptorBuilder::configuration();
    struct Case
    {
        const char *what;
        std::vector<uint8_t> bytes;
        const char *message;
    };
    std::vector<uint8_t> zero = good;
    zero[9] = 0; // the interface association's length
    std::vector<uint8_t> pastEnd = good;
    pastEnd.resize(pastEnd.size() - 3);
    pastEnd = withTotalLength(pastEnd);
    std::vector<uint8_t> longLength = good;
    longLength[17] = 200; // the VideoControl interface descriptor claims 200 bytes
    longLength.resize(17 + 100);
    longLength = withTotalLength(longLength);
    std::vector<uint8_t> shortTotal = good;
    shortTotal.pop_back();
    const std::vector<Case> cases = {
        {"zero length", zero, "descriptor at offset 9 has length 0"},
        {"cut in the last descriptor", pastEnd, "runs past the end"},
        {"length past the end", longLength, "descriptor at offset 17 (length 200) runs past"},
        {"wTotalLength not the size", shortTotal, "wTotalLength is"},
        {"not a configuration",
         {9, USB_DT_DEVICE, 9, 0, 0, 0, 0, 0, 0},
         "not a configuration descriptor"},
        {"no VideoControl", {9, USB_DT_CONFIG, 9, 0, 0, 1, 0, 0x80, 50}, "no VideoControl"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        EXPECT_FALSE(UvcConfiguration::parse(c.bytes, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

// Every shape of the builder parses as built: class, version, units, endpoints, formats.
TEST(UvcDescriptors, TheShapesParseAsBuilt)
{
    struct Case
    {
        const char *variant;
        uint16_t bcdUvc;
        size_t probe;
        bool vendorClass;
        bool iso;
        size_t alternates;
        uint32_t maxPacket;
        uint8_t processingUnit;
        size_t units;
        size_t formats;
        uint8_t status;
        bool trigger;
    };
    const Case cases[] = {
        {"default", 0x0110, 34, false, false, 0, 0, 2, 2, 2, 0x81, true},
        {"uvc10-iso", 0x0100, 26, false, true, 6, 3072, 2, 2, 2, 0x81, true},
        {"uvc15", 0x0150, 48, false, true, 2, 3072, 2, 2, 2, 0x81, true},
        {"vendor-class", 0x0100, 26, true, true, 3, 3072, 2, 2, 1, 0x81, true},
        {"mjpeg-5mp", 0x0110, 34, false, true, 2, 3072, 2, 2, 1, 0x81, true},
        {"frame-based", 0x0110, 34, false, true, 6, 3072, 2, 2, 3, 0x81, true},
        {"no-processing-unit", 0x0110, 34, false, false, 0, 0, 0, 1, 2, 0x81, true},
        {"extension-unit", 0x0110, 34, false, false, 0, 0, 9, 3, 2, 0x81, true},
        {"still-frames", 0x0100, 26, false, true, 6, 3072, 2, 2, 2, 0x81, true},
        {"status-no-trigger", 0x0110, 34, false, false, 0, 0, 2, 2, 2, 0x81, false},
        {"no-button", 0x0110, 34, false, false, 0, 0, 2, 2, 2, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variant);
        std::string error;
        const auto config =
            UvcConfiguration::parse(UvcDescriptorBuilder::configuration(shape(c.variant)), error);
        ASSERT_TRUE(config) << error;
        EXPECT_EQ(config->bcdUvc, c.bcdUvc);
        EXPECT_EQ(config->probeSize(), c.probe);
        EXPECT_EQ(config->vendorClass, c.vendorClass);
        EXPECT_EQ(config->interfaceAssociation, !c.vendorClass);
        EXPECT_EQ(config->processingUnitId, c.processingUnit);
        EXPECT_EQ(config->units.size(), c.units);
        EXPECT_EQ(config->statusEndpoint, c.status);
        ASSERT_EQ(config->streaming.size(), 1u);
        const auto &s = config->streaming.front();
        EXPECT_EQ(s.isochronous, c.iso);
        EXPECT_EQ(s.alternates.size(), c.alternates);
        EXPECT_EQ(s.maxPacketBytes(), c.maxPacket);
        EXPECT_EQ(s.formats.size(), c.formats);
        EXPECT_EQ(s.triggerSupport, c.trigger);
        EXPECT_EQ(s.endpoint, 0x82);
    }
}

TEST(UvcDescriptors, FrameIntervalsDiscreteAndContinuous)
{
    std::string error;
    const auto config =
        UvcConfiguration::parse(UvcDescriptorBuilder::configuration(shape("uvc15")), error);
    ASSERT_TRUE(config) << error;
    const auto &frame = config->streaming.front().formats.front().frames.front();
    EXPECT_TRUE(frame.intervals.empty());
    EXPECT_EQ(frame.minInterval, 333333u);
    EXPECT_EQ(frame.maxInterval, 1999998u);
    struct Case
    {
        uint32_t wanted, got;
    };
    for (const Case &c : {Case{0, 333333}, Case{1, 333333}, Case{666666, 666666},
                          Case{700000, 666666}, Case{5000000, 1999998}}) {
        SCOPED_TRACE(c.wanted);
        EXPECT_EQ(frame.closestInterval(c.wanted), c.got);
    }
    const auto discrete = UvcConfiguration::parse(UvcDescriptorBuilder::configuration(), error);
    const auto &d = discrete->streaming.front().formats.front().frames.front();
    for (const Case &c : {Case{0, 333333}, Case{666666, 666666}, Case{700000, 333333}}) {
        SCOPED_TRACE(c.wanted);
        EXPECT_EQ(d.closestInterval(c.wanted), c.got);
    }
}

TEST(UvcDeviceIds, FromTheCommandLineAndFromFileNames)
{
    struct Case
    {
        const char *text;
        bool fileName;
        std::optional<std::pair<uint16_t, uint16_t>> ids;
    };
    const std::vector<Case> cases = {
        {"046d:0825", false, std::pair{0x046d, 0x0825}},
        {"1871:0516", false, std::pair{0x1871, 0x0516}},
        {"ABCD:ef01", false, std::pair{0xABCD, 0xEF01}},
        {"46d:0825", false, std::nullopt},
        {"046d-0825", false, std::nullopt},
        {"046d:08251", false, std::nullopt},
        {"046g:0825", false, std::nullopt},
        {"046d-0825.bin", true, std::pair{0x046d, 0x0825}},
        {"/some/folder/1871-0516-vendor-class.bin", true, std::pair{0x1871, 0x0516}},
        {"291A-3369-x.bin", true, std::pair{0x291A, 0x3369}},
        {"291a-3369-.bin", true, std::nullopt},
        {"1871-0516vendor.bin", true, std::nullopt},
        {"uvc15.bin", true, std::nullopt},
        {"046d-0825.txt", true, std::nullopt},
        {"046d:0825.bin", true, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const auto ids =
            c.fileName ? UvcDeviceIds::fromFileName(c.text) : UvcDeviceIds::parse(c.text);
        ASSERT_EQ(ids.has_value(), c.ids.has_value());
        if (ids) {
            EXPECT_EQ(ids->vendorId, c.ids->first);
            EXPECT_EQ(ids->productId, c.ids->second);
        }
    }
    EXPECT_EQ((UvcDeviceIds{0x046D, 0x08C2}.text()), "046d:08c2");
}

// A frame cut into isochronous packets: each starts with its own header, none is larger
// than the packet size, the bytes after the headers are the frame, EOF ends it and later
// packets stay empty.
TEST(UvcPayloadWriter, CutsAFrameIntoIsochronousPackets)
{
    struct Case
    {
        size_t frameBytes;
        uint32_t packetLength; // the host's room per packet
        size_t maxPacket;      // the alternate setting's packet size
        size_t packets;
    };
    const Case cases[] = {
        {1000, 3072, 3072, 4}, {10000, 3072, 3060, 8}, {6000, 1024, 1000, 32},
        {3, 3, 3, 4},          {1, 3072, 3072, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.frameBytes) + " bytes, packets of " +
                     std::to_string(c.maxPacket));
        std::vector<uint8_t> picture(c.frameBytes);
        for (size_t i = 0; i < picture.size(); ++i)
            picture[i] = static_cast<uint8_t>(i * 7);
        UvcPayloadWriter writer;
        writer.start(picture, true);
        std::vector<uint8_t> frame;
        bool ended = false;
        while (!ended) {
            std::vector<UvcPayloadWriter::IsoPacket> packets(c.packets);
            for (size_t i = 0; i < packets.size(); ++i)
                packets[i] = {static_cast<uint32_t>(i * c.packetLength), c.packetLength, 0, 0};
            const std::vector<uint8_t> bytes = writer.fillIso(packets, c.maxPacket);
            size_t at = 0;
            for (const auto &packet : packets) {
                ASSERT_LE(packet.actualLength, std::min<size_t>(c.packetLength, c.maxPacket));
                if (ended) {
                    EXPECT_EQ(packet.actualLength, 0u) << "a packet after the end of the frame";
                    continue;
                }
                ASSERT_GE(packet.actualLength, 3u);
                EXPECT_EQ(bytes[at], 2);
                EXPECT_EQ(bytes[at + 1] & 0x81, 0x81) << "EOH and FID";
                frame.insert(frame.end(), bytes.begin() + static_cast<long>(at) + 2,
                             bytes.begin() + static_cast<long>(at + packet.actualLength));
                ended = bytes[at + 1] & 0x02;
                at += packet.actualLength;
            }
            EXPECT_EQ(at, bytes.size()) << "the packets' bytes lie back to back";
            if (!ended) {
                EXPECT_TRUE(writer.inFrame());
            }
        }
        EXPECT_FALSE(writer.inFrame());
        EXPECT_EQ(frame, picture);
    }
}

// The real cameras' descriptors of the corpus parse into what their bytes say.
TEST(UvcDescriptors, RealCamerasOfTheCorpus)
{
    struct Case
    {
        const char *file;
        uint16_t bcdUvc;
        size_t alternates;
        uint32_t maxPacket;
        std::vector<UvcConfiguration::Encoding> formats;
    };
    using E = UvcConfiguration::Encoding;
    const std::vector<Case> cases = {
        {"046d-0825.bin", 0x0100, 11, 3060, {E::Yuyv, E::Mjpeg}},
        {"0c45-6340.bin", 0x0100, 6, 3072, {E::Yuyv}},
        {"064e-a102.bin", 0x0100, 6, 3072, {E::Yuyv}},
        {"291a-3369.bin", 0x0110, 1, 2048, {E::Mjpeg, E::Yuyv, E::Other}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        std::ifstream file(std::string(VARNOLET_KERNEL_DESCRIPTORS) + "/" + c.file,
                           std::ios::binary);
        const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
        std::string error;
        const auto config = UvcConfiguration::parse(bytes, error);
        ASSERT_TRUE(config) << error;
        EXPECT_EQ(config->bcdUvc, c.bcdUvc);
        ASSERT_EQ(config->streaming.size(), 1u) << "the audio function is not video";
        const auto &s = config->streaming.front();
        EXPECT_TRUE(s.isochronous);
        EXPECT_EQ(s.alternates.size(), c.alternates);
        EXPECT_EQ(s.maxPacketBytes(), c.maxPacket);
        std::vector<E> encodings;
        for (const auto &f : s.formats) {
            encodings.push_back(f.encoding);
            EXPECT_FALSE(f.frames.empty());
        }
        EXPECT_EQ(encodings, c.formats);
    }
}
