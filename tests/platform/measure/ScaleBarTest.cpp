#include "platform/measure/ScaleBar.h"

#include <gtest/gtest.h>

using varnolet::ScaleBar;

struct RoundCase
{
    double value;
    double expected;
};

class RoundLengthTest : public ::testing::TestWithParam<RoundCase>
{
};

TEST_P(RoundLengthTest, IsTheNearestOfOneTwoFive)
{
    EXPECT_DOUBLE_EQ(ScaleBar::roundLength(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, RoundLengthTest,
                         ::testing::Values(RoundCase{1.0, 1.0}, RoundCase{1.3, 1.0},
                                           RoundCase{1.5, 2.0}, RoundCase{3.0, 2.0},
                                           RoundCase{3.3, 5.0}, RoundCase{7.0, 5.0},
                                           RoundCase{7.5, 10.0}, RoundCase{0.03, 0.02},
                                           RoundCase{0.032, 0.05}, RoundCase{256.0, 200.0},
                                           RoundCase{480.0, 500.0}, RoundCase{0.0, 0.0},
                                           RoundCase{-3.0, 0.0}));

TEST(ScaleBarTest, IsAboutAFifthOfTheWidthInMicrometres)
{
    // 1600 px at 0.8 µm/px: a fifth is 256 µm -> 200 µm = 250 px.
    const ScaleBar bar = ScaleBar::choose(0.8, 1600);
    EXPECT_TRUE(bar.calibrated);
    EXPECT_DOUBLE_EQ(bar.length, 200.0);
    EXPECT_DOUBLE_EQ(bar.pixels, 250.0);
}

TEST(ScaleBarTest, IsInPixelsWithoutCalibration)
{
    const ScaleBar bar = ScaleBar::choose(0.0, 640);
    EXPECT_FALSE(bar.calibrated);
    EXPECT_DOUBLE_EQ(bar.length, 100.0);
    EXPECT_DOUBLE_EQ(bar.pixels, 100.0);
}

struct FormatCase
{
    double micrometres;
    const char *text;
};

class FormatMicrometresTest : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(FormatMicrometresTest, ChoosesTheUnit)
{
    EXPECT_EQ(varnolet::formatMicrometres(GetParam().micrometres), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, FormatMicrometresTest,
                         ::testing::Values(FormatCase{200.0, "200 \u00b5m"},
                                           FormatCase{12.5, "12.5 \u00b5m"},
                                           FormatCase{0.1234567, "0.1235 \u00b5m"},
                                           FormatCase{999.0, "999 \u00b5m"},
                                           FormatCase{1000.0, "1 mm"}, FormatCase{1500.0, "1.5 mm"},
                                           FormatCase{123456.0, "123.5 mm"}));

TEST(ScaleBarTest, AreasChangeToSquareMillimetres)
{
    EXPECT_EQ(varnolet::formatSquareMicrometres(7853.98), "7854 \u00b5m\u00b2");
    EXPECT_EQ(varnolet::formatSquareMicrometres(2.5e6), "2.5 mm\u00b2");
}
