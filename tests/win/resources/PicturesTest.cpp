// The pictures the programs load by file name: present (found the way the programs look
// them up), decodable, and of sizes and kinds their users can draw.
#include "ShippedData.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>

namespace {

std::string imagePath(const std::string &relative)
{
    const std::vector<std::string> found =
        ShippedData::findIgnoringCase(ShippedData::sourceFolder(), relative);
    EXPECT_EQ(found.size(), 1u) << relative << ": found " << found.size() << " times ignoring case";
    return found.empty() ? std::string() : found.front();
}

QImage load(const std::string &path)
{
    return QImage(QString::fromStdString(path));
}

struct ButtonPicture
{
    const char *file;
    double aspect; // width / height of the button it is drawn on
};

// The main window's image buttons; the Stop pictures are the running states of the
// timed-shot and recording buttons.
constexpr ButtonPicture kButtons[] = {
    {"Setting.png", 1.0},
    {"Help.png", 1.0},
    {"TakeAShot.png", 1.0},
    {"TimedShot.png", 1.0},
    {"StopTimedShot.png", 1.0},
    {"RecordingMovie.png", 1.0},
    {"StopRecordingMovie.png", 1.0},
    {"Exit.png", 1.0},
    {"FullScreen.png", 32.0 / 28.0},
};

TEST(PicturesTest, ButtonPicturesFitTheirButtons)
{
    QSize first;
    for (const ButtonPicture &button : kButtons) {
        SCOPED_TRACE(button.file);
        const QImage image = load(imagePath(std::string("Resource/Image/") + button.file));
        ASSERT_FALSE(image.isNull());
        EXPECT_GE(std::min(image.width(), image.height()), 48) << "too small to scale up cleanly";
        EXPECT_LE(std::max(image.width(), image.height()), 256);
        EXPECT_NEAR(double(image.width()) / image.height(), button.aspect, 0.02);
        // Drawn over the button's own face: transparent corners, solid middle.
        ASSERT_TRUE(image.hasAlphaChannel());
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0);
        EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
        if (button.aspect == 1.0) {
            if (first.isEmpty())
                first = image.size();
            EXPECT_EQ(image.size(), first) << "one size for the whole row";
        }
    }
}

TEST(PicturesTest, AboutBoxLogoIsAPlain24BitBitmap)
{
    // Looked up as the about box names it; file names match without regard to case.
    const std::string path = imagePath("Resource/image/log.bmp");
    const std::string bytes = ShippedData::readBytes(path);
    ASSERT_GE(bytes.size(), 54u);
    auto le32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    auto le16 = [&](std::size_t at) {
        std::uint16_t v = 0;
        std::memcpy(&v, bytes.data() + at, 2);
        return v;
    };
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(le32(2), bytes.size()) << "file size field";
    EXPECT_EQ(le32(14), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(le16(26), 1u) << "planes";
    EXPECT_EQ(le16(28), 24u) << "bits per pixel";
    EXPECT_EQ(le32(30), 0u) << "uncompressed";

    const QImage logo = load(path);
    ASSERT_FALSE(logo.isNull());
    EXPECT_GE(logo.width(), 200);
    EXPECT_GT(logo.width(), logo.height());
    EXPECT_EQ(le32(18), std::uint32_t(logo.width()));
    EXPECT_EQ(le32(22), std::uint32_t(logo.height())) << "bottom-up rows";
}

TEST(PicturesTest, MacLogoShowsTheSamePicture)
{
    const QImage bitmap =
        load(imagePath("Resource/Image/log.bmp")).convertToFormat(QImage::Format_RGB32);
    const QImage jpeg =
        load(ShippedData::macArtFolder() + "/log.jpg").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(bitmap.isNull());
    ASSERT_FALSE(jpeg.isNull());
    ASSERT_EQ(jpeg.size(), bitmap.size());
    double difference = 0;
    for (int y = 0; y < jpeg.height(); ++y) {
        for (int x = 0; x < jpeg.width(); ++x) {
            const QRgb a = jpeg.pixel(x, y);
            const QRgb b = bitmap.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b));
        }
    }
    EXPECT_LT(difference / (3.0 * jpeg.width() * jpeg.height()), 4.0)
        << "mean difference per channel";
}

