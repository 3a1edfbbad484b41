#include "platform/measure/Calibration.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using varnolet::Calibration;
using varnolet::LengthUnit;

struct LineCase
{
    double pixels;
    double known;
    LengthUnit unit;
    double expected; // 0: no calibration
};

class CalibrationLineTest : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(CalibrationLineTest, GivesMicrometresPerPixel)
{
    const LineCase c = GetParam();
    const auto perPixel = Calibration::fromLine(c.pixels, c.known, c.unit);
    if (c.expected == 0.0) {
        EXPECT_FALSE(perPixel.has_value());
        return;
    }
    ASSERT_TRUE(perPixel.has_value());
    EXPECT_DOUBLE_EQ(*perPixel, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, CalibrationLineTest,
                         ::testing::Values(LineCase{400.0, 100.0, LengthUnit::Micrometre, 0.25},
                                           LineCase{400.0, 1.0, LengthUnit::Millimetre, 2.5},
                                           LineCase{250.5, 0.5, LengthUnit::Millimetre,
                                                    500.0 / 250.5},
                                           LineCase{0.0, 100.0, LengthUnit::Micrometre, 0.0},
                                           LineCase{100.0, 0.0, LengthUnit::Micrometre, 0.0},
                                           LineCase{100.0, -5.0, LengthUnit::Millimetre, 0.0},
                                           LineCase{std::numeric_limits<double>::quiet_NaN(), 1.0,
                                                    LengthUnit::Millimetre, 0.0},
                                           LineCase{1.0, std::numeric_limits<double>::infinity(),
                                                    LengthUnit::Micrometre, 0.0}));

struct SizeCase
{
    int width;
    int height;
    double expected; // 0: none
};

class CalibrationSizeTest : public ::testing::TestWithParam<SizeCase>
{
};

// Calibrated at 640 x 480 (2 µm/px) and 1280 x 720 (1 µm/px).
TEST_P(CalibrationSizeTest, ScalesFromTheNearestSizeOfTheSameShape)
{
    const std::vector<Calibration> calibrated = {{640, 480, 2.0}, {1280, 720, 1.0}};
    const SizeCase c = GetParam();
    const auto found = Calibration::forSize(calibrated, c.width, c.height);
    if (c.expected == 0.0) {
        EXPECT_FALSE(found.has_value());
        return;
    }
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->width, c.width);
    EXPECT_EQ(found->height, c.height);
    EXPECT_DOUBLE_EQ(found->micrometresPerPixel, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CalibrationSizeTest,
                         ::testing::Values(SizeCase{640, 480, 2.0},   // the very size
                                           SizeCase{1600, 1200, 0.8}, // 4:3 from 640 x 480
                                           SizeCase{320, 240, 4.0},
                                           SizeCase{1920, 1080, 2.0 / 3.0}, // 16:9 from 1280
                                           SizeCase{800, 600, 1.6},
                                           SizeCase{1280, 1024, 0.0}, // 5:4: no match
                                           SizeCase{0, 0, 0.0}));

TEST(CalibrationTest, NearestSizeWinsAmongSeveralOfOneShape)
{
    // 1600 x 1200 was calibrated on its own (a different zoom than 640 x 480 gives).
    const std::vector<Calibration> calibrated = {{640, 480, 2.0}, {1600, 1200, 0.5}};
    const auto found = Calibration::forSize(calibrated, 1280, 960);
    ASSERT_TRUE(found.has_value());
    EXPECT_DOUBLE_EQ(found->micrometresPerPixel, 0.5 * 1600 / 1280);
}
