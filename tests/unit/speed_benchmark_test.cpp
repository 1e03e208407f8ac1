// ccpubenchmark over the fake loop: the default and given run counts and the iterations each
// run is handed, which the real DLL cannot show. The argument checks and the figures from a
// scripted tick count are proven on the real DLL (tests/host, tests/speed).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extender/script_functions.h"
#include "tests/support/script_call.h"
#include "tests/support/scripted_clocks.h"

namespace {

using namespace speed_test;
using script_call::CallScript;

struct RunCase {
    const char* name;
    const char* args[5];
    std::vector<uint32_t> lengths;  // of the runs in turn, in milliseconds
    int runs;
    int32_t iterations;
    uint32_t result;
    friend void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }
};

// Run lengths 40, 35, 38 ms, then 36 ms for every further run.
const std::vector<uint32_t> kLengths = {40, 35, 38, 36};

const RunCase kRunCases[] = {
    {"DefaultFastestMs", {"1", "0", "1", "0", "1"}, kLengths, 30, 10000000, 35},
    {"DefaultIgnoresIterations", {"1", "010", "5", "0", "1"}, kLengths, 30, 10000000, 35},
    {"LeadingBlankIsNoDefault", {"1", " 5", "100", "0", "1"}, kLengths, 5, 100, 35},
    {"GivenRuns", {"1", "3", "250", "0", "1"}, kLengths, 3, 250, 35},
    {"ScoreTruncates", {"1", "3", "250", "7034", "1"}, kLengths, 3, 250, 200},
    // a blank before the zero makes it a dividend of 0, not the milliseconds
    {"BlankZeroDividend", {"1", "3", "250", " 0", "1"}, kLengths, 3, 250, 0},
    {"ZeroZeroIsMilliseconds", {"1", "3", "250", "00", "1"}, kLengths, 3, 250, 35},
    {"PlusZeroDividend", {"1", "3", "250", "+0", "1"}, kLengths, 3, 250, 0},
    // no runs at all: the fastest stays 0xFFFFFFFF, and divides as such
    {"NoRunsScore", {"1", "-3", "9", "4000000000", "1"}, {5}, 0, 0, 0},
    // a negative iteration count is handed on: the loop itself makes no pass
    {"NegativeIterations", {"1", "2", "-5", "0", "1"}, {1, 0}, 2, -5, 0},
    {"RunsWrapToNegative", {"1", "2147483648", "9", "0", "1"}, {5}, 0, 0, 0xFFFFFFFF},
};

class BenchmarkRunTest : public speed_test::SpeedTestWithParam<RunCase> {};

TEST_P(BenchmarkRunTest, FastestRunOrScore) {
    const RunCase& c = GetParam();
    UseRunLengths(c.lengths);
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
