// Argument texts that hold numbers: what is accepted and what it parses to.
#include "extender/numeric_text.h"

#include <gtest/gtest.h>

namespace {

struct NumericCase {
    const char* text;
    bool accepted;
    int32_t value;
    friend void PrintTo(const NumericCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

const NumericCase kNumericCases[] = {
    {"42", true, 42},
    {" -17", true, -17},
    {"+5", true, 5},
    {"007", true, 7},
    {"-0", true, 0},
    // no digits at all: accepted, and worth 0
    {"", true, 0},
    {"   ", true, 0},
    {"-", true, 0},
    {"+", true, 0},
    {"  +", true, 0},
    // 32-bit wraparound, with no clamping
    {"2147483647", true, 2147483647},
    {"2147483648", true, INT32_MIN},
    {"-2147483648", true, INT32_MIN},
    {"4294967296", true, 0},
    {"4294967297", true, 1},
    {"42949672960000000001", true, 1},
    {"-4294967295", true, 1},
    // refused texts; the parser alone still reads the number at the start
    {"12 ", false, 12},
    {"1.5", false, 1},
    {"- 1", false, 0},
    {"--1", false, 0},
    {"+-1", false, 0},
    {"0x10", false, 0},
    {"12a", false, 12},
    {"\t1", false, 0},
    {"1 2", false, 1},
    {"\xB9", false, 0},  // a superscript one in Latin-1 is no digit
    {"abc", false, 0},
};

class NumericTextTest : public testing::TestWithParam<NumericCase> {};

TEST_P(NumericTextTest, AcceptsAndParses) {
    const NumericCase& c = GetParam();
    EXPECT_EQ(IsNumericText(c.text), c.accepted) << '"' << c.text << '"';
    EXPECT_EQ(ParseNumericText(c.text), c.value) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(Table, NumericTextTest, testing::ValuesIn(kNumericCases));

TEST(NumericArgumentTest, RefusesMissingAndEmptyTexts) {
    int32_t value = 99;
    EXPECT_FALSE(ReadNumericArgument(nullptr, &value));
    EXPECT_FALSE(ReadNumericArgument("", &value));
    EXPECT_FALSE(ReadNumericArgument("1 ", &value));
    EXPECT_EQ(value, 99);
    EXPECT_TRUE(ReadNumericArgument(" ", &value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ReadNumericArgument(" +1", &value));
    EXPECT_EQ(value, 1);
}

}  // namespace
