#include "platform/system/NumberText.h"

#include <gtest/gtest.h>

#include <string>

using varnolet::NumberText;

namespace {

struct NumberCase
{
    std::string text;
    std::string blanks;
    int32_t expected;
};

class NumberTextTest : public testing::TestWithParam<NumberCase>
{
};

TEST_P(NumberTextTest, ReadsTheLeadingNumber)
{
    const NumberCase &c = GetParam();
    EXPECT_EQ(NumberText::leadingInt32(c.text, c.blanks), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberTextTest,
    testing::Values(NumberCase{"42", " ", 42}, NumberCase{"  -17px", " ", -17},
                    NumberCase{"+8", " ", 8}, NumberCase{"", " ", 0}, NumberCase{"-", " ", 0},
                    NumberCase{"x12", " ", 0}, NumberCase{"\n5", " \t", 0},
                    NumberCase{"\n5", " \n", 5}, NumberCase{"2147483647", " ", 2147483647},
                    NumberCase{"2147483648", " ", 2147483647},
                    NumberCase{"-2147483648", " ", -2147483647 - 1},
                    NumberCase{"-99999999999999999999999", " ", -2147483647 - 1},
                    NumberCase{"99999999999999999999999", " ", 2147483647}));

} // namespace
