// ccpuspeed's measuring route through the real DLL: Intel and unknown vendors with a
// time-stamp counter, over scripted counters and over the real clocks.
#include <algorithm>
#include <cmath>

#include "tests/support/e2e_support.h"

namespace {

using speed_e2e::SpeedDllTest;

class MeasuringRoute : public SpeedDllTest {
  protected:
    void SetUp() override {
        SpeedDllTest::SetUp();
        if (speed_e2e::IsClone(processor_) || !processor_.time_stamp) {
            GTEST_SKIP() << processor_.vendor << " does not take the time-stamp method";
        }
    }
};

struct ScriptedCounterCase {
    const char* name;
    int64_t counts_per_second;
    int64_t step;
    uint32_t ticks;
};

const ScriptedCounterCase kScriptedCounterCases[] = {
    {"TenMegahertz", 10000000, 10000, 1000},
    {"ThreeMegahertz", 3000000, 10001, 3333},
    // a run the scheduler held for 4.3 ms: 43000 x 100000 wraps 32 bits, 5 microseconds
    {"StretchedPastTheWrap", 10000000, 43000, 5},
    // 6667333 mod 1500 exceeds 750: one more microsecond
    {"F1500", 1500, 10001, 6667334},
    // 1000000000 mod 11 exceeds 5: one more microsecond
    {"F11", 11, 10000, 1000000001},
    // the high half of the frequency is ignored
    {"HighHalf", 0x100989680ll, 10000, 1000},
};

class MeasuringRouteScripted : public MeasuringRoute,
                               public testing::WithParamInterface<ScriptedCounterCase> {};

TEST_P(MeasuringRouteScripted, TicksFromTheCounter) {
    const ScriptedCounterCase& c = GetParam();
    int counter_reads = 0;
    int timer_reads = 0;
    speed_e2e::UseSteppingCounter(c.counts_per_second, c.step, &counter_reads);
    qel::emulation().multimedia_time = speed_e2e::Readings({0}, &timer_reads);
    qel::emulation().tick_count = speed_e2e::Readings({0}, &timer_reads);
    EXPECT_EQ(Speed("2"), c.ticks);
    // three reads a run, 3 to 20 runs
    EXPECT_EQ(counter_reads % 3, 0);
    EXPECT_GE(counter_reads, 9);
    EXPECT_LE(counter_reads, 60);
    EXPECT_EQ(timer_reads, 0);  // neither millisecond clock
}

INSTANTIATE_TEST_SUITE_P(Counters, MeasuringRouteScripted, testing::ValuesIn(kScriptedCounterCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MeasuringRoute, NoCounterReportsZeroInEveryMode) {
    qel::emulation().counter_frequency = [](int64_t* value) { return *value = 0, false; };
    for (const char* mode : {"0", "1", "2", "3"})
        EXPECT_EQ(Speed(mode), 0u) << mode;
}

TEST_F(MeasuringRoute, RealClocksAgreeWithTheReference) {
    const double reference = speed_e2e::ReferenceMhz();
    const uint32_t mhz = Speed("1");
    EXPECT_NEAR(mhz, reference, reference * 0.02);
    // 10000 counts of 10 MHz; a slow or preempted last read lengthens a run, and the cycles
    // with it, so the shortest of a few calls is taken
    uint32_t ticks = UINT32_MAX;
    uint32_t cycles = UINT32_MAX;
    for (int call = 0; call < 5; ++call) {
        ticks = std::min(ticks, Speed("2"));
        cycles = std::min(cycles, Speed("3"));
    }
    EXPECT_GE(ticks, 1000u);
    EXPECT_LE(ticks, 1100u);
    EXPECT_GE(cycles, reference * 1000 * 0.98);
    EXPECT_LE(cycles, reference * 1100 * 1.02);
    // the nominal rating is at least the rate less the tolerance, at most one step above
    const uint32_t nominal = Speed("0");
    EXPECT_GE(nominal + 5, reference * 0.98);
    EXPECT_LE(nominal, reference * 1.02 + 200);
}

}  // namespace
