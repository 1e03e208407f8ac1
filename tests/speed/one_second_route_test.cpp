// ccpuspeed's one-second route through the real DLL, on clones with a time-stamp counter:
// the interval by a scripted timer, and the rate over the real one.
#include "tests/support/e2e_support.h"

namespace {

using speed_e2e::SpeedDllTest;

class OneSecondRoute : public SpeedDllTest {
  protected:
    void SetUp() override {
        SpeedDllTest::SetUp();
        if (!speed_e2e::IsClone(processor_) || !processor_.time_stamp) {
            GTEST_SKIP() << processor_.vendor << " does not take the one-second route";
        }
    }
};

struct TimerCase {
    const char* name;
    std::vector<uint32_t> readings;
    uint32_t milliseconds;
};

const TimerCase kTimerCases[] = {
    {"OneMillisecondSteps", {100, 101, 102, 103, 1102, 1103}, 1001},
    {"SixteenMillisecondSteps", {160, 160, 176, 192, 1168, 1184}, 1008},
    {"Wraps", {0xFFFFFE00, 0xFFFFFE02, 0xFFFFFFFF, 0, 0x1EB}, 1001},
    {"StepsBack", {1000, 999, 1002, 1500, 2003}, 1001},
};

class OneSecondTimer : public OneSecondRoute, public testing::WithParamInterface<TimerCase> {};

TEST_P(OneSecondTimer, IntervalByTheTimer) {
    int timer_reads = 0;
    int counter_reads = 0;
    qel::emulation().multimedia_time = speed_e2e::Readings(GetParam().readings, &timer_reads);
    speed_e2e::UseSteppingCounter(10000000, 10000, &counter_reads);
    EXPECT_EQ(Speed("2"), GetParam().milliseconds);
    EXPECT_EQ(timer_reads, static_cast<int>(GetParam().readings.size()));
    EXPECT_EQ(counter_reads, 0);
}

INSTANTIATE_TEST_SUITE_P(Timers, OneSecondTimer, testing::ValuesIn(kTimerCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Between the stamps only three scripted timer reads run: at most a tenth of a second of
// this machine's cycles, however fast it runs and however loaded it is.
TEST_F(OneSecondRoute, ScriptedTimerCountsFewRealCycles) {
    const double tenth_second_cycles = speed_e2e::ReferenceMhz() * 100000;
    int timer_reads = 0;
    qel::emulation().multimedia_time = speed_e2e::Readings({100, 102, 1103}, &timer_reads);
    EXPECT_LT(Speed("3"), tenth_second_cycles);
    qel::emulation().multimedia_time = speed_e2e::Readings({100, 102, 1103}, &timer_reads);
    EXPECT_LT(Speed("1"), tenth_second_cycles / 1e6);
}

TEST_F(OneSecondRoute, RealTimerGivesTheClockRate) {
    const double reference = speed_e2e::ReferenceMhz();
    uint64_t start = speed_e2e::MonotonicNanoseconds();
    const uint32_t mhz = Speed("1");
    double elapsed_ms = (speed_e2e::MonotonicNanoseconds() - start) / 1e6;
    EXPECT_GE(elapsed_ms, 1001);
    // counted over a little more than a second, uncorrected: never more than the call lasted
    EXPECT_GE(mhz, reference * 0.98);
    EXPECT_LE(mhz, reference * elapsed_ms / 1000 * 1.02);

    start = speed_e2e::MonotonicNanoseconds();
    const uint32_t milliseconds = Speed("2");
    elapsed_ms = (speed_e2e::MonotonicNanoseconds() - start) / 1e6;
    EXPECT_GE(milliseconds, 1001u);
    EXPECT_LE(milliseconds, elapsed_ms + 1);
}

}  // namespace
