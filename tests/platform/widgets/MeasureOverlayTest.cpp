#include "platform/widgets/MeasureOverlay.h"

#include "platform/measure/PhotoAnnotation.h"
#include "platform/measure/PhotoAnnotationSlot.h"
#include "platform/widgets/CalibrationDialog.h"
#include "platform/widgets/MeasureController.h"
#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using varnolet::MeasureController;
using varnolet::Measurement;
using varnolet::MeasureOverlay;

namespace {

// A stand-in for a live view: grey, with the picture letterboxed in the middle.
class FakeView final : public QWidget
{
public:
    int doubleClicks = 0;
    QRect pictureRect() const
    {
        // 4:3 picture centred in whatever size the view has.
        const int w = std::min(width(), height() * 4 / 3);
        const int h = w * 3 / 4;
        return QRect((width() - w) / 2, (height() - h) / 2, w, h);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.fillRect(pictureRect(), QColor(90, 120, 90));
    }
    void mouseDoubleClickEvent(QMouseEvent *) override { ++doubleClicks; }
};

QString lookup(const char *, const char *builtIn)
{
    return QString::fromUtf8(builtIn);
}

struct Fixture
{
    varnolet::test::TempFolder folder;
    varnolet::MessageRecorder messages;
    FakeView view;
    varnolet::PhotoAnnotationSlot annotations; // what the photos would carry
    MeasureController controller{folder.file("calibration.json"), lookup, messages.box(),
                                 annotations};
    MeasureOverlay *overlay;

    Fixture()
    {
        view.resize(1000, 600); // picture 800 x 600 at left 100
        overlay = new MeasureOverlay(
            controller, [this] { return view.pictureRect(); }, &view);
        controller.setCamera("usb:1234:5678:S1");
        controller.setPictureSize(QSize(1600, 1200));
        view.show();
    }
    void click(int x, int y) { QTest::mouseClick(overlay, Qt::LeftButton, {}, QPoint(x, y)); }
};

QStringList menuTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    return texts;
}

} // namespace

TEST(MeasureOverlayTest, ClicksOnTheViewBecomePicturePoints)
{
    Fixture f;
    f.controller.setTool(Measurement::Tool::Line);
    f.click(100, 0);   // picture 0, 0
    f.click(500, 300); // picture 800, 600
    ASSERT_EQ(f.controller.scene().measurements.size(), 1u);
    const Measurement &line = f.controller.scene().measurements[0];
    EXPECT_EQ(line.points[0], QPointF(0, 0));
    EXPECT_EQ(line.points[1], QPointF(800, 600));
    EXPECT_EQ(f.controller.scene().label(line), QStringLiteral("1000 px"));
    // Outside the picture (in the bar) nothing is added.
    f.click(50, 300);
    EXPECT_FALSE(f.controller.isDrawing());
}

TEST(MeasureOverlayTest, MeasurementsStayOnThePictureWhenTheViewResizes)
{
    Fixture f;
    f.controller.setTool(Measurement::Tool::Line);
    f.click(500, 300);
    f.click(900, 600 - 1);
    f.view.resize(400, 600); // now pillarboxed the other way: picture 400 x 300 at top 150
    EXPECT_EQ(f.overlay->geometry(), f.view.rect());
    QPointF picture;
    ASSERT_TRUE(f.overlay->toPicture(QPointF(200, 300), picture));
    EXPECT_EQ(picture, QPointF(800, 600)); // the view's centre is still the picture's centre
}

TEST(MeasureOverlayTest, WithoutAToolDoubleClicksReachTheView)
{
    Fixture f;
    QTest::mouseDClick(f.overlay, Qt::LeftButton, {}, QPoint(500, 300));
    EXPECT_EQ(f.view.doubleClicks, 1);
    f.controller.setTool(Measurement::Tool::Polyline);
    QTest::mouseDClick(f.overlay, Qt::LeftButton, {}, QPoint(500, 300));
    EXPECT_EQ(f.view.doubleClicks, 1);
}

