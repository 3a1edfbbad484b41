// The scale bar and measuring tools on VarnoletWin's live picture, end to end: calibrating
// on the virtual camera's picture, measuring, and photos that carry the scale.
#include "MainViewerTestSupport.h"

#include "platform/camera/TestPatternRenderer.h"
#include "platform/measure/OverlayPainter.h"
#include "platform/measure/ScaleBar.h"
#include "platform/measure/PhotoAnnotation.h"
#include "platform/media/JpegDecoder.h"
#include "platform/widgets/CalibrationDialog.h"
#include "platform/widgets/MeasureController.h"
#include "platform/widgets/MeasureOverlay.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PhotoChecks.h"
#include "win/app/CPictureArea.h"
#include "win/app/CPictureMeasure.h"
#include "win/app/CXPStyleButtonST.h"
#include "win/app/CPreviewWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonObject>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using apptest::filesIn;
using apptest::MainViewerFixture;
using varnolet::Measurement;
using varnolet::test::processEventsFor;
using varnolet::test::processEventsUntil;

namespace {

varnolet::MeasureOverlay *overlayOf(const CMainViewerDlg &window)
{
    return window.PreviewWindow()->PictureArea()->findChild<varnolet::MeasureOverlay *>();
}

void clickPicture(varnolet::MeasureOverlay *overlay, const QPointF &picture)
{
    QTest::mouseClick(overlay, Qt::LeftButton, {}, overlay->fromPicture(picture).toPoint());
}

QAction *menuAction(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// Draws the calibration line from the top-left marker's top edge to the bottom-left
// marker's top edge (markers are markerSize() apart from the frame's edges) and says 1 mm.
double calibrateOnMarkers(varnolet::MeasureOverlay *overlay, int width, int height)
{
    varnolet::TestPatternRenderer pattern;
    pattern.setSize(width, height);
    const double spacing = height - pattern.markerSize();
    std::unique_ptr<QMenu> menu(overlay->buildMenu(nullptr));
    QAction *calibrate = menuAction(menu.get(), QStringLiteral("Calibrate..."));
    EXPECT_NE(calibrate, nullptr);
    if (!calibrate)
        return 0.0;
    calibrate->trigger();
    clickPicture(overlay, QPointF(4, 0));
    clickPicture(overlay, QPointF(4, spacing));
    varnolet::CalibrationDialog *dialog = nullptr;
    processEventsUntil([&] {
        dialog = overlay->findChild<varnolet::CalibrationDialog *>();
        return dialog != nullptr;
    });
    EXPECT_NE(dialog, nullptr);
    if (!dialog)
        return 0.0;
    dialog->lengthBox()->setValue(1.0);
    dialog->unitBox()->setCurrentIndex(1);
    dialog->presetBox()->setCurrentText(QStringLiteral("10x"));
    dialog->accept();
    return 1000.0 / spacing;
}

} // namespace

TEST(CPictureMeasureTest, CalibratedPhotosCarryTheirScaleAndUncalibratedOnesDoNot)
{
    if (!varnolet::test::haveExiftool())
        GTEST_SKIP() << "exiftool is not installed (scripts/install-deps.sh installs it)";
    MainViewerFixture fixture;
    fixture.hub().plug();
    auto window = fixture.makeWindow();
    window->resize(1000, 700);
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    varnolet::MeasureOverlay *overlay = overlayOf(*window);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->controller().pictureSize(), QSize(640, 480));
    EXPECT_FALSE(overlay->controller().scene().calibrated());

    // Not calibrated: the photo has no Exif block and the JFIF default density.
    window->OnTakePhoto();
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsPhotoPending(); }));
    auto photos = filesIn(fixture.resourceRoot() + "/Single Shots", ".jpg");
    ASSERT_EQ(photos.size(), 1u);
    QJsonObject tags = varnolet::test::exiftoolTags(photos[0]);
    EXPECT_FALSE(tags.contains("IFD0:XResolution"));
    EXPECT_EQ(tags.value("JFIF:ResolutionUnit").toInt(), 0);

    const double perPixel = calibrateOnMarkers(overlay, 640, 480);
    EXPECT_NEAR(overlay->controller().scene().micrometresPerPixel, perPixel, perPixel * 1e-3);
    EXPECT_TRUE(varnolet::test::fileExists(CPictureMeasure::StorePath(fixture.services().Paths())));

    window->OnTakePhoto();
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsPhotoPending(); }));
    photos = filesIn(fixture.resourceRoot() + "/Single Shots", ".jpg");
    ASSERT_EQ(photos.size(), 2u);
    tags = varnolet::test::exiftoolTags(photos[1]);
    const double perCentimetre = 10000.0 / overlay->controller().scene().micrometresPerPixel;
    EXPECT_NEAR(tags.value("IFD0:XResolution").toDouble(), perCentimetre, 1e-3);
    EXPECT_EQ(tags.value("IFD0:ResolutionUnit").toInt(), 3);
    EXPECT_EQ(tags.value("JFIF:XResolution").toInt(), std::lround(perCentimetre));
    EXPECT_TRUE(tags.value("IFD0:ImageDescription")
                    .toString()
                    .endsWith(QStringLiteral("\u00b5m per pixel, preset 10x")));
    EXPECT_EQ(fixture.messages().count(), 0u);
}

