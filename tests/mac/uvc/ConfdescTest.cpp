#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "mac/uvc/UVCResolutionList.h"
#include "mac/uvc/confdesc.h"
#include "tests/mac/uvc/DescriptorBuilder.h"

namespace {

// Parses the bytes while capturing what the parser writes to standard output.
std::string parse(confdesc &parser, const std::vector<uint8_t> &bytes)
{
    testing::internal::CaptureStdout();
    parser.initConfdesc(bytes.data(), static_cast<uint16_t>(bytes.size()));
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

size_t count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::vector<std::string> sizes(const UVCResolutionList &list)
{
    std::vector<std::string> texts;
    for (const CaptureResolution &r : list.getPixelsArray())
        texts.push_back(r.getPixelFormatString());
    return texts;
}

DescriptorBuilder videoControl()
{
    DescriptorBuilder b;
    b.interface(0, 0, 0x01)
        .vcHeader(0x0100, 48000000)
        .inputTerminal(1, 0x00000A)
        .processingUnit(2, 0x001F)
        .outputTerminal(3)
        .endpoint(0x83, 0x03, 16);
    return b;
}

} // namespace

TEST(ConfdescTest, MjpegFirstThenUncompressed)
{
    DescriptorBuilder b = videoControl();
    b.interface(1, 0, 0x02)
        .inputHeader(2, 1, {0x00, 0x04})
        .mjpegFormat(1, 1)
        .frame(1, 1280, 720, {333333}, 0x07)
        .uncompressedFormat(2, 2, 16)
        .frame(1, 640, 480, {333333, 666666})
        .frame(2, 320, 240, {333333})
        .colorFormat(1, 1, 4);
    const std::vector<uint8_t> bytes = b.bytes();
    confdesc parser;
    const std::string out = parse(parser, bytes);
    EXPECT_EQ(out, ""); // nothing written with tracing off

    EXPECT_EQ(parser.vdc(), 0x0100);
    EXPECT_EQ(parser.terminal_unit_id(), 1);
    EXPECT_EQ(parser.input_terminal_controls(), 0x0Au);
    EXPECT_EQ(parser.processing_unit_id(), 2);
    EXPECT_EQ(parser.processing_unit_controls(), 0x1F);
    EXPECT_TRUE(parser.mIsSupportHandwareTrigger());
    ASSERT_EQ(parser.num_formats(), 2);
    const video_format_t *mjpeg = parser.getAt(0);
    const video_format_t *yuv = parser.getAt(1);
    EXPECT_EQ(parser.getAt(2), nullptr);
    EXPECT_EQ(parser.getAt(-1), nullptr);
    EXPECT_EQ(mjpeg->format_number, 1);
    EXPECT_EQ(mjpeg->format_controls, 0x00);
    EXPECT_EQ(mjpeg->bFormatIndex, 0);
    EXPECT_TRUE(mjpeg->frames.empty());
    EXPECT_EQ(yuv->format_number, 2);
    EXPECT_EQ(yuv->format_controls, 0x04);
    EXPECT_EQ(yuv->bFormatIndex, 2);
    EXPECT_EQ(yuv->bBitsPerPixel, 16);
    ASSERT_EQ(yuv->frames.size(), 2u);
    const video_frame_t *first = yuv->frames[0].video_frame_t();
    EXPECT_EQ(first->wWidth, 640);
    EXPECT_EQ(first->wHeight, 480);
    EXPECT_EQ(first->bFrameIntervalType, 2);
    EXPECT_EQ(first->intervals, (std::vector<uint32_t>{333333, 666666}));
    EXPECT_EQ(first->dwDefaultFrameInterval, 333333u);
    EXPECT_EQ(first->dwMaxVideoFrameBufferSize, 640u * 480 * 2);
    EXPECT_EQ(yuv->frames[0].video_format_t(), nullptr); // one record per holder
    ASSERT_NE(yuv->color_matching, nullptr);
    EXPECT_EQ(yuv->color_matching->bMatrixCoefficients, 4);

    UVCResolutionList list;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(list.getMaxResolution(bytes.data(), bytes.size()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(sizes(list), (std::vector<std::string>{"320X240", "640X480"}));
}

TEST(ConfdescTest, UncompressedAsFirstOfTwoAttachesFramesToTheLastRecord)
{
    DescriptorBuilder b = videoControl();
    b.interface(1, 0, 0x02)
        .inputHeader(2, 0, {0x00, 0x00})
        .uncompressedFormat(1, 2)
        .frame(1, 640, 480, {333333})
        .frame(2, 320, 240, {333333})
        .mjpegFormat(2, 1)
        .frame(1, 1280, 720, {333333}, 0x07);
    confdesc parser;
    parse(parser, b.bytes());
    ASSERT_EQ(parser.num_formats(), 2);
    EXPECT_EQ(parser.getAt(0)->bFormatIndex, 1);
    EXPECT_TRUE(parser.getAt(0)->frames.empty());
    EXPECT_EQ(parser.getAt(1)->frames.size(), 2u);
    EXPECT_FALSE(parser.mIsSupportHandwareTrigger());

    UVCResolutionList list;
    const std::vector<uint8_t> bytes = b.bytes();
    EXPECT_FALSE(list.getMaxResolution(bytes.data(), bytes.size()));
    EXPECT_EQ(sizes(list), (std::vector<std::string>{"320X240", "640X480"}));
}

TEST(ConfdescTest, ContinuousIntervalsAreKeptButNotListed)
{
    DescriptorBuilder b;
    b.interface(1, 0, 0x02)
        .inputHeader(1, 0)
        .uncompressedFormat(1, 2)
        .continuousFrame(1, 800, 600, 333333, 2000000, 333333)
        .frame(2, 640, 480, {333333});
    const std::vector<uint8_t> bytes = b.bytes();
    confdesc parser;
    parse(parser, bytes);
    ASSERT_EQ(parser.num_formats(), 1);
    const video_frame_t *frame = parser.getAt(0)->frames.at(0).video_frame_t();
    EXPECT_EQ(frame->bFrameIntervalType, 0);
    EXPECT_EQ(frame->dwMinFrameInterval, 333333u);
    EXPECT_EQ(frame->dwMaxFrameInterval, 2000000u);
    EXPECT_EQ(frame->dwFrameIntervalStep, 333333u);
    EXPECT_TRUE(frame->intervals.empty());

    UVCResolutionList list;
    testing::internal::CaptureStdout();
    list.getMaxResolution(bytes.data(), bytes.size());
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Continuus FPS unsupported for now :(\n");
    EXPECT_EQ(sizes(list), (std::vector<std::string>{"640X480"}));
}

TEST(ConfdescTest, EndpointsOfEveryAlternateSetting)
{
    DescriptorBuilder b = videoControl();
    b.interface(1, 0, 0x02)
        .inputHeader(1, 0)
        .uncompressedFormat(1, 1)
        .frame(1, 640, 480, {333333})
        .interface(1, 1, 0x02)
        .endpoint(0x81, 0x05, 128)
        .interface(1, 2, 0x02)
        .endpoint(0x81, 0x05, 512)
        .endpoint(0x82, 0x02, 4096)
        .interface(1, 3, 0x02)
        .endpoint(0x01, 0x05, 3000)
        .endpoint(0x81, 0x01, 1024);
    confdesc parser;
    parse(parser, b.bytes());
    ASSERT_EQ(parser.stream_eps().size(), 3u); // bulk, OUT and interrupt endpoints are left out
    EXPECT_EQ(parser.stream_eps()[0].stream_ep_t()->alternate, 1);
    EXPECT_EQ(parser.stream_eps()[1].stream_ep_t()->wMaxPacketSize, 512);
    EXPECT_EQ(parser.stream_eps()[2].stream_ep_t()->alternate, 3);
    EXPECT_EQ(parser.stream_eps()[2].stream_ep_t()->bEndpointAddress, 0x81);
    EXPECT_EQ(parser.alternate_for_size(0), 1);  // 128 > 64
    EXPECT_EQ(parser.alternate_for_size(64), 2); // 128 is not > 128
    EXPECT_EQ(parser.alternate_for_size(900), 3);
    EXPECT_EQ(parser.alternate_for_size(960), 0xFF); // 1024 is not > 1024
    EXPECT_EQ(parser.alternate_for_size(0xFFFFFFF0u), 0xFF);
    EXPECT_EQ(parser.num_formats(), 1);
}

TEST(ConfdescTest, TwoInputHeadersAndBadFormatIndexes)
{
    DescriptorBuilder b;
    b.interface(1, 0, 0x02)
        .inputHeader(1, 0)
        .uncompressedFormat(0, 1)
        .uncompressedFormat(2, 1)
        .uncompressedFormat(1, 1, 12)
        .frame(1, 640, 480, {333333})
        .interface(2, 0, 0x02)
        .inputHeader(2, 1)
        .uncompressedFormat(3, 1, 24)
        .frame(1, 160, 120, {333333});
    confdesc parser;
    const std::string out = parse(parser, b.bytes());
    EXPECT_EQ(count(out, "ARGH! This should not happen\n"), 1u);
    EXPECT_EQ(count(out, "Unexpected format!\n"), 2u);
    ASSERT_EQ(parser.num_formats(), 3);
    EXPECT_EQ(parser.getAt(0)->bBitsPerPixel, 12);
    EXPECT_EQ(parser.getAt(1)->format_number, 1); // numbering restarts per header
    EXPECT_EQ(parser.getAt(2)->bFormatIndex, 3);
    EXPECT_EQ(parser.getAt(2)->bBitsPerPixel, 24);
    EXPECT_EQ(parser.getAt(2)->frames.size(), 1u);
    EXPECT_TRUE(parser.mIsSupportHandwareTrigger()); // the last header seen
}

TEST(ConfdescTest, DescriptorsBeforeAnyInputHeader)
{
    DescriptorBuilder b;
    b.interface(1, 0, 0x02)
        .uncompressedFormat(1, 1)
        .frame(1, 640, 480, {333333})
        .interface(0, 0, 0x01)
        .vcHeader(0x0110, 1)
        .interface(2, 0, 0x07);
    confdesc parser;
    const std::string out = parse(parser, b.bytes());
    EXPECT_EQ(out, "ARGH! SHOULD not happen\nunexpected sub-class\n");
    EXPECT_EQ(parser.num_formats(), 0);
    // The walk went on past the stopped interface and read the VideoControl one.
    EXPECT_EQ(parser.vdc(), 0x0110);
}

TEST(ConfdescTest, NoVideoInterfaceLeavesEverythingEmpty)
{
    DescriptorBuilder b;
    b.interface(0, 0, 0x01, 0x03).endpoint(0x81, 0x03, 8).raw({0x24, 0x24, 0x01, 0x00});
    confdesc parser;
    parse(parser, b.bytes());
    EXPECT_EQ(parser.num_formats(), 0);
    EXPECT_TRUE(parser.stream_eps().empty());
    EXPECT_EQ(parser.vdc(), 0);
    EXPECT_EQ(parser.terminal_unit_id(), 0);
    EXPECT_FALSE(parser.mIsSupportHandwareTrigger());
}

TEST(ConfdescTest, BrokenLengthsEndTheWalkInsideTheBuffer)
{
    // Trailing bytes, a zero bLength, a descriptor past the end.
    for (const std::vector<uint8_t> &tail :
         {std::vector<uint8_t>{0x05}, std::vector<uint8_t>{0x05, 0x24},
          std::vector<uint8_t>{0x00, 0x24, 0x05, 0, 0, 0},
          std::vector<uint8_t>{0x40, 0x24, 0x05, 1, 0}}) {
        DescriptorBuilder b;
        b.interface(1, 0, 0x02)
            .inputHeader(1, 0)
            .uncompressedFormat(1, 1)
            .frame(1, 640, 480, {333333});
        std::vector<uint8_t> bytes = b.bytes();
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        // An exactly sized heap copy, so that a read past its end is caught by sanitizers.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), copy.get());
        confdesc parser;
        parser.initConfdesc(copy.get(), static_cast<uint16_t>(bytes.size()));
        ASSERT_EQ(parser.num_formats(), 1);
        EXPECT_EQ(parser.getAt(0)->frames.size(), 1u);
    }

    // A frame descriptor cut short: the intervals it cannot hold are not invented.
    DescriptorBuilder b;
    b.interface(1, 0, 0x02)
        .inputHeader(1, 0)
        .uncompressedFormat(1, 1)
        .raw({30, 0x24, 0x05, 1, 0, 0x80, 0x02, 0xE0, 0x01, 0, 0,   0,    0,    0,    0,
              0,  0,    0,    0, 0, 0,    0,    0,    0,    0, 200, 0x15, 0x16, 0x05, 0x00});
    confdesc parser;
    parse(parser, b.bytes());
    const video_frame_t *frame = parser.getAt(0)->frames.at(0).video_frame_t();
    EXPECT_EQ(frame->bFrameIntervalType, 200);
    EXPECT_EQ(frame->intervals, (std::vector<uint32_t>{0x00051615}));

    // wTotalLength larger than the bytes read: only the bytes there are parsed.
    UVCResolutionList list;
    std::vector<uint8_t> bytes = b.bytes();
    bytes[2] = 0xFF;
    bytes[3] = 0xFF;
    testing::internal::CaptureStdout();
    list.getMaxResolution(bytes.data(), bytes.size());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(sizes(list), (std::vector<std::string>{"640X480"}));
    EXPECT_FALSE(list.getMaxResolution(bytes.data(), 3));
    EXPECT_TRUE(list.getPixelsArray().empty());
}

TEST(ConfdescTest, InputTerminalControlsStayInsideTheDescriptor)
{
    DescriptorBuilder b;
    // bControlSize 3; the next descriptor's bLength (9) must not become bits 24..31.
    b.interface(0, 0, 0x01).inputTerminal(1, 0x060003).outputTerminal(3);
    confdesc parser;
    parse(parser, b.bytes());
    EXPECT_EQ(parser.input_terminal_controls(), 0x060003u);
}

TEST(ConfdescTest, VerboseTraceTables)
{
    DescriptorBuilder b = videoControl();
    b.interface(1, 1, 0x02).endpoint(0x81, 0x05, 128);
    very_verbose = true;
    confdesc parser;
    const std::string out = parse(parser, b.bytes());
    very_verbose = false;
    EXPECT_NE(out.find("*** VIDEO interface\nprocessing video control...\n"), std::string::npos);
    EXPECT_NE(out.find("VC Header: 0x0100, 48000000\n"), std::string::npos);
    EXPECT_NE(out.find("-- INPUT TERMINAL -----------------------------\n"), std::string::npos);
    EXPECT_NE(out.find("Auto-Exposure Mode:\tyes\nAuto-Exposure Priority:\tno\nExposure Time "
                       "(Absolute):\tyes\n"),
              std::string::npos);
    EXPECT_NE(out.find("Roll (Relative):\tno\nFocus, Auto:\tno\nPrivacy:\tno\n"),
              std::string::npos);
    EXPECT_NE(
        out.find("-- PROCESSING UNIT ----------------------------\n"
                 "-----------------------------------------------\nSIZE: 2\nBrightness:\tyes\n"),
        std::string::npos);
    EXPECT_NE(out.find("Gamma:\tno\n"), std::string::npos);
    EXPECT_NE(out.find("Reserved(11) is zero:\tyes\n"), std::string::npos);
    EXPECT_NE(out.find("* got 0x24/0x05\n"), std::string::npos);
    EXPECT_NE(out.find("* Useful EP @0x81 (alt=1), rate=128\n"), std::string::npos);
}

TEST(ConfdescTest, SortedInsertion)
{
    UVCResolutionList list;
    for (auto [w, h] : {std::pair{640, 480}, {320, 240}, {1280, 1024}, {800, 600}})
        list.addCaptureResolutionByDes(CaptureResolution(w, h));
    EXPECT_EQ(sizes(list),
              (std::vector<std::string>{"320X240", "640X480", "800X600", "1280X1024"}));

    UVCResolutionList other;
    other.addCaptureResolutionByDes(CaptureResolution(640, 480));
    other.addCaptureResolutionByDes(CaptureResolution(800, 400));
    EXPECT_EQ(sizes(other), (std::vector<std::string>{"800X400", "640X480"}));
    list.addCaptureResolutionByDes(CaptureResolution(800, 600)); // equal sizes are both kept
    EXPECT_EQ(sizes(list),
              (std::vector<std::string>{"320X240", "640X480", "800X600", "800X600", "1280X1024"}));
}
