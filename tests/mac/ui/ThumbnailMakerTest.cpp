#include <gtest/gtest.h>

#include "BrowserFiles.h"
#include "mac/browser/DirectoryListing.h"
#include "mac/browser/ThumbnailMaker.h"
#include "tests/platform/media/ExifBlock.h"
#include "tests/support/TestSupport.h"

using browsertest::isBlue;
using browsertest::isRed;
using browsertest::makeJpeg;
using browsertest::writeBytes;
using varnolet::test::TempFolder;

namespace {

// Where the red quarter of the quartered picture ended up.
enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight };
Corner redCorner(const QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    if (isRed(image.pixel(w / 4, h / 4)))
        return Corner::TopLeft;
    if (isRed(image.pixel(3 * w / 4, h / 4)))
        return Corner::TopRight;
    if (isRed(image.pixel(w / 4, 3 * h / 4)))
        return Corner::BottomLeft;
    return Corner::BottomRight;
}

} // namespace

TEST(ThumbnailMakerTest, PhotosShrinkToAHundredOnTheLongerSideAndStayUpright)
{
    TempFolder folder;
    ThumbnailMaker maker;
    writeBytes(folder.file("wide.jpg"), makeJpeg(640, 480));
    writeBytes(folder.file("tall.jpg"), makeJpeg(480, 640));
    writeBytes(folder.file("big.jpg"), makeJpeg(2592, 1944));
    writeBytes(folder.file("small.jpg"), makeJpeg(64, 48));

    const QImage wide = maker.imageThumbnail(folder.file("wide.jpg"));
    EXPECT_EQ(wide.size(), QSize(100, 75));
    EXPECT_EQ(redCorner(wide), Corner::TopLeft);
    EXPECT_TRUE(isBlue(wide.pixel(90, 70)));
    EXPECT_EQ(maker.imageThumbnail(folder.file("tall.jpg")).size(), QSize(75, 100));
    EXPECT_EQ(maker.imageThumbnail(folder.file("big.jpg")).size(), QSize(100, 75));
    // Never enlarged.
    EXPECT_EQ(maker.imageThumbnail(folder.file("small.jpg")).size(), QSize(64, 48));
}

TEST(ThumbnailMakerTest, ExifOrientationTurnsTheThumbnail)
{
    TempFolder folder;
    ThumbnailMaker maker;
    const std::vector<uint8_t> jpeg = makeJpeg(640, 480);
    const struct
    {
        int orientation;
        QSize size;
        Corner red;
    } cases[] = {
        {1, {100, 75}, Corner::TopLeft},  {3, {100, 75}, Corner::BottomRight},
        {6, {75, 100}, Corner::TopRight}, {8, {75, 100}, Corner::BottomLeft},
        {2, {100, 75}, Corner::TopRight}, {5, {75, 100}, Corner::TopLeft},
    };
    for (const auto &c : cases) {
        const std::string path = folder.file("o" + std::to_string(c.orientation) + ".jpg");
        writeBytes(path, varnolet::test::withExif(jpeg, c.orientation, c.orientation % 2 == 0));
        const QImage thumbnail = maker.imageThumbnail(path);
        EXPECT_EQ(thumbnail.size(), c.size) << c.orientation;
        EXPECT_EQ(redCorner(thumbnail), c.red) << c.orientation;
    }
}

TEST(ThumbnailMakerTest, OtherPicturesGoThroughQtByTheirContent)
{
    TempFolder folder;
    ThumbnailMaker maker;
    writeBytes(folder.file("shot.png"), browsertest::makePng(300, 200));
    // A PNG saved under a JPEG name still shows: the content decides.
    writeBytes(folder.file("misnamed.jpg"), browsertest::makePng(200, 300));
    const QImage png = maker.imageThumbnail(folder.file("shot.png"));
    EXPECT_EQ(png.size(), QSize(100, 67));
    EXPECT_EQ(redCorner(png), Corner::TopLeft);
    EXPECT_EQ(maker.imageThumbnail(folder.file("misnamed.jpg")).size(), QSize(67, 100));
}

TEST(ThumbnailMakerTest, UnreadableFilesGiveNoThumbnail)
{
    TempFolder folder;
    ThumbnailMaker maker;
    folder.write("notes.jpg.txt", "shopping list: slides, cover glasses\n");
    folder.write("empty.jpg", "");
    std::vector<uint8_t> cut = makeJpeg(640, 480);
    cut.resize(40);
    writeBytes(folder.file("cut.jpg"), cut);
    EXPECT_TRUE(maker.imageThumbnail(folder.file("notes.jpg.txt")).isNull());
    EXPECT_TRUE(maker.imageThumbnail(folder.file("empty.jpg")).isNull());
    EXPECT_TRUE(maker.imageThumbnail(folder.file("cut.jpg")).isNull());
    EXPECT_TRUE(maker.imageThumbnail(folder.file("missing.jpg")).isNull());
    EXPECT_TRUE(maker.imageThumbnail(folder.path()).isNull());
}

TEST(ThumbnailMakerTest, MoviesShowTheirFirstFrame)
{
    TempFolder folder;
    ThumbnailMaker maker;
    browsertest::writeMovie(folder.file("M20240305_001.mov"), 320, 240, 3);
    const QImage frame = maker.movieThumbnail(folder.file("M20240305_001.mov"));
    EXPECT_EQ(frame.size(), QSize(100, 75));
    EXPECT_EQ(redCorner(frame), Corner::TopLeft);

    folder.write("zero.mov", "");
    folder.write("garbage.mov", std::string(4096, 'x'));
    EXPECT_TRUE(maker.movieThumbnail(folder.file("zero.mov")).isNull());
    EXPECT_TRUE(maker.movieThumbnail(folder.file("garbage.mov")).isNull());
    EXPECT_TRUE(maker.movieThumbnail(folder.file("missing.mov")).isNull());
}

TEST(DirectoryListingTest, NamesComeInSavingOrder)
{
    const std::vector<std::string> expected = {
        "000",
        "001",
        "999",
        "1000",
        "M20240305_001.mov",
        "S20240305_999.jpg",
        "S20240305_1000.jpg",
        "SingleShot0999.jpg",
        "SingleShot1000.jpg",
        "SingleShot10000.jpg",
        "a1",
        "a01",
        "b",
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FALSE(DirectoryListing::namesInOrder(expected[i], expected[i]));
        for (size_t j = i + 1; j < expected.size(); ++j) {
            EXPECT_TRUE(DirectoryListing::namesInOrder(expected[i], expected[j]))
                << expected[i] << " before " << expected[j];
            EXPECT_FALSE(DirectoryListing::namesInOrder(expected[j], expected[i]));
        }
    }
    // Case counts: capitals first, as byte values go.
    EXPECT_TRUE(DirectoryListing::namesInOrder("Zebra", "apple"));

    TempFolder folder;
    for (const char *name : {"SingleShot1000.jpg", "SingleShot0999.jpg", "001", "000"})
        folder.write(name, "x");
    const auto names = DirectoryListing::contentsOfDirectory(folder.path());
    ASSERT_TRUE(names);
    EXPECT_EQ(*names,
              (std::vector<std::string>{"000", "001", "SingleShot0999.jpg", "SingleShot1000.jpg"}));
    EXPECT_FALSE(DirectoryListing::contentsOfDirectory(folder.file("missing")));
    bool link = true;
    EXPECT_FALSE(DirectoryListing::isDirectory(folder.file("000"), &link));
    EXPECT_FALSE(link);
    EXPECT_TRUE(DirectoryListing::isDirectory(folder.path()));
}
