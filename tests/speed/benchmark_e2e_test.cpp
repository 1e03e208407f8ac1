// ccpubenchmark through the real DLL: scripted tick counts for exact figures, and the real
// counting loop over the real tick count.
#include "tests/support/e2e_support.h"

namespace {

using Args = std::vector<std::optional<std::string>>;

class Benchmark : public host_test::DllTest {
  protected:
    uint32_t Run(const Args& args) {
        const qel::Outcome outcome = dll().Call(9, args);
        EXPECT_EQ(outcome.callbacks, 1);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.result_type, 1);
        return static_cast<uint32_t>(outcome.value);
    }
};

struct ScriptedCase {
    const char* name;
    Args args;
    std::vector<uint32_t> ticks;  // start and end of each run
    uint32_t result;
    int tick_reads;
};

const ScriptedCase kScriptedCases[] = {
    {"FastestRun", {"1", "3", "1000", "0", "1"}, {100, 140, 200, 235, 300, 338}, 35, 6},
    {"Score", {"1", "3", "1000", "7000", "1"}, {100, 140, 200, 235, 300, 338}, 200, 6},
    {"NegativeDividend", {"1", "1", "1000", "-1000", "1"}, {100, 150}, 85899325, 2},
    {"TickWraps", {"1", "1", "1000", "0", "1"}, {0xFFFFFFF0, 0x10}, 32, 2},
    // runs shorter than a tick: the fastest is 0, and a score -1
    {"ZeroMilliseconds", {"1", "2", "1000", "0", "1"}, {5, 5, 7, 7}, 0, 4},
    {"ZeroMillisecondsScore", {"1", "2", "1000", "1000", "1"}, {5, 5, 7, 7}, 0xFFFFFFFF, 4},
    {"NoRuns", {"1", "-1", "1000", "0", "1"}, {5}, 0xFFFFFFFF, 0},
    {"NoRunsMinusOne", {"1", "-1", "1000", "-1", "1"}, {5}, 1, 0},
};

class BenchmarkScripted : public Benchmark, public testing::WithParamInterface<ScriptedCase> {};

TEST_P(BenchmarkScripted, FiguresFromTheTickCount) {
    int reads = 0;
    qel::emulation().tick_count = speed_e2e::Readings(GetParam().ticks, &reads);
    EXPECT_EQ(Run(GetParam().args), GetParam().result);
    EXPECT_EQ(reads, GetParam().tick_reads);
}

INSTANTIATE_TEST_SUITE_P(Ticks, BenchmarkScripted, testing::ValuesIn(kScriptedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Benchmark, RealCountingLoopTakesTicks) {
    // 20 million passes through memory last some milliseconds on any machine; the score is
    // the dividend over that
    const uint32_t milliseconds = Run({"1", "3", "20000000", "0", "1"});
    EXPECT_GE(milliseconds, 1u);
    EXPECT_LT(milliseconds, 60000u);
    const uint32_t score = Run({"1", "3", "20000000", "1000000", "1"});
    EXPECT_GE(score, 1u);
    EXPECT_LE(score, 1000000u);
}

}  // namespace
