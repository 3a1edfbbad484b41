#include "platform/measure/PhotoAnnotation.h"
#include "platform/measure/PhotoAnnotationSlot.h"

#include "platform/camera/TestPatternRenderer.h"
#include "platform/measure/Calibration.h"
#include "platform/measure/OverlayPainter.h"
#include "platform/measure/ScaleBar.h"
#include "platform/media/JpegDecoder.h"
#include "platform/media/JpegEncoder.h"
#include "tests/support/PhotoChecks.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <cmath>
#include <thread>

#include <QJsonObject>

#include <gtest/gtest.h>

using varnolet::PhotoAnnotation;

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;

// The virtual camera's corner markers are kHeight - marker pixels apart (top edge to top
// edge); the test calls that 1 mm.
struct PatternPhoto
{
    std::vector<uint8_t> frame;
    int markerSpacing = 0;
};

PatternPhoto patternFrame()
{
    varnolet::TestPatternRenderer renderer;
    renderer.setSize(kWidth, kHeight);
    PatternPhoto photo;
    photo.frame.resize(size_t(kWidth) * kHeight * 3);
    renderer.render(1, "12:00:00.000", photo.frame.data());
    photo.markerSpacing = kHeight - renderer.markerSize();
    return photo;
}

std::shared_ptr<PhotoAnnotation> calibratedAnnotation(int markerSpacing)
{
    auto annotation = std::make_shared<PhotoAnnotation>();
    annotation->scene.pictureSize = QSize(kWidth, kHeight);
    annotation->scene.micrometresPerPixel =
        *varnolet::Calibration::fromLine(markerSpacing, 1.0, varnolet::LengthUnit::Millimetre);
    annotation->preset = "10\u00d7";
    annotation->burnIn = true;
    return annotation;
}

} // namespace

TEST(PhotoAnnotationTest, BurntInBarAndMetadataMatchTheCalibration)
{
    if (!varnolet::test::haveExiftool())
        GTEST_SKIP() << "exiftool is not installed (scripts/install-deps.sh installs it)";
    PatternPhoto photo = patternFrame();
    const auto annotation = calibratedAnnotation(photo.markerSpacing);
    const double perPixel = annotation->scene.micrometresPerPixel;
    const varnolet::ScaleBar bar = varnolet::ScaleBar::choose(perPixel, kWidth);
    ASSERT_TRUE(bar.calibrated);

    annotation->apply(photo.frame.data(), kWidth, kHeight);
    varnolet::JpegEncoder encoder(100);
    encoder.setScaleInfo(annotation->scaleInfo(kWidth, kHeight));
    varnolet::test::TempFolder folder;
    const std::string path = folder.file("photo.jpg");
    ASSERT_TRUE(encoder.save(path, photo.frame.data(), kWidth, kHeight).ok());

    // The bar as another program sees it: decoded, the white run along its middle.
    varnolet::JpegDecoder decoder;
    QImage image;
    ASSERT_TRUE(decoder.decodeFile(path, image).ok());
    const double text = varnolet::OverlayPainter::photoTextSize(kHeight);
    const int barMiddle = static_cast<int>(kHeight - text - std::max(3.0, text * 0.35) / 2);
    int runEnd = 0;
    const int run = varnolet::test::longestWhiteRun(image, barMiddle, &runEnd);
    EXPECT_NEAR(run, bar.pixels, 1.5);
    EXPECT_NEAR(runEnd, kWidth - text, 1.5);

    const QJsonObject tags = varnolet::test::exiftoolTags(path);
    ASSERT_FALSE(tags.isEmpty());
    const double pixelsPerCentimetre = 10000.0 / perPixel;
    EXPECT_NEAR(tags.value("IFD0:XResolution").toDouble(), pixelsPerCentimetre, 1e-3);
    EXPECT_NEAR(tags.value("IFD0:YResolution").toDouble(), pixelsPerCentimetre, 1e-3);
    EXPECT_EQ(tags.value("IFD0:ResolutionUnit").toInt(), 3);
    EXPECT_EQ(tags.value("JFIF:ResolutionUnit").toInt(), 2);
    EXPECT_EQ(tags.value("JFIF:XResolution").toInt(), std::lround(pixelsPerCentimetre));
    EXPECT_EQ(tags.value("JFIF:YResolution").toInt(), std::lround(pixelsPerCentimetre));
    EXPECT_EQ(tags.value("IFD0:ImageDescription").toString(),
              QString::fromStdString(varnolet::formatNumber(perPixel, 6)) +
                  QStringLiteral(" \u00b5m per pixel, preset 10\u00d7"));
}

