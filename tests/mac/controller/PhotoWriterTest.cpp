#include <gtest/gtest.h>

#include <sys/stat.h>

#include "mac/controller/PhotoWriter.h"
#include "platform/media/JpegDecoder.h"
#include "tests/mac/controller/MacTestFrames.h"
#include "tests/support/TestSupport.h"

#include <QDir>

using varnolet::test::TempFolder;

TEST(PhotoWriterTest, WritesAJpegOfTheFrameAtFullQuality)
{
    TempFolder folder;
    PhotoWriter writer;
    const auto frame = mactest::makeFrame(640, 480, 2);
    const std::string path = folder.file("S20240305_001.jpg");
    ASSERT_EQ(writer.writeJpeg(*frame, path), 0);

    varnolet::JpegDecoder decoder;
    varnolet::BgrImage decoded;
    const std::string bytes = varnolet::test::readFile(path);
    ASSERT_TRUE(
        decoder.decode(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), decoded, true)
            .ok());
    EXPECT_EQ(decoded.width, 640);
    EXPECT_EQ(decoded.height, 480);
    // Quality 100: the pixels come back within a few levels.
    int worst = 0;
    for (size_t i = 0; i < decoded.pixels.size(); i += 997)
        worst = std::max(worst, std::abs(decoded.pixels[i] - frame->pixels[i]));
    EXPECT_LE(worst, 8);
}

TEST(PhotoWriterTest, FailedWriteLeavesNothingAndAnExistingPhotoIsKept)
{
    TempFolder folder;
    PhotoWriter writer;
    const auto frame = mactest::makeFrame(64, 48);
    EXPECT_NE(writer.writeJpeg(*frame, folder.file("missing/photo.jpg")), 0);
    EXPECT_FALSE(varnolet::test::fileExists(folder.file("missing/photo.jpg")));

    const std::string existing = folder.write("taken.jpg", "earlier photo");
    EXPECT_EQ(writer.writeJpeg(*frame, existing), EEXIST);
    EXPECT_EQ(varnolet::test::readFile(existing), "earlier photo");

    varnolet::BgrImage empty;
    EXPECT_EQ(writer.writeJpeg(empty, folder.file("empty.jpg")), EINVAL);
    EXPECT_FALSE(varnolet::test::fileExists(folder.file("empty.jpg")));
    // Nothing else (no temporary file) was left in the folder.
    EXPECT_EQ(
        QDir(QString::fromStdString(folder.path())).entryList(QDir::Files | QDir::Hidden).size(),
        1);
}