TEST(CPictureMeasureTest, MeasuringACellAndBurningItIntoTheTimedShots)
{
    auto clock = std::make_shared<varnolet::FakeClock>(2026, 12, 9, 10, 0, 0);
    MainViewerFixture fixture("timetype_takingshots_pretime=0\nshots_pertime=60\n"
                              "timetype_times_taking=0\ntimes_takingtimedshots=1\n",
                              clock);
    fixture.hub().plug();
    auto window = fixture.makeWindow();
    window->resize(1000, 700);
    ASSERT_TRUE(fixture.showAndWaitForCamera(*window));
    varnolet::MeasureOverlay *overlay = overlayOf(*window);
    ASSERT_NE(overlay, nullptr);
    calibrateOnMarkers(overlay, 640, 480);
    varnolet::MeasureController &controller = overlay->controller();
    controller.setTool(Measurement::Tool::Line);
    clickPicture(overlay, QPointF(100, 200));
    clickPicture(overlay, QPointF(300, 200));
    ASSERT_EQ(controller.scene().measurements.size(), 1u);
    // 200 px at the calibrated scale, within a pixel of where the clicks landed.
    const double expected = 200.0 * controller.scene().micrometresPerPixel;
    const QString label = controller.scene().label(controller.scene().measurements[0]);
    EXPECT_TRUE(label.endsWith(QStringLiteral(" \u00b5m"))) << label.toStdString();
    EXPECT_NEAR(label.split(' ')[0].toDouble(), expected,
                2.0 * controller.scene().micrometresPerPixel);

    controller.setBurnIn(true);
    const auto annotation = window->PhotoAnnotations().current();
    ASSERT_NE(annotation, nullptr);
    EXPECT_TRUE(annotation->burnIn);
    EXPECT_EQ(annotation->scene.measurements.size(), 1u);

    // The first timed shot has the scale bar drawn in: a white run of the bar's length in
    // the bottom right corner, and the scale in its metadata.
    window->Button(CMainViewerDlg::IDC_TIMED_SHOT)->click();
    ASSERT_TRUE(window->IsTimedSeries());
    ASSERT_TRUE(processEventsUntil(
        [&] { return filesIn(fixture.resourceRoot() + "/Timed Shots", ".jpg").size() == 1u; },
        20s));
    window->Button(CMainViewerDlg::IDC_TIMED_SHOT)->click();
    ASSERT_TRUE(processEventsUntil([&] { return !window->IsTimedSeries(); }));
    processEventsFor(100ms);
    const std::string shot = filesIn(fixture.resourceRoot() + "/Timed Shots", ".jpg").front();
    QImage image;
    ASSERT_TRUE(varnolet::JpegDecoder().decodeFile(shot, image).ok());
    const varnolet::ScaleBar bar =
        varnolet::ScaleBar::choose(controller.scene().micrometresPerPixel, 640);
    const double text = varnolet::OverlayPainter::photoTextSize(480);
    const int middle = static_cast<int>(480 - text - std::max(3.0, text * 0.35) / 2);
    EXPECT_NEAR(varnolet::test::longestWhiteRun(image, middle), bar.pixels, 1.5);
    if (varnolet::test::haveExiftool()) {
        const QJsonObject tags = varnolet::test::exiftoolTags(shot);
        EXPECT_NEAR(tags.value("IFD0:XResolution").toDouble(),
                    10000.0 / controller.scene().micrometresPerPixel, 1e-3);
    }

    // The context menu's clear command removes the measurement; Escape is free again.
    std::unique_ptr<QMenu> menu(overlay->buildMenu(nullptr));
    QAction *clear = menuAction(menu.get(), QStringLiteral("Clear Measurements"));
    ASSERT_NE(clear, nullptr);
    clear->trigger();
    EXPECT_TRUE(controller.scene().measurements.empty());
    EXPECT_FALSE(overlay->clearAction()->isEnabled());
}
