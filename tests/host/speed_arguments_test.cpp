// Argument checks of ccpuspeed and ccpubenchmark: a bad argument is an error and nothing is
// measured (a scripted clock that never advances would hang a measurement).
#include "tests/support/shared_dll.h"

namespace {

using host_test::DllTest;

struct BadArgumentsCase {
    const char* label;
    uint32_t number;
    std::vector<std::optional<std::string>> args;
    const char* text;
    friend void PrintTo(const BadArgumentsCase& c, std::ostream* out) { *out << c.label; }
};

class BadSpeedArguments : public DllTest, public testing::WithParamInterface<BadArgumentsCase> {};

TEST_P(BadSpeedArguments, ReportTheErrorWithoutReadingAClock) {
    int clock_reads = 0;
    qel::emulation().counter = [&](int64_t* count) { return ++clock_reads, *count = 0, true; };
    qel::emulation().tick_count = [&] { return ++clock_reads, 0u; };
    qel::emulation().multimedia_time = [&] { return ++clock_reads, 0u; };
    const qel::Outcome outcome = dll().Call(GetParam().number, GetParam().args);
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_EQ(outcome.status, -1);
    EXPECT_EQ(outcome.result_type, 2);
    EXPECT_EQ(outcome.text, GetParam().text);
    EXPECT_EQ(clock_reads, 0);
}

const char* const kSpeedNeedsNumber = "17102: cCpuSpeed requires a number 0-3.";
const char* const kInvalidParameter = "17101: Invalid Parameter.";

INSTANTIATE_TEST_SUITE_P(
    Checks, BadSpeedArguments,
    testing::Values(
        BadArgumentsCase{"speed_empty", 5, {""}, kSpeedNeedsNumber},
        BadArgumentsCase{"speed_letters", 5, {"abc"}, kSpeedNeedsNumber},
        BadArgumentsCase{"speed_trailing_blank", 5, {"1 "}, kSpeedNeedsNumber},
        BadArgumentsCase{"speed_absent", 5, {}, kSpeedNeedsNumber},
        BadArgumentsCase{"speed_decimal", 5, {"1.5"}, kSpeedNeedsNumber},
        BadArgumentsCase{
            "benchmark_first_letters", 9, {"abc", "5", "0", "0", "1"}, kInvalidParameter},
        BadArgumentsCase{"benchmark_last_empty", 9, {"1", "5", "0", "0", ""}, kInvalidParameter},
        BadArgumentsCase{"benchmark_last_absent", 9, {"1", "5", "0", "0"}, kInvalidParameter},
        BadArgumentsCase{"benchmark_decimal", 9, {"1", "5", "0.5", "0", "1"}, kInvalidParameter},
        BadArgumentsCase{
            "benchmark_runs_decimal", 9, {"1", "1.5", "10", "0", "1"}, kInvalidParameter},
        // the default run count needs no iteration count, yet its text is still checked
        BadArgumentsCase{
            "benchmark_unused_iterations", 9, {"1", "0", "x", "0", "1"}, kInvalidParameter},
        BadArgumentsCase{
            "benchmark_hex_dividend", 9, {"1", "5", "10", "0x10", "1"}, kInvalidParameter},
        BadArgumentsCase{
            "benchmark_dividend_blank", 9, {"1", "5", "10", "0 ", "1"}, kInvalidParameter},
        BadArgumentsCase{"benchmark_absent", 9, {}, kInvalidParameter}),
    [](const testing::TestParamInfo<BadArgumentsCase>& info) {
        return std::string(info.param.label);
    });

}  // namespace
