#include "platform/thumbnail/ThumbnailProtocol.h"

#include <gtest/gtest.h>

using namespace varnolet;

namespace {

ThumbnailRequest box(int width, int height)
{
    ThumbnailRequest request;
    request.container = MovieContainer::QuickTime;
    request.fit = FrameFit{width, height};
    return request;
}

std::vector<uint8_t> reply(const ThumbnailReplyHeader &header, size_t payload)
{
    const auto head = ThumbnailProtocol::encodeReplyHeader(header);
    std::vector<uint8_t> bytes(head.begin(), head.end());
    bytes.resize(bytes.size() + payload, 0x42);
    return bytes;
}

} // namespace

TEST(ThumbnailProtocol, RequestsRoundTripAndOddOnesAreRefused)
{
    const ThumbnailRequest sent = box(100, 75);
    const auto bytes = ThumbnailProtocol::encodeRequest(sent);
    ThumbnailRequest got;
    ASSERT_TRUE(ThumbnailProtocol::decodeRequest(bytes.data(), bytes.size(), got));
    EXPECT_EQ(got.container, MovieContainer::QuickTime);
    EXPECT_EQ(got.fit.maxWidth, 100);
    EXPECT_EQ(got.fit.maxHeight, 75);

    struct Case
    {
        const char *what;
        size_t at;
        uint8_t value;
    };
    for (const Case &c : {Case{"magic", 0, 'X'}, Case{"container", 4, 2}, Case{"width 0", 8, 0},
                          Case{"height beyond the largest box", 14, 1}}) {
        auto broken = bytes;
        broken[c.at] = c.value;
        if (c.at == 8)
            broken[9] = 0;
        EXPECT_FALSE(ThumbnailProtocol::decodeRequest(broken.data(), broken.size(), got)) << c.what;
    }
    EXPECT_FALSE(ThumbnailProtocol::decodeRequest(bytes.data(), bytes.size() - 1, got));
}

TEST(ThumbnailProtocol, ReplyHeadersMustFitTheRequest)
{
    struct Case
    {
        const char *what;
        ThumbnailReplyHeader header;
        bool accepted;
    };
    const Case cases[] = {
        {"a picture inside the box and its source", {0, 640, 480, 100, 75}, true},
        {"a source smaller than the box, kept", {0, 40, 30, 40, 30}, true},
        {"a failure without sizes", {-22, 0, 0, 0, 0}, true},
        {"a failure with sizes", {-22, 640, 480, 100, 75}, false},
        {"a positive status", {3, 640, 480, 100, 75}, false},
        {"wider than the box", {0, 640, 480, 101, 75}, false},
        {"higher than the box", {0, 640, 480, 100, 76}, false},
        {"larger than its source", {0, 50, 30, 60, 30}, false},
        {"no width", {0, 640, 480, 0, 75}, false},
        {"a source beyond the largest frame", {0, 16385, 480, 100, 3}, false},
        {"a negative width", {0, 640, 480, -1, 75}, false},
    };
    for (const Case &c : cases) {
        const auto bytes = ThumbnailProtocol::encodeReplyHeader(c.header);
        ThumbnailReplyHeader got;
        EXPECT_EQ(
            ThumbnailProtocol::decodeReplyHeader(bytes.data(), bytes.size(), box(100, 75), got),
            c.accepted)
            << c.what;
        if (c.accepted) {
            EXPECT_EQ(got.status, c.header.status) << c.what;
            EXPECT_EQ(got.payloadBytes(),
                      static_cast<size_t>(
                          c.header.status == 0 ? c.header.width * c.header.height * 3 : 0))
                << c.what;
        }
    }
    auto bad = ThumbnailProtocol::encodeReplyHeader({0, 640, 480, 100, 75});
    bad[3] = '2';
    ThumbnailReplyHeader got;
    EXPECT_FALSE(ThumbnailProtocol::decodeReplyHeader(bad.data(), bad.size(), box(100, 75), got));
}

TEST(ThumbnailProtocol, AWholeReplyCarriesExactlyItsRows)
{
    const ThumbnailReplyHeader header{0, 64, 48, 8, 6};
    struct Case
    {
        size_t payload;
        bool accepted;
    };
    for (const Case &c : {Case{8 * 6 * 3, true}, Case{8 * 6 * 3 - 1, false},
                          Case{8 * 6 * 3 + 1, false}, Case{0, false}}) {
        const auto bytes = reply(header, c.payload);
        ThumbnailReplyHeader got;
        BgrImage picture;
        EXPECT_EQ(
            ThumbnailProtocol::decodeReply(bytes.data(), bytes.size(), box(8, 6), got, picture),
            c.accepted)
            << c.payload;
        if (c.accepted) {
            EXPECT_EQ(picture.width, 8);
            EXPECT_EQ(picture.height, 6);
            EXPECT_FALSE(picture.bottomUp);
            EXPECT_EQ(picture.pixels.size(), c.payload);
        } else {
            EXPECT_TRUE(picture.isEmpty());
        }
    }
    const auto failure = reply({-5, 0, 0, 0, 0}, 0);
    ThumbnailReplyHeader got;
    BgrImage picture;
    EXPECT_FALSE(
        ThumbnailProtocol::decodeReply(failure.data(), failure.size(), box(8, 6), got, picture));
    EXPECT_EQ(got.status, -5);
}
