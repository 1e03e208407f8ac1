// ccpuspeed over scripted clocks and stamps: the route of the processors qemu does not
// model, what each mode reports, the one-second route's stamps, and the sample it keeps.
// The routes of qemu's models, the mode checks and the timer readings are proven through
// the real DLL (tests/speed, tests/host).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cpuid/vendor_state.h"
#include "extender/script_functions.h"
#include "speed/cpu_speed.h"
#include "tests/support/script_call.h"
#include "tests/support/scripted_clocks.h"

namespace {

using fake::LegacyClass;
using namespace speed_test;
using script_call::CallScript;

class CpuSpeedTest : public speed_test::SpeedTest {};

// ---- which route each processor takes ----

enum class Route { kMeasuring, kOneSecond, kNone };

struct RouteCase {
    const char* name;
    void (*setup)();
    Route route;
    uint32_t mode1;  // what mode 1 reports with the clocks below
    uint32_t counter_step = 10000;
    friend void PrintTo(const RouteCase& c, std::ostream* out) { *out << c.name; }
};

// Measuring: three runs of 2998000 cycles over 1000 us, or the scan loop over 3800 us.
// One second: 1802000000 cycles.
const RouteCase kRouteCases[] = {
    {"Cyrix", [] { UseProcessor("CyrixInstead", 5); }, Route::kOneSecond, 1802},
    {"Centaur", [] { UseProcessor("CentaurHauls", 6); }, Route::kMeasuring, 2998},
    {"LowerCaseIntel", [] { UseProcessor("genuineintel", 6); }, Route::kMeasuring, 2998},
    // no CPUID and a division that clears the zero flag: measured by the scan loop
    {"Legacy80486", [] { UseLegacyProcessor(LegacyClass::k80486); }, Route::kMeasuring, 49, 38000},
    // a clone that cannot execute CPUID or RDTSC counts nothing
    {"LegacyClone", [] { UseLegacyProcessor(LegacyClass::k80486, true); }, Route::kNone, 0},
    {"AmdWithoutTimeStamp", [] { UseProcessor("AuthenticAMD", 5, false); }, Route::kNone, 0},
};

class CpuSpeedRouteTest : public speed_test::SpeedTestWithParam<RouteCase> {};

TEST_P(CpuSpeedRouteTest, ChoosesTheRouteByVendor) {
    const RouteCase& c = GetParam();
    c.setup();
    speed_test::UseSteppingCounter(0, c.counter_step);
    UseRunCycles({2998000, 2998000, 2998000});
    UseTimerReadings({100, 102, 1103});
    if (c.route == Route::kOneSecond)
        UseTimeStamps({5000, 5000 + 1802000000ull});

    const auto outcome = CallScript(ccpuspeed, {"1"});
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.result_type, 1);
    EXPECT_EQ(outcome.value, c.mode1);
    const auto& cpu = fake::processor();
    EXPECT_EQ(cpu.cpuid_executed_without_cpuid, 0);
    EXPECT_EQ(fake::services().multimedia_time_reads > 0, c.route == Route::kOneSecond);
    EXPECT_EQ(fake::services().counter_frequency_reads, c.route == Route::kMeasuring ? 1 : 0);
    if (c.route == Route::kNone) {
        EXPECT_EQ(cpu.time_stamp_reads, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Vendors, CpuSpeedRouteTest, testing::ValuesIn(kRouteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the modes, on each route ----

struct ModeCase {
    const char* text;
    uint32_t measuring;   // Intel family 15 measuring 2998 MHz: 3000 nominal, 1000 us
    uint32_t one_second;  // 1802000000 cycles over 1001 ms
    friend void PrintTo(const ModeCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }
};

const ModeCase kModeCases[] = {
    {"0", 3000, 1802},          {"1", 2998, 1802},  {"2", 1000, 1001},  {"3", 2998000, 1802000000},
    {"7", 3000, 1802},          {"-1", 3000, 1802}, {" 2", 1000, 1001}, {"+3", 2998000, 1802000000},
    {"4294967298", 1000, 1001}, {"-", 3000, 1802},  {" ", 3000, 1802},
};

class CpuSpeedModeTest : public speed_test::SpeedTestWithParam<ModeCase> {};

TEST_P(CpuSpeedModeTest, MeasuringRouteFigure) {
    UseProcessor("GenuineIntel", 15);
    UseRunCycles({2998000, 2998000, 2998000});
    const auto outcome = CallScript(ccpuspeed, {GetParam().text});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.value, GetParam().measuring);
}

TEST_P(CpuSpeedModeTest, OneSecondRouteFigure) {
    UseProcessor("AuthenticAMD", 15);
    UseTimerReadings({100, 101, 102, 600, 1102, 1103});
    UseTimeStamps({7, 7 + 1802000000ull});
    const auto outcome = CallScript(ccpuspeed, {GetParam().text});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.value, GetParam().one_second);
}

INSTANTIATE_TEST_SUITE_P(Modes, CpuSpeedModeTest, testing::ValuesIn(kModeCases));

// ---- the one-second route: interval, stamps, wrap ----

struct OneSecondCase {
    const char* name;
    std::vector<uint32_t> timer;
    uint64_t start_stamp;
    uint64_t cycles;
    uint32_t mhz;
    uint32_t milliseconds;
    uint32_t low_cycles;
    friend void PrintTo(const OneSecondCase& c, std::ostream* out) { *out << c.name; }
};

const OneSecondCase kOneSecondCases[] = {
    // the stamps' low halves wrap, the difference does not care
    {"StampsWrap", {100, 102, 1103}, 0x1FFFFFF00ull, 2000000000, 2000, 1001, 2000000000},
    // above 4294 MHz the count needs all 64 bits; mode 3 still reports the low half
    {"Above4294Mhz", {100, 102, 1103}, 7, 5000000000ull, 5000, 1001, 705032704},
    {"JustBelow1Mhz", {100, 102, 1103}, 7, 999999, 0, 1001, 999999},
};

class CpuSpeedOneSecondTest : public speed_test::SpeedTestWithParam<OneSecondCase> {};

TEST_P(CpuSpeedOneSecondTest, CountsCyclesOverTheInterval) {
    const OneSecondCase& c = GetParam();
    const std::pair<const char*, uint32_t> modes[] = {
        {"0", c.mhz}, {"1", c.mhz}, {"2", c.milliseconds}, {"3", c.low_cycles}, {"9", c.mhz}};
    for (const auto& [mode, expected] : modes) {
        SetUp();
        UseProcessor("CyrixInstead", 6);
        UseTimerReadings(c.timer);
        UseTimeStamps({c.start_stamp, c.start_stamp + c.cycles});
        EXPECT_EQ(CallScript(ccpuspeed, {mode}).value, expected) << "mode " << mode;
    }
}

INSTANTIATE_TEST_SUITE_P(Intervals, CpuSpeedOneSecondTest, testing::ValuesIn(kOneSecondCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CpuSpeedTest, OneSecondStampsAreFencedByCpuid) {
    UseProcessor("AuthenticAMD", 6);
    // CPUID executions counted at each timer read and each stamp
    std::vector<std::pair<char, int>> reads;
    auto timer = std::make_shared<std::vector<uint32_t>>(
        std::vector<uint32_t>{100, 101, 102, 900, 1102, 1103});
    fake::services().multimedia_time = [&reads, timer] {
        reads.push_back({'M', fake::processor().cpuid_executions});
        uint32_t value = timer->front();
        timer->erase(timer->begin());
        return value;
    };
    auto stamps = std::make_shared<std::vector<uint64_t>>(std::vector<uint64_t>{5, 1802000005});
    fake::processor().time_stamp = [&reads, stamps] {
        reads.push_back({'T', fake::processor().cpuid_executions});
        uint64_t value = stamps->front();
        stamps->erase(stamps->begin());
        return value;
    };
    EXPECT_EQ(CallScript(ccpuspeed, {"2"}).value, 1001u);
    std::string order;
    for (const auto& read : reads)
        order += read.first;
    EXPECT_EQ(order, "MMMTMMMT");
    ASSERT_EQ(reads.size(), 8u);
    // one CPUID between the last timer read and each stamp, and nothing after
    EXPECT_EQ(reads[3].second - reads[2].second, 1);
    EXPECT_EQ(reads[7].second - reads[6].second, 1);
    EXPECT_EQ(reads[7].second, fake::processor().cpuid_executions);
}

// ---- the measuring route keeps its sample; every call measures afresh ----

TEST_F(CpuSpeedTest, EachCallMeasuresAndStoresItsSample) {
    UseProcessor("GenuineIntel", 15);
    UseRunCycles({2998000, 2998000, 2998000});
    EXPECT_EQ(CallScript(ccpuspeed, {"0"}).value, 3000u);
    EXPECT_EQ(LastSpeedSample.cycles, 2998000u);
    EXPECT_EQ(LastSpeedSample.ticks, 1000u);
    EXPECT_EQ(LastSpeedSample.freq, 2998u);
    EXPECT_EQ(LastSpeedSample.nominal_freq, 3000);

    UseRunCycles({3106000, 3106000, 3106000}, 0xFFFFFFFF00ull);
    EXPECT_EQ(CallScript(ccpuspeed, {"1"}).value, 3106u);
    EXPECT_EQ(LastSpeedSample.nominal_freq, 3200);
    EXPECT_EQ(fake::processor().time_stamp_reads, 12);

    // a failed measurement stores the zero sample and reports 0 in every mode
    fake::services().counter_frequency = [](uint64_t*) { return false; };
    for (const char* mode : {"0", "1", "2", "3"}) {
        EXPECT_EQ(CallScript(ccpuspeed, {mode}).value, 0u) << mode;
    }
    EXPECT_EQ(LastSpeedSample.cycles, 0u);
    EXPECT_EQ(LastSpeedSample.nominal_freq, 0);
}

TEST_F(CpuSpeedTest, OneSecondRouteLeavesTheLastSampleAlone) {
    UseProcessor("GenuineIntel", 6);
    UseRunCycles({2000000, 2000000, 2000000});
    CallScript(ccpuspeed, {"1"});
    UseProcessor("AuthenticAMD", 6);
    UseTimerReadings({100, 102, 1103});
    UseTimeStamps({0, 1802000000});
    EXPECT_EQ(CallScript(ccpuspeed, {"1"}).value, 1802u);
    EXPECT_EQ(LastSpeedSample.freq, 2000u);
}

TEST_F(CpuSpeedTest, RefreshesTheVendorStateFirst) {
    UseProcessor("GenuineIntel", 6);
    UseRunCycles({2000000, 2000000, 2000000});
    CallScript(ccpuspeed, {"1"});
    // a stale Intel identification must not send an AMD processor down the measuring route
    UseProcessor("AuthenticAMD", 6);
    IntelMatch = 1;
    CloneFlag = 0;
    UseTimerReadings({100, 102, 1103});
    UseTimeStamps({0, 1802000000});
    EXPECT_EQ(CallScript(ccpuspeed, {"1"}).value, 1802u);
    EXPECT_EQ(CloneFlag, 1u);
    EXPECT_EQ(IntelMatch, 0u);
}

}  // namespace