TEST(MeasureOverlayTest, PolylineEndsWithADoubleClickAndEscapeClears)
{
    Fixture f;
    EXPECT_FALSE(f.overlay->clearAction()->isEnabled());
    f.controller.setTool(Measurement::Tool::Polyline);
    f.click(100, 0);
    f.click(100, 300);
    f.click(500, 300);
    f.controller.finishDrawing();
    ASSERT_EQ(f.controller.scene().measurements.size(), 1u);
    EXPECT_EQ(f.controller.scene().label(f.controller.scene().measurements[0]),
              QStringLiteral("1400 px"));
    EXPECT_TRUE(f.overlay->clearAction()->isEnabled());
    f.view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.view));
    QTest::keyClick(&f.view, Qt::Key_Escape);
    EXPECT_TRUE(f.controller.scene().measurements.empty());
    EXPECT_FALSE(f.controller.tool().has_value());
}

TEST(MeasureOverlayTest, ContextMenuOffersToolsPresetsAndBurnIn)
{
    Fixture f;
    f.controller.addPreset("10\u00d7");
    f.controller.addPreset("40\u00d7");
    std::unique_ptr<QMenu> menu(f.overlay->buildMenu(nullptr));
    const QStringList texts = menuTexts(menu.get());
    EXPECT_EQ(texts,
              (QStringList{"Measure a Length", "Measure a Polyline", "Circle by Three Points",
                           "Measure an Angle", "Clear Measurements", "Calibrate...", "Preset",
                           "Put Scale and Measurements on Photos"}));
    QMenu *presets = nullptr;
    for (QAction *action : menu->actions())
        if (action->menu())
            presets = action->menu();
    ASSERT_NE(presets, nullptr);
    const QList<QAction *> entries = presets->actions();
    ASSERT_GE(entries.size(), 2);
    EXPECT_EQ(entries[1]->text(), QStringLiteral("40\u00d7"));
    EXPECT_TRUE(entries[1]->isChecked()); // the one added last was chosen
    entries[0]->trigger();
    EXPECT_EQ(f.controller.currentPreset(), "10\u00d7");
}

TEST(MeasureOverlayTest, CalibratingSavesTheScaleAndPhotosCarryIt)
{
    Fixture f;
    EXPECT_EQ(f.annotations.current(), nullptr);
    f.controller.setTool(Measurement::Tool::Calibrate);
    f.click(100, 100); // picture 0, 200
    f.click(500, 100); // picture 800, 200: 800 px
    varnolet::CalibrationDialog *dialog = nullptr;
    ASSERT_TRUE(varnolet::test::processEventsUntil([&] {
        dialog = f.overlay->findChild<varnolet::CalibrationDialog *>();
        return dialog != nullptr;
    }));
    dialog->lengthBox()->setValue(2.0);
    dialog->unitBox()->setCurrentIndex(1); // mm
    dialog->presetBox()->setCurrentText(QStringLiteral("4\u00d7"));
    dialog->accept();
    EXPECT_DOUBLE_EQ(f.controller.scene().micrometresPerPixel, 2.5);
    EXPECT_FALSE(f.controller.tool().has_value());

    const auto annotation = f.annotations.current();
    ASSERT_NE(annotation, nullptr);
    EXPECT_EQ(annotation->preset, "4\u00d7");
    ASSERT_TRUE(annotation->scaleInfo(1600, 1200).has_value());
    EXPECT_DOUBLE_EQ(annotation->scaleInfo(1600, 1200)->pixelsPerCentimetre, 4000.0);

    // The next start finds it for this camera, and scales it to another size.
    varnolet::PhotoAnnotationSlot nextStart;
    MeasureController again(f.folder.file("calibration.json"), lookup, f.messages.box(), nextStart);
    again.setCamera("usb:1234:5678:S1");
    again.setPictureSize(QSize(640, 480));
    EXPECT_DOUBLE_EQ(again.scene().micrometresPerPixel, 2.5 * 1600 / 640);
    again.setCamera("usb:1234:5678:S2");
    EXPECT_FALSE(again.scene().calibrated());
}

TEST(MeasureOverlayTest, ADamagedCalibrationFileGivesOneMessage)
{
    varnolet::MessageRecorder recorder;
    varnolet::test::TempFolder folder;
    const std::string path = folder.write("calibration.json", "{ not json");
    varnolet::PhotoAnnotationSlot annotations;
    MeasureController controller(path, lookup, recorder.box(), annotations);
    ASSERT_EQ(recorder->count(), 1u);
    EXPECT_NE(recorder->texts()[0].find(path + ".damaged"), std::string::npos);
    EXPECT_FALSE(controller.scene().calibrated());
}
