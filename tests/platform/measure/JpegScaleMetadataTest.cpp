#include "platform/media/JpegScaleMetadata.h"

#include "platform/media/ExifOrientation.h"
#include "platform/media/JpegDecoder.h"
#include "platform/media/JpegEncoder.h"

#include <cstring>

#include <gtest/gtest.h>

using varnolet::JpegEncoder;
using varnolet::JpegScaleInfo;
using varnolet::JpegScaleMetadata;

namespace {

std::vector<uint8_t> grey(int width, int height)
{
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i * 7);
    return frame;
}

std::vector<uint8_t> encode(JpegEncoder &encoder, const std::vector<uint8_t> &frame, int w, int h)
{
    EXPECT_TRUE(encoder.encode(frame.data(), w, h).ok());
    return std::vector<uint8_t>(encoder.data(), encoder.data() + encoder.size());
}

} // namespace

struct RationalCase
{
    double value;
    uint32_t numerator;
    uint32_t denominator;
};

class RationalTest : public ::testing::TestWithParam<RationalCase>
{
};

TEST_P(RationalTest, IsReducedAndFitsIn32Bits)
{
    uint32_t numerator = 0;
    uint32_t denominator = 0;
    JpegScaleMetadata::rational(GetParam().value, numerator, denominator);
    EXPECT_EQ(numerator, GetParam().numerator);
    EXPECT_EQ(denominator, GetParam().denominator);
}

INSTANTIATE_TEST_SUITE_P(Values, RationalTest,
                         ::testing::Values(RationalCase{4000.0, 4000, 1}, RationalCase{12.5, 25, 2},
                                           RationalCase{10000.0 / 3.0, 3333333333u, 1000000},
                                           RationalCase{1e9, 1000000000, 1},
                                           RationalCase{0.0, 0, 1}));

TEST(JpegScaleMetadataTest, PhotosWithoutScaleStayAsTheLibraryWritesThem)
{
    const std::vector<uint8_t> frame = grey(64, 48);
    JpegEncoder plain(100);
    JpegEncoder scaled(100);
    scaled.setScaleInfo(JpegScaleInfo{4000.0, "x"});
    scaled.setScaleInfo(std::nullopt);
    EXPECT_EQ(encode(plain, frame, 64, 48), encode(scaled, frame, 64, 48));
}

TEST(JpegScaleMetadataTest, ScaleSetsTheJfifDensityAndAddsExifAfterIt)
{
    const std::vector<uint8_t> frame = grey(64, 48);
    JpegEncoder plain(100);
    JpegEncoder scaled(100);
    scaled.setScaleInfo(JpegScaleInfo{4000.4, "2.5 \u00b5m per pixel, preset 10\u00d7"});
    const std::vector<uint8_t> before = encode(plain, frame, 64, 48);
    const std::vector<uint8_t> after = encode(scaled, frame, 64, 48);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after[13], 2); // dots per centimetre
    EXPECT_EQ((after[14] << 8) | after[15], 4000);
    EXPECT_EQ((after[16] << 8) | after[17], 4000);
    EXPECT_EQ(after[20], 0xFF);
    EXPECT_EQ(after[21], 0xE1);
    EXPECT_EQ(std::memcmp(after.data() + 24, "Exif\0\0II*\0", 10), 0);
    // Everything after the JFIF segment is the library's output, unchanged.
    const size_t exifLength = 2 + ((size_t(after[22]) << 8) | after[23]);
    ASSERT_EQ(after.size(), before.size() + exifLength);
    EXPECT_TRUE(std::equal(before.begin() + 20, before.end(), after.begin() + 20 + exifLength));
    // Readers of the Exif block still find their way through it, and the picture decodes.
    EXPECT_EQ(varnolet::ExifOrientation::fromJpeg(after.data(), after.size()), 1);
    varnolet::JpegDecoder decoder;
    QImage image;
    ASSERT_TRUE(decoder.decode(after.data(), after.size(), image).ok());
    EXPECT_EQ(image.size(), QSize(64, 48));
}

TEST(JpegScaleMetadataTest, RefusesBytesWithoutJfifAndScalesWithoutValue)
{
    const std::vector<uint8_t> notJfif = {0xFF, 0xD8, 0xFF, 0xE1, 0, 16, 'E', 'x', 'i', 'f',  0,
                                          0,    0,    0,    0,    0, 0,  0,   0,   0,   0xFF, 0xD9};
    EXPECT_FALSE(JpegScaleMetadata::apply(notJfif.data(), notJfif.size(), JpegScaleInfo{100, ""}));
    const std::vector<uint8_t> frame = grey(16, 16);
    JpegEncoder plain(100);
    const std::vector<uint8_t> jpeg = encode(plain, frame, 16, 16);
    EXPECT_FALSE(JpegScaleMetadata::apply(jpeg.data(), jpeg.size(), JpegScaleInfo{0.0, ""}));
    EXPECT_FALSE(JpegScaleMetadata::apply(jpeg.data(), 19, JpegScaleInfo{100.0, ""}));
}