TEST(PicturesTest, SmallSymbolsHaveTheirSizes)
{
    struct Symbol
    {
        std::string path;
        QSize size;
    };
    const Symbol symbols[] = {
        {imagePath("Resource/Image/Film.png"), {32, 32}},   // over movie thumbnails
        {imagePath("Resource/Image/Folder.png"), {16, 16}}, // folder tree
        {imagePath("Resource/Image/FolderOpen.png"), {16, 16}},
        {ShippedData::macArtFolder() + "/Player.png", {32, 32}}, // Mac movie badge
    };
    for (const Symbol &symbol : symbols) {
        SCOPED_TRACE(symbol.path);
        const QImage image = load(symbol.path);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), symbol.size);
        ASSERT_TRUE(image.hasAlphaChannel()) << "drawn over pictures and rows";
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    }
    const QImage icon = load(imagePath("Resource/Image/Varnolet.png"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.width(), icon.height());
    EXPECT_GE(icon.width(), 128);
}

// The splitter toggle strips: three pictures side by side, green (normal), red (pointer
// over the toggle) and grey (unused).
TEST(PicturesTest, ToggleStripsHoldGreenRedAndGreyArrows)
{
    struct Strip
    {
        const char *file;
        QSize size;
    };
    for (const Strip &strip :
         {Strip{"ToggleLeft.png", {24, 50}}, Strip{"ToggleRight.png", {24, 50}},
          Strip{"ToggleUp.png", {150, 8}}, Strip{"ToggleDown.png", {150, 8}}}) {
        SCOPED_TRACE(strip.file);
        const QImage image = load(imagePath(std::string("Resource/Image/") + strip.file))
                                 .convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.size(), strip.size);
        const int cell = image.width() / 3;
        for (int i = 0; i < 3; ++i) {
            // The most saturated pixel of the cell is the arrow's colour; for the grey
            // arrow, the darkest one.
            QColor arrow;
            int best = -1;
            int darkest = 256;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = i * cell; x < (i + 1) * cell; ++x) {
                    const QColor c = QColor::fromRgba(image.pixel(x, y));
                    if (c.alpha() < 200)
                        continue;
                    if (i < 2 && c.hsvSaturation() > best) {
                        best = c.hsvSaturation();
                        arrow = c;
                    }
                    if (i == 2 && c.value() < darkest) {
                        darkest = c.value();
                        arrow = c;
                    }
                }
            }
            ASSERT_TRUE(arrow.isValid()) << "cell " << i;
            if (i == 0) {
                EXPECT_GT(arrow.green(), arrow.red() + 60) << "cell 0 should be green";
            }
            if (i == 1) {
                EXPECT_GT(arrow.red(), arrow.green() + 60) << "cell 1 should be red";
            }
            if (i == 2) {
                EXPECT_LT(arrow.hsvSaturation(), 80) << "cell 2 should be grey";
                EXPECT_LT(arrow.value(), 200) << "cell 2 should show an arrow";
            }
        }
    }
}

TEST(PicturesTest, EveryDrawingIsShipped)
{
    namespace fs = std::filesystem;
    const std::string art = ShippedData::sourceFolder() + "/art";
    int drawings = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(art)) {
        if (entry.path().extension() != ".svg")
            continue;
        ++drawings;
        const std::string stem = entry.path().stem().string();
        const bool shipped =
            fs::exists(ShippedData::sourceFolder() + "/Resource/Image/" + stem + ".png") ||
            fs::exists(ShippedData::sourceFolder() + "/Resource/Image/" + stem + ".bmp") ||
            fs::exists(ShippedData::macArtFolder() + "/" + stem + ".png");
        EXPECT_TRUE(shipped) << stem << ".svg has no rendered picture";
    }
    EXPECT_GE(drawings, 17);
}

} // namespace
