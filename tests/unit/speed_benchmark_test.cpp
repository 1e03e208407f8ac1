// ccpubenchmark: the five argument checks, the default and given run counts, the fastest
// run by a wrapping tick count, and the score's unsigned division.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extender/script_functions.h"
#include "tests/speed/script_call.h"
#include "tests/speed/scripted_clocks.h"

namespace {

using speed_test::CallScript;
using speed_test::UseRunLengths;

struct BadArgumentsCase {
    const char* name;
    const char* args[5];
};

const BadArgumentsCase kBadArgumentsCases[] = {
    {"FirstLetters", {"abc", "5", "10", "0", "1"}},
    {"FifthEmpty", {"1", "5", "10", "0", ""}},
    {"FifthMissing", {"1", "5", "10", "0", nullptr}},
    {"RunsDecimal", {"1", "1.5", "10", "0", "1"}},
    // the default needs no iteration count, yet the text is still checked
    {"IterationsIgnoredButChecked", {"1", "0", "x", "0", "1"}},
    {"DividendHex", {"1", "5", "10", "0x10", "1"}},
    {"DividendTrailingBlank", {"1", "5", "10", "0 ", "1"}},
    {"AllMissing", {nullptr, nullptr, nullptr, nullptr, nullptr}},
};

class BenchmarkBadArgumentsTest : public speed_test::SpeedTestWithParam<BadArgumentsCase> {};

TEST_P(BenchmarkBadArgumentsTest, ReportsError17101WithoutRunning) {
    const auto& a = GetParam().args;
    const auto outcome = CallScript(ccpubenchmark, {a[0], a[1], a[2], a[3], a[4]});
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(outcome.result_type, 2);
    EXPECT_EQ(outcome.text, "17101: Invalid Parameter.");
    EXPECT_TRUE(fake::processor().counting_loop_iterations.empty());
    EXPECT_EQ(fake::services().tick_count_reads, 0);
}

INSTANTIATE_TEST_SUITE_P(Arguments, BenchmarkBadArgumentsTest,
                         testing::ValuesIn(kBadArgumentsCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RunCase {
    const char* name;
    const char* args[5];
    uint32_t first_tick;
    std::vector<uint32_t> lengths;  // of the runs in turn, in milliseconds
    int runs;
    int32_t iterations;
    uint32_t result;
};

// Run lengths 40, 35, 38 ms, then 36 ms for every further run.
const std::vector<uint32_t> kLengths = {40, 35, 38, 36};

const RunCase kRunCases[] = {
    {"DefaultFastestMs", {"1", "0", "1", "0", "1"}, 1000, kLengths, 30, 10000000, 35},
    {"DefaultIgnoresIterations", {"1", "010", "5", "0", "1"}, 1000, kLengths, 30, 10000000, 35},
    {"LeadingBlankIsNoDefault", {"1", " 5", "100", "0", "1"}, 1000, kLengths, 5, 100, 35},
    {"GivenRuns", {"1", "3", "250", "0", "1"}, 1000, kLengths, 3, 250, 35},
    {"Score", {"1", "3", "250", "7000", "1"}, 1000, kLengths, 3, 250, 200},
    {"ScoreTruncates", {"1", "3", "250", "7034", "1"}, 1000, kLengths, 3, 250, 200},
    // a blank before the zero makes it a dividend of 0, not the milliseconds
    {"BlankZeroDividend", {"1", "3", "250", " 0", "1"}, 1000, kLengths, 3, 250, 0},
    {"ZeroZeroIsMilliseconds", {"1", "3", "250", "00", "1"}, 1000, kLengths, 3, 250, 35},
    {"PlusZeroDividend", {"1", "3", "250", "+0", "1"}, 1000, kLengths, 3, 250, 0},
    // runs shorter than a tick: -1 as a value when there is a dividend
    {"ZeroMsScore", {"1", "5", "0", "1000", "1"}, 1000, {0}, 5, 0, 0xFFFFFFFF},
    {"ZeroMsMilliseconds", {"1", "5", "0", "0", "1"}, 1000, {0}, 5, 0, 0},
    // a negative dividend divides as 2^32 plus its value
    {"NegativeDividend", {"1", "2", "9", "-1000", "1"}, 1000, {50, 50}, 2, 9, 85899325},
    // the tick count wraps inside a run
    {"TickWrap", {"1", "1", "9", "0", "1"}, 0xFFFFFFF0, {0x20}, 1, 9, 32},
    {"TickWrapScore", {"1", "1", "9", "3200", "1"}, 0xFFFFFFF0, {0x20}, 1, 9, 100},
    // no runs at all: the fastest stays 0xFFFFFFFF
    {"NoRunsMilliseconds", {"1", "-3", "9", "0", "1"}, 1000, {5}, 0, 0, 0xFFFFFFFF},
    {"NoRunsScore", {"1", "-3", "9", "4000000000", "1"}, 1000, {5}, 0, 0, 0},
    {"NoRunsMinusOne", {"1", " ", "9", "-1", "1"}, 1000, {5}, 0, 0, 1},
    // a negative iteration count is handed on: the loop itself makes no pass
    {"NegativeIterations", {"1", "2", "-5", "0", "1"}, 1000, {1, 0}, 2, -5, 0},
    {"RunsWrapToNegative", {"1", "2147483648", "9", "0", "1"}, 1000, {5}, 0, 0, 0xFFFFFFFF},
};

class BenchmarkRunTest : public speed_test::SpeedTestWithParam<RunCase> {};

TEST_P(BenchmarkRunTest, FastestRunOrScore) {
    const RunCase& c = GetParam();
    UseRunLengths(c.first_tick, c.lengths);
    const auto& a = c.args;
    const auto outcome = CallScript(ccpubenchmark, {a[0], a[1], a[2], a[3], a[4]});
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.result_type, 1);
    EXPECT_EQ(outcome.value, c.result);
    EXPECT_EQ(fake::processor().counting_loop_iterations,
              std::vector<int32_t>(c.runs, c.iterations));
    EXPECT_EQ(fake::services().tick_count_reads, 2 * c.runs);
}

INSTANTIATE_TEST_SUITE_P(Runs, BenchmarkRunTest, testing::ValuesIn(kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
