#include "platform/media/JpegDecoder.h"
#include "platform/media/JpegEncoder.h"
#include "tests/platform/media/TestFrames.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include <QImage>

using namespace varnolet;
using varnolet::test::makeTestFrame;

namespace {

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 180 && qBlue(pixel) < 70 && qGreen(pixel) < 70;
}
bool isBlue(QRgb pixel)
{
    return qBlue(pixel) > 180 && qRed(pixel) < 70 && qGreen(pixel) < 70;
}

size_t filesIn(const std::string &folder)
{
    size_t count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

TEST(Jpeg, SavedPhotoIsUprightAtFullSize)
{
    test::TempFolder folder;
    const auto frame = makeTestFrame(640, 480, 10); // bar at x 80..87
    JpegEncoder encoder;
    const std::string path = folder.file("photo.jpg");
    ASSERT_TRUE(encoder.save(path, frame.data(), 640, 480).ok());

    JpegDecoder decoder;
    QImage image;
    ASSERT_TRUE(decoder.decodeFile(path, image).ok());
    ASSERT_EQ(image.size(), QSize(640, 480));
    EXPECT_TRUE(isRed(image.pixel(300, 10))) << "top of the picture must be the top of the file";
    EXPECT_TRUE(isBlue(image.pixel(300, 470)));
    EXPECT_GT(qGreen(image.pixel(83, 240)), 180);
    EXPECT_LT(qGreen(image.pixel(120, 240)), 70);
    EXPECT_EQ(filesIn(folder.path()), 1u) << "no temporary file left beside the photo";
}

TEST(Jpeg, ExistingFileIsKeptUnlessOverwriteIsAsked)
{
    test::TempFolder folder;
    const std::string path = folder.write("photo.jpg", "precious");
    const auto frame = makeTestFrame(64, 48);
    JpegEncoder encoder;
    const ImageResult kept = encoder.save(path, frame.data(), 64, 48);
    EXPECT_EQ(kept.status, ImageStatus::SystemError);
    EXPECT_EQ(kept.systemError, EEXIST);
    EXPECT_EQ(test::readFile(path), "precious");

    EXPECT_TRUE(encoder.save(path, frame.data(), 64, 48, AtomicFile::Mode::Overwrite).ok());
    EXPECT_NE(test::readFile(path), "precious");
    EXPECT_EQ(filesIn(folder.path()), 1u);
}

TEST(Jpeg, FailuresGiveStatusValues)
{
    const auto frame = makeTestFrame(64, 48);
    JpegEncoder encoder;
    EXPECT_EQ(encoder.encode(nullptr, 64, 48).status, ImageStatus::InvalidParameter);
    EXPECT_EQ(encoder.encode(frame.data(), 0, 48).status, ImageStatus::InvalidParameter);

    test::TempFolder folder;
    const ImageResult missing =
        encoder.save(folder.file("no/such/folder/x.jpg"), frame.data(), 64, 48);
    EXPECT_EQ(missing.status, ImageStatus::SystemError);
    EXPECT_EQ(missing.systemError, ENOENT);

    JpegDecoder decoder;
    const std::string garbage = "this is not a picture at all";
    QImage image;
    EXPECT_EQ(
        decoder.decode(reinterpret_cast<const uint8_t *>(garbage.data()), garbage.size(), image)
            .status,
        ImageStatus::UnknownImageFormat);
    EXPECT_TRUE(image.isNull());
    EXPECT_EQ(decoder.decodeFile(folder.file("absent.jpg"), image).status,
              ImageStatus::FileNotFound);
}

TEST(Jpeg, ScaledDecodePicksSmallestCoveringScale)
{
    int w = 0;
    int h = 0;
    JpegDecoder::scaledSize(1600, 1200, 200, 150, w, h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 150);
    JpegDecoder::scaledSize(1600, 1200, 300, 300, w, h); // needs 0.1875 → 1/4
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 300);
    JpegDecoder::scaledSize(640, 480, 2000, 2000, w, h); // never enlarged
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    JpegDecoder::scaledSize(640, 480, 0, 0, w, h);
    EXPECT_EQ(w, 640);

    const auto frame = makeTestFrame(1600, 1200);
    JpegEncoder encoder;
    ASSERT_TRUE(encoder.encode(frame.data(), 1600, 1200).ok());
    JpegDecoder decoder;
    QImage image;
    ASSERT_TRUE(decoder.decode(encoder.data(), encoder.size(), image, 300, 300).ok());
    EXPECT_EQ(image.size(), QSize(400, 300));
    EXPECT_TRUE(isRed(image.pixel(200, 5)));
    EXPECT_TRUE(isBlue(image.pixel(200, 295)));

    BgrImage bgr;
    ASSERT_TRUE(decoder.decode(encoder.data(), encoder.size(), bgr, true, 200, 150).ok());
    EXPECT_EQ(bgr.width, 200);
    EXPECT_EQ(bgr.height, 150);
    EXPECT_TRUE(bgr.bottomUp);
    // First row in memory is the bottom (blue) row.
    EXPECT_GT(bgr.pixels[3 * 100], 180);
    EXPECT_LT(bgr.pixels[3 * 100 + 2], 70);
    EXPECT_TRUE(isRed(bgr.toQImage().pixel(100, 2)));
}