TEST(PhotoAnnotationTest, ScaleFollowsThePhotoSizeAndNeedsTheSameShape)
{
    auto annotation = calibratedAnnotation(1000);
    annotation->scene.micrometresPerPixel = 1.0;
    const auto half = annotation->scaleInfo(800, 600);
    ASSERT_TRUE(half.has_value());
    EXPECT_DOUBLE_EQ(half->pixelsPerCentimetre, 5000.0); // 2 µm per pixel
    EXPECT_FALSE(annotation->scaleInfo(1280, 720).has_value());
    annotation->scene.micrometresPerPixel = 0.0;
    EXPECT_FALSE(annotation->scaleInfo(1600, 1200).has_value());
}

TEST(PhotoAnnotationTest, WithoutBurnInThePixelsStay)
{
    PatternPhoto photo = patternFrame();
    const std::vector<uint8_t> before = photo.frame;
    auto annotation = calibratedAnnotation(photo.markerSpacing);
    annotation->burnIn = false;
    annotation->apply(photo.frame.data(), kWidth, kHeight);
    EXPECT_EQ(photo.frame, before);
    annotation->burnIn = true;
    annotation->apply(photo.frame.data(), kWidth, kHeight);
    EXPECT_NE(photo.frame, before);
}

TEST(PhotoAnnotationTest, BurnsMeasurementsAtTheirPlaceForAnyRowLength)
{
    // An odd width: rows are not 4-byte aligned. A line across the middle of the picture,
    // drawn at the photo's own size, lands on the middle row of the bottom-up buffer.
    const int width = 321;
    const int height = 241;
    std::vector<uint8_t> frame(size_t(width) * height * 3, 0);
    PhotoAnnotation annotation;
    annotation.burnIn = true;
    annotation.scene.pictureSize = QSize(642, 482); // points at twice the photo's size
    annotation.scene.measurements.push_back(
        {varnolet::Measurement::Tool::Line, {{100, 100}, {500, 100}}});
    annotation.apply(frame.data(), width, height);
    const int bufferRow = height - 1 - 50; // picture row 50, counted from the bottom
    const uint8_t *pixel = frame.data() + (size_t(bufferRow) * width + 150) * 3;
    // The measuring colour (yellow: blue low, red and green high).
    EXPECT_GT(pixel[2], 150);
    EXPECT_GT(pixel[1], 120);
    EXPECT_LT(pixel[0], 60);
}

TEST(PhotoAnnotationSlotTest, SavingThreadsReadWhileTheWindowPublishes)
{
    varnolet::PhotoAnnotationSlot annotations;
    // A saving thread takes the current state for every photo while the window replaces it.
    std::atomic<bool> run{true};
    std::atomic<int> calibratedSeen{0};
    std::thread saver([&] {
        while (run) {
            const auto annotation = annotations.current();
            if (annotation && annotation->scaleInfo(kWidth, kHeight))
                ++calibratedSeen;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        auto annotation = calibratedAnnotation(1000 + i);
        annotations.publish(i % 2 ? nullptr : std::move(annotation));
    }
    // The last state stays until the saving thread has used it.
    annotations.publish(calibratedAnnotation(1000));
    EXPECT_TRUE(varnolet::test::processEventsUntil([&] { return calibratedSeen > 0; }));
    run = false;
    saver.join();
    annotations.publish(nullptr);
    EXPECT_EQ(annotations.current(), nullptr);
}
