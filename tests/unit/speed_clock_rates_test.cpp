// ccpuspeed on simulated machines at clock rates from 16 MHz to 6 GHz, idle and loaded: both
// routes, all four modes, each figure what the rate implies. Above 2147 MHz one second of
// cycles is negative as a signed 32-bit value; above 4294 MHz its low half wraps.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "extender/script_functions.h"
#include "speed/cpu_speed.h"
#include "tests/support/script_call.h"
#include "tests/support/scripted_clocks.h"
#include "tests/support/simulated_machine.h"

namespace {

using script_call::CallScript;
using speed_test::SimulatedMachine;

struct ClockRateCase {
    const char* name;
    uint64_t mhz;
    uint64_t preempt_every;  // 0: an idle machine
    // The measuring route (an Intel family 15): its rating, the lowest of its list below the
    // list; 0 above the list, where the rating is the measured rate itself.
    uint32_t nominal;
    friend void PrintTo(const ClockRateCase& c, std::ostream* out) { *out << c.name; }
};

const ClockRateCase kClockRateCases[] = {
    {"Mhz16", 16, 0, 1400},
    {"Mhz2600", 2600, 0, 2600},
    {"Mhz4500", 4500, 0, 0},
    {"Mhz6000", 6000, 0, 0},
    // a loaded machine: every 997th clock read held up by 3 ms
    {"Mhz2600Loaded", 2600, 997, 2600},
    {"Mhz6000Loaded", 6000, 997, 0},
};

class ClockRateTest : public speed_test::SpeedTestWithParam<ClockRateCase> {
  protected:
    // A fresh machine for each call: every call measures afresh.
    uint32_t Speed(const char* vendor, const char* mode) {
        SetUp();
        speed_test::UseProcessor(vendor, 15);
        auto machine = std::make_shared<SimulatedMachine>();
        machine->mhz = GetParam().mhz;
        machine->preempt_every = GetParam().preempt_every;
        machine->preempt_ns = 3'000'000;
        speed_test::UseSimulatedMachine(machine);
        const auto outcome = CallScript(ccpuspeed, {mode});
        EXPECT_EQ(outcome.status, 0) << vendor << " mode " << mode;
        return outcome.value;
    }
};

// 10000 counts of the 10 MHz counter are 1000 us, on an idle machine exactly; a held-up read
// lengthens a run, whose count then converts to whole microseconds with a remainder: runs that
// agree give a rate within 1 MHz.
TEST_P(ClockRateTest, MeasuringRouteReportsTheRate) {
    const ClockRateCase& c = GetParam();
    const bool idle = c.preempt_every == 0;
    const uint32_t mhz = Speed("GenuineIntel", "1");
    const uint32_t microseconds = Speed("GenuineIntel", "2");
    const uint32_t cycles = Speed("GenuineIntel", "3");
    if (idle) {
        EXPECT_EQ(mhz, c.mhz);
        EXPECT_EQ(microseconds, 1000u);
        EXPECT_EQ(cycles, c.mhz * 1000);
    } else {
        EXPECT_NEAR(mhz, c.mhz, 1);
        EXPECT_GE(microseconds, 1000u);
        // one run's cycles over its truncated microseconds: up to one microsecond's share more
        EXPECT_NEAR(double(cycles) / microseconds, c.mhz, double(c.mhz) / microseconds + 1);
    }
    EXPECT_EQ(Speed("GenuineIntel", "0"), c.nominal != 0 ? c.nominal : mhz);
}

// Cycles over the interval the timer saw, just over one second (longer where a read was held
// up), with no correction: the MHz from all 64 bits, mode 3 the low 32 (past 4294 MHz they wrap).
TEST_P(ClockRateTest, OneSecondRouteCountsTheRate) {
    const ClockRateCase& c = GetParam();
    const uint64_t interval = Speed("AuthenticAMD", "2");
    if (c.preempt_every == 0) {
        EXPECT_EQ(interval, 1001u);
    } else {
        EXPECT_GE(interval, 1001u);
    }
    const uint64_t cycles = c.mhz * interval * 1000;
    EXPECT_EQ(Speed("AuthenticAMD", "0"), cycles / 1'000'000);
    EXPECT_EQ(Speed("AuthenticAMD", "1"), cycles / 1'000'000);
    EXPECT_EQ(Speed("AuthenticAMD", "3"), static_cast<uint32_t>(cycles));
}

INSTANTIATE_TEST_SUITE_P(Rates, ClockRateTest, testing::ValuesIn(kClockRateCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
