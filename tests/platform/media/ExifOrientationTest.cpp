#include "platform/media/ExifOrientation.h"

#include "ExifBlock.h"

#include <gtest/gtest.h>

#include <QColor>

#include "platform/media/JpegDecoder.h"
#include "platform/media/JpegEncoder.h"

using varnolet::ExifOrientation;
using varnolet::test::exifSegment;
using varnolet::test::withExif;

namespace {

std::vector<uint8_t> smallJpeg()
{
    std::vector<uint8_t> bgr(16 * 8 * 3, 128);
    varnolet::JpegEncoder encoder;
    EXPECT_TRUE(encoder.encode(bgr.data(), 16, 8).ok());
    return std::vector<uint8_t>(encoder.data(), encoder.data() + encoder.size());
}

// A 3 × 2 picture whose pixels are told apart by their red value 10 * (x + 3 * y).
QImage numbered()
{
    QImage image(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, qRgb(10 * (x + 3 * y), 0, 0));
    return image;
}

int at(const QImage &image, int x, int y)
{
    return qRed(image.pixel(x, y)) / 10;
}

} // namespace

TEST(ExifOrientationTest, ReadsTheTagInEitherByteOrderAndSkipsOtherTags)
{
    const std::vector<uint8_t> jpeg = smallJpeg();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const auto intel = withExif(jpeg, orientation, false);
        const auto motorola = withExif(jpeg, orientation, true);
        EXPECT_EQ(ExifOrientation::fromJpeg(intel.data(), intel.size()), orientation);
        EXPECT_EQ(ExifOrientation::fromJpeg(motorola.data(), motorola.size()), orientation);
    }
    // The picture still decodes with the segment in place.
    const auto rotated = withExif(jpeg, 6);
    QImage image;
    EXPECT_TRUE(varnolet::JpegDecoder().decode(rotated.data(), rotated.size(), image).ok());
    EXPECT_EQ(image.size(), QSize(16, 8));
}

TEST(ExifOrientationTest, MissingDamagedOrOddBlocksAnswerUpright)
{
    const std::vector<uint8_t> jpeg = smallJpeg();
    EXPECT_EQ(ExifOrientation::fromJpeg(jpeg.data(), jpeg.size()), 1);
    const auto noTag = withExif(jpeg, 0);
    EXPECT_EQ(ExifOrientation::fromJpeg(noTag.data(), noTag.size()), 1);
    const auto outOfRange = withExif(jpeg, 9);
    EXPECT_EQ(ExifOrientation::fromJpeg(outOfRange.data(), outOfRange.size()), 1);
    // Cut inside the segment at every length: never read beyond, never a wrong value.
    const auto whole = withExif(jpeg, 6);
    const size_t segmentEnd = 2 + exifSegment(6, false).size();
    for (size_t cut = 0; cut < segmentEnd; ++cut)
        EXPECT_EQ(ExifOrientation::fromJpeg(whole.data(), cut), 1) << cut;
    EXPECT_EQ(ExifOrientation::fromJpeg(nullptr, 0), 1);
    const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_EQ(ExifOrientation::fromJpeg(png, sizeof png), 1);
    // A directory offset pointing outside the block.
    auto badOffset = withExif(jpeg, 6);
    badOffset[2 + 4 + 6 + 4] = 0xF0;
    EXPECT_EQ(ExifOrientation::fromJpeg(badOffset.data(), badOffset.size()), 1);
}

TEST(ExifOrientationTest, TurnsThePictureUprightForEachOrientation)
{
    const QImage image = numbered(); // 0 1 2 / 3 4 5
    EXPECT_EQ(ExifOrientation::applied(image, 1), image);
    EXPECT_EQ(ExifOrientation::applied(image, 0), image);

    const QImage mirrored = ExifOrientation::applied(image, 2);
    EXPECT_EQ(at(mirrored, 0, 0), 2);
    EXPECT_EQ(at(mirrored, 2, 1), 3);
    const QImage half = ExifOrientation::applied(image, 3);
    EXPECT_EQ(at(half, 0, 0), 5);
    EXPECT_EQ(at(half, 2, 1), 0);
    const QImage flipped = ExifOrientation::applied(image, 4);
    EXPECT_EQ(at(flipped, 0, 0), 3);

    // Quarter turns swap the sides: 2 wide, 3 high.
    const QImage transposed = ExifOrientation::applied(image, 5);
    ASSERT_EQ(transposed.size(), QSize(2, 3));
    EXPECT_EQ(at(transposed, 0, 0), 0);
    EXPECT_EQ(at(transposed, 1, 0), 3);
    EXPECT_EQ(at(transposed, 0, 2), 2);
    const QImage clockwise = ExifOrientation::applied(image, 6);
    ASSERT_EQ(clockwise.size(), QSize(2, 3));
    EXPECT_EQ(at(clockwise, 0, 0), 3);
    EXPECT_EQ(at(clockwise, 1, 0), 0);
    EXPECT_EQ(at(clockwise, 1, 2), 2);
    const QImage transversed = ExifOrientation::applied(image, 7);
    EXPECT_EQ(at(transversed, 0, 0), 5);
    EXPECT_EQ(at(transversed, 1, 2), 0);
    const QImage anticlockwise = ExifOrientation::applied(image, 8);
    ASSERT_EQ(anticlockwise.size(), QSize(2, 3));
    EXPECT_EQ(at(anticlockwise, 0, 0), 2);
    EXPECT_EQ(at(anticlockwise, 0, 2), 0);
    EXPECT_EQ(at(anticlockwise, 1, 2), 3);
}
