// The rate arithmetic on its own: the microsecond conversion with its odd rounding, the rate
// rounding, the agreement rule and the rounded mean, including where 32 bits wrap.
#include <gtest/gtest.h>

#include "speed/rate_arithmetic.h"

namespace {

struct MicrosecondCase {
    uint32_t frequency;
    uint32_t counts;
    uint32_t divisor;
    uint32_t scaled;
    bool raised;
    uint32_t ticks;
    friend void PrintTo(const MicrosecondCase& c, std::ostream* out) {
        *out << c.counts << " counts of " << c.frequency;
    }
};

const MicrosecondCase kMicrosecondCases[] = {
    // the divisor is 1 up to 10 counts per second, then a tenth of the frequency
    {1, 10000, 1, 1000000000, false, 1000000000},
    {10, 10000, 1, 1000000000, false, 1000000000},
    // 1000000000 mod 11 = 10, above half of 11: one more
    {11, 10000, 1, 1000000000, false, 1000000001},
    {25, 10001, 2, 1000100000, false, 500050000},
    // 6667333 mod 1500 = 1333, above 750
    {1500, 10001, 150, 1000100000, false, 6667334},
    // the remainder 200000 of S / D plays no part
    {3000000, 10001, 300000, 1000100000, false, 3333},
    {10000000, 10000, 1000000, 1000000000, false, 1000},
    {10000000, 10009, 1000000, 1000900000, false, 1000},
    {3579545, 10000, 357954, 1000000000, false, 2793},
    // 42950 x 100000 wraps to 32704, which is below the divisor: raised to 1
    {3000000, 42950, 300000, 32704, true, 1},
    {3000000, 0, 300000, 0, true, 1},
    // 100000 mod 3 = 1 is not above 1; 100000 mod 7 = 5 is above 3
    {3, 1, 1, 100000, false, 100000},
    {7, 1, 1, 100000, false, 100001},
    {4294967295u, 10000, 429496729, 1000000000, false, 2},
};

class SpeedMicrosecondTest : public testing::TestWithParam<MicrosecondCase> {};

TEST_P(SpeedMicrosecondTest, ConvertsCountsStepByStep) {
    const MicrosecondCase& c = GetParam();
    EXPECT_EQ(MicrosecondDivisor(c.frequency), c.divisor);
    MicrosecondSteps steps = CountsToMicroseconds(c.counts, c.frequency, c.divisor);
    EXPECT_EQ(steps.scaled, c.scaled);
    EXPECT_EQ(steps.raised, c.raised);
    EXPECT_EQ(steps.ticks, c.ticks);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeedMicrosecondTest, testing::ValuesIn(kMicrosecondCases));

struct RateCase {
    uint32_t cycles;
    uint32_t ticks;
    uint32_t quotient;
    uint32_t freq;
    friend void PrintTo(const RateCase& c, std::ostream* out) {
        *out << c.cycles << " cycles over " << c.ticks;
    }
};

const RateCase kRateCases[] = {
    {6668000, 3333, 2000, 2001},  // remainder 2000 above 1666
    {6667000, 3333, 2000, 2000},  // remainder 1000
    {6667666, 3333, 2000, 2000},  // remainder 1666 is exactly half: kept
    {6667667, 3333, 2000, 2001},
    {2000500, 1000, 2000, 2000},  // exactly half of an even divisor: kept
    {2000501, 1000, 2000, 2001},
    {4294967295u, 1, 4294967295u, 4294967295u},
    {4294967295u, 2, 2147483647, 2147483647},  // remainder 1 is not above 1
    {4294967295u, 4294967295u, 1, 1},
    {0, 1000, 0, 0},
};

class SpeedRateTest : public testing::TestWithParam<RateCase> {};

TEST_P(SpeedRateTest, RoundsUpOnlyAboveHalf) {
    const RateCase& c = GetParam();
    RateSteps steps = RateInMhz(c.cycles, c.ticks);
    EXPECT_EQ(steps.quotient, c.quotient);
    EXPECT_EQ(steps.freq, c.freq);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeedRateTest, testing::ValuesIn(kRateCases));

struct AgreementCase {
    uint32_t freq;
    uint32_t freq2;
    uint32_t freq3;
    bool agree;
    friend void PrintTo(const AgreementCase& c, std::ostream* out) {
        *out << c.freq << " " << c.freq2 << " " << c.freq3;
    }
};

const AgreementCase kAgreementCases[] = {
    {2000, 2001, 2002, true},   // total 6003, largest deviation 3
    {2002, 2000, 2001, true},   // the order does not matter
    {2000, 2000, 2002, false},  // |3 x 2002 - 6002| = 4
    {2002, 2000, 2000, false},
    {2000, 2002, 2002, false},  // |3 x 2000 - 6004| = 4, the negative side
    {2001, 2001, 2002, true},
    {0, 0, 0, true},
    {0, 0, 3, false},
    {0, 0, 1, true},
    // wrapping sums: 3 x 0x55555556 and their total both wrap to 2
    {0x55555556, 0x55555556, 0x55555556, true},
    {0xFFFFFFFF, 0, 1, true},  // -1, 0, 1 as signed values
    {0x80000000, 0x80000000, 0x80000001, true},
    {0x7FFFFFFF, 0x80000000, 0x80000001, true},
    {0x80000000, 0, 0, false},
};

class SpeedAgreementTest : public testing::TestWithParam<AgreementCase> {};

TEST_P(SpeedAgreementTest, EachWithinOneMhzOfTheMean) {
    const AgreementCase& c = GetParam();
    EXPECT_EQ(RunsAgree(c.freq, c.freq2, c.freq3), c.agree);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeedAgreementTest, testing::ValuesIn(kAgreementCases));

struct MeanCase {
    uint32_t total;
    uint32_t mean;
    friend void PrintTo(const MeanCase& c, std::ostream* out) { *out << "total " << c.total; }
};

const MeanCase kMeanCases[] = {
    {6003, 2001},    {6004, 2001}, {6005, 2002}, {6006, 2002},
    {0, 0},          {1, 0},       {2, 1},       {0xFFFFFFFE, 1431655765},
    {0xFFFFFFFF, 0},  // total + 1 wraps to 0, which then stands
};

class SpeedMeanTest : public testing::TestWithParam<MeanCase> {};

TEST_P(SpeedMeanTest, RoundsToNearest) {
    EXPECT_EQ(RoundedMean(GetParam().total), GetParam().mean);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeedMeanTest, testing::ValuesIn(kMeanCases));

}  // namespace
