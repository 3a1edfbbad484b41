#include "platform/measure/OverlayLayer.h"

#include "platform/measure/OverlayPainter.h"

#include <cstdlib>

#include <QPainter>

#include <gtest/gtest.h>

using varnolet::Measurement;
using varnolet::MeasureScene;
using varnolet::OverlayLayer;

namespace {

MeasureScene sampleScene()
{
    MeasureScene scene;
    scene.pictureSize = QSize(640, 480);
    scene.micrometresPerPixel = 2.0;
    scene.measurements = {{Measurement::Tool::Line, {{40, 40}, {300, 90}}},
                          {Measurement::Tool::Circle, {{400, 200}, {450, 250}, {400, 300}}}};
    return scene;
}

QImage background()
{
    QImage image(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    return image;
}

int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

} // namespace

TEST(OverlayLayerTest, PutsTheSameDrawingOverTheFrameAsPaintingDirectly)
{
    const MeasureScene scene = sampleScene();
    const QRect target(80, 60, 640, 480);
    QImage direct = background();
    {
        QPainter painter(&direct);
        varnolet::OverlayPainter::paint(painter, scene, QRectF(target), 13.0);
    }
    QImage layered = background();
    OverlayLayer layer;
    {
        QPainter painter(&layered);
        layer.paint(painter, scene, target, 13.0);
    }
    EXPECT_NE(direct, background());
    EXPECT_LE(largestDifference(direct, layered), 2);
    // Only a part of the picture is put back per frame.
    EXPECT_GT(layer.tileCount(), 0u);
    EXPECT_LT(layer.tileCount() * OverlayLayer::kTile * OverlayLayer::kTile,
              size_t(target.width()) * target.height() / 2);
}

TEST(OverlayLayerTest, DrawsAnewOnlyWhenSceneSizeOrTextChange)
{
    MeasureScene scene = sampleScene();
    QImage frame = background();
    QPainter painter(&frame);
    OverlayLayer layer;
    const QRect target(0, 0, 640, 480);
    layer.paint(painter, scene, target, 13.0);
    layer.paint(painter, scene, target.translated(10, 0), 13.0); // moved, same size
    EXPECT_EQ(layer.renders(), 1);
    scene.measurements[0].points[1] = QPointF(310, 90);
    layer.paint(painter, scene, target, 13.0);
    EXPECT_EQ(layer.renders(), 2);
    layer.paint(painter, scene, QRect(0, 0, 320, 240), 13.0);
    EXPECT_EQ(layer.renders(), 3);
    layer.paint(painter, scene, QRect(0, 0, 320, 240), 20.0);
    EXPECT_EQ(layer.renders(), 4);
}
