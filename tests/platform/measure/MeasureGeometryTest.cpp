#include "platform/measure/MeasureGeometry.h"
#include "platform/measure/MeasureScene.h"

#include <cmath>

#include <gtest/gtest.h>

using varnolet::MeasureGeometry;
using varnolet::Measurement;
using varnolet::MeasureScene;

TEST(MeasureGeometryTest, PolylineSumsItsSegments)
{
    EXPECT_DOUBLE_EQ(MeasureGeometry::polylineLength({{0, 0}, {3, 4}, {3, 10}}), 11.0);
    EXPECT_DOUBLE_EQ(MeasureGeometry::polylineLength({{5, 5}}), 0.0);
}

struct CircleCase
{
    QPointF a, b, c;
    QPointF centre;
    double radius; // 0: no circle
};

class CircleTest : public ::testing::TestWithParam<CircleCase>
{
};

TEST_P(CircleTest, GoesThroughThreePoints)
{
    const CircleCase t = GetParam();
    const auto circle = MeasureGeometry::circleThrough(t.a, t.b, t.c);
    if (t.radius == 0.0) {
        EXPECT_FALSE(circle.has_value());
        return;
    }
    ASSERT_TRUE(circle.has_value());
    EXPECT_NEAR(circle->centre.x(), t.centre.x(), 1e-9);
    EXPECT_NEAR(circle->centre.y(), t.centre.y(), 1e-9);
    EXPECT_NEAR(circle->radius, t.radius, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Points, CircleTest,
    ::testing::Values(CircleCase{{10, 0}, {0, 10}, {-10, 0}, {0, 0}, 10.0},
                      CircleCase{{1605, 1200}, {1600, 1205}, {1595, 1200}, {1600, 1200}, 5.0},
                      CircleCase{{0, 0}, {5, 5}, {10, 10}, {}, 0.0}, // on one line
                      CircleCase{{3, 3}, {3, 3}, {3, 3}, {}, 0.0})); // one point

struct AngleCase
{
    QPointF a, vertex, c;
    double degrees; // < 0: none
};

class AngleTest : public ::testing::TestWithParam<AngleCase>
{
};

TEST_P(AngleTest, IsMeasuredAtTheVertex)
{
    const AngleCase t = GetParam();
    const auto angle = MeasureGeometry::angleDegrees(t.a, t.vertex, t.c);
    if (t.degrees < 0) {
        EXPECT_FALSE(angle.has_value());
        return;
    }
    ASSERT_TRUE(angle.has_value());
    EXPECT_NEAR(*angle, t.degrees, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Points, AngleTest,
                         ::testing::Values(AngleCase{{10, 0}, {0, 0}, {0, 10}, 90.0},
                                           AngleCase{{0, 10}, {0, 0}, {10, 0}, 90.0},
                                           AngleCase{{10, 0}, {0, 0}, {10, 10}, 45.0},
                                           AngleCase{{10, 0}, {0, 0}, {-10, 0}, 180.0},
                                           AngleCase{{10, 0}, {0, 0}, {20, 0}, 0.0},
                                           AngleCase{{0, 0}, {0, 0}, {1, 0}, -1.0}));

TEST(MeasureSceneTest, LabelsAreInTheCalibratedUnitOrInPixels)
{
    MeasureScene scene;
    scene.pictureSize = QSize(640, 480);
    scene.diameterText = QStringLiteral("D");
    scene.areaText = QStringLiteral("A");
    const Measurement line{Measurement::Tool::Line, {{0, 0}, {30, 40}}};
    const Measurement circle{Measurement::Tool::Circle, {{10, 0}, {0, 10}, {-10, 0}}};
    const Measurement angle{Measurement::Tool::Angle, {{10, 0}, {0, 0}, {0, 10}}};
    EXPECT_EQ(scene.label(line), QStringLiteral("50 px"));
    EXPECT_EQ(scene.label(circle), QStringLiteral("D 20 px  A 314.2 px\u00b2"));
    scene.micrometresPerPixel = 2.0;
    EXPECT_EQ(scene.label(line), QStringLiteral("100 \u00b5m"));
    EXPECT_EQ(scene.label(circle), QStringLiteral("D 40 \u00b5m  A 1257 \u00b5m\u00b2"));
    EXPECT_EQ(scene.label(angle), QStringLiteral("90\u00b0"));
    EXPECT_EQ(scene.label(Measurement{Measurement::Tool::Line, {{0, 0}}}), QString());
}
