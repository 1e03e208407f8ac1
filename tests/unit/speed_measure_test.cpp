// MeasureSpeed over scripted clocks: when nothing is measured, the scan loop's cost per type,
// the time-stamp runs with their agreement rule, the order of the trace and the tightness of
// the timed stretch. Odd counter rates are converted in speed_arithmetic_test and, through
// the real DLL, in tests/speed.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "speed/measure_speed.h"
#include "tests/support/scripted_clocks.h"

namespace {

using fake::LegacyClass;
using namespace speed_test;

class MeasureSpeedTest : public speed_test::SpeedTest {};

bool IsZero(const SpeedSample& s) {
    return s.cycles == 0 && s.ticks == 0 && s.freq == 0 && s.nominal_freq == 0;
}

// ---- the zero sample, for each cause ----

enum class Reached { kNothing, kFrequency, kTooOld };

struct ZeroCase {
    const char* name;
    void (*setup)();
    int32_t iteration_cycles;
    Reached reached;  // how far the measurement got before giving up
    friend void PrintTo(const ZeroCase& c, std::ostream* out) { *out << c.name; }
};

const ZeroCase kZeroCases[] = {
    {"AmdClone", [] { UseProcessor("AuthenticAMD", 5); }, 0, Reached::kNothing},
    {"CyrixClone", [] { UseProcessor("CyrixInstead", 6); }, 150, Reached::kNothing},
    {"NoLeafOne", [] { fake::processor().highest_basic_leaf = 0; }, 0, Reached::kNothing},
    {"LegacyClone", [] { UseLegacyProcessor(LegacyClass::k80486, true); }, 0, Reached::kNothing},
    {"Cycles151", [] {}, 151, Reached::kNothing},
    {"CyclesMinus1", [] {}, -1, Reached::kNothing},
    {"CyclesMostNegative", [] {}, INT32_MIN, Reached::kNothing},
    {"NoCounter", [] { fake::services().counter_frequency = [](uint64_t*) { return false; }; }, 0,
     Reached::kFrequency},
    {"CounterFrequencyLowHalfZero", [] { UseCounterFrequency(0x100000000ull); }, 0,
     Reached::kFrequency},
    {"CounterFrequencyZero", [] { UseCounterFrequency(0); }, 0, Reached::kFrequency},
    {"Legacy80286", [] { UseLegacyProcessor(LegacyClass::k80286); }, 0, Reached::kTooOld},
    {"Legacy8086", [] { UseLegacyProcessor(LegacyClass::k8086); }, 0, Reached::kTooOld},
    {"Legacy80286Forced", [] { UseLegacyProcessor(LegacyClass::k80286); }, 47, Reached::kTooOld},
    {"Family2WithoutTimeStamp", [] { UseProcessor("GenuineIntel", 2, false); }, 0,
     Reached::kTooOld},
    {"Family1Forced", [] { UseProcessor("GenuineIntel", 1); }, 100, Reached::kTooOld},
};

class MeasureZeroSampleTest : public speed_test::SpeedTestWithParam<ZeroCase> {};

TEST_P(MeasureZeroSampleTest, MeasuresNothing) {
    const ZeroCase& c = GetParam();
    c.setup();
    const SpeedSample sample = MeasureSpeed(c.iteration_cycles);
    EXPECT_TRUE(IsZero(sample)) << sample.cycles << " " << sample.ticks << " " << sample.freq;
    EXPECT_EQ(fake::services().counter_frequency_reads, c.reached == Reached::kNothing ? 0 : 1);
    EXPECT_EQ(fake::services().counter_reads, 0);
    EXPECT_EQ(fake::processor().time_stamp_reads, 0);
    EXPECT_EQ(fake::processor().scan_loop_runs, 0);
    EXPECT_EQ(fake::processor().cpuid_executed_without_cpuid, 0);
    EXPECT_EQ(TracedValues("Processor too old to tell").size(), c.reached == Reached::kTooOld);
}

INSTANTIATE_TEST_SUITE_P(Causes, MeasureZeroSampleTest, testing::ValuesIn(kZeroCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the scan loop: cost per processor type, and the fastest of ten timings ----

struct ScanCase {
    const char* name;
    void (*setup)();
    int32_t iteration_cycles;
    uint32_t cycles;
    uint32_t freq;  // cycles over 3800 microseconds, rounded
    int32_t nominal;
    friend void PrintTo(const ScanCase& c, std::ostream* out) { *out << c.name; }
};

const ScanCase kScanCases[] = {
    {"Legacy80386", [] { UseLegacyProcessor(LegacyClass::k80386); }, 0, 460000, 121, 121},
    {"Legacy80486", [] { UseLegacyProcessor(LegacyClass::k80486); }, 0, 188000, 49, 50},
    {"Family4", [] { UseProcessor("GenuineIntel", 4, false); }, 0, 188000, 49, 50},
    {"Family5", [] { UseProcessor("GenuineIntel", 5, false); }, 0, 172000, 45, 60},
    {"Family6", [] { UseProcessor("GenuineIntel", 6, false); }, 0, 152000, 40, 133},
    {"Family9", [] { UseProcessor("GenuineIntel", 9, false); }, 0, 152000, 40, 40},
    {"Family15", [] { UseProcessor("GenuineIntel", 15, false); }, 0, 152000, 40, 1400},
    {"UnknownVendorFamily15", [] { UseProcessor("HygonGenuine", 15, false); }, 0, 152000, 40, 1400},
    // stated cycles force the scan loop even with a time-stamp counter
    {"Forced150", [] { UseProcessor("GenuineIntel", 6); }, 150, 600000, 158, 166},
    {"Forced1", [] { UseLegacyProcessor(LegacyClass::k80386); }, 1, 4000, 1, 16},
    {"Forced115On80486", [] { UseLegacyProcessor(LegacyClass::k80486); }, 115, 460000, 121, 121},
};

class MeasureScanLoopTest : public speed_test::SpeedTestWithParam<ScanCase> {};

TEST_P(MeasureScanLoopTest, CostPerPassByType) {
    const ScanCase& c = GetParam();
    c.setup();
    UseSteppingCounter(5, 38000);  // every timing 38000 counts of 10 MHz: 3800 us
    const SpeedSample sample = MeasureSpeed(c.iteration_cycles);
    EXPECT_EQ(sample.cycles, c.cycles);
    EXPECT_EQ(sample.ticks, 3800u);
    EXPECT_EQ(sample.freq, c.freq);
    EXPECT_EQ(sample.nominal_freq, c.nominal);
    EXPECT_EQ(fake::processor().scan_loop_runs, 10);
    EXPECT_EQ(fake::processor().time_stamp_reads, 0);
    EXPECT_EQ(Events(), std::string(20, 'C'));
}

INSTANTIATE_TEST_SUITE_P(Types, MeasureScanLoopTest, testing::ValuesIn(kScanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MeasureSpeedTest, ScanLoopKeepsTheFastestTimingAcrossAWrap) {
    UseLegacyProcessor(LegacyClass::k80486);
    // One pair of readings per timing; the fastest crosses the 32-bit boundary.
    const uint64_t timings[][2] = {
        {100, 40100}, {7, 39007},         {0x1FFFFF000ull, 0x200008000ull},
        {0, 37000},   {9, 0xFFFFFFFFull}, {50, 38050},
        {1, 40001},   {2, 40002},         {3, 40003},
        {4, 40004}};
    std::vector<uint64_t> readings;
    for (const auto& timing : timings)
        readings.insert(readings.end(), {timing[0], timing[1]});
    UseCounterReadings(readings);
    const SpeedSample sample = MeasureSpeed(0);
    EXPECT_EQ(TracedValues("current"),
              (std::vector<uint32_t>{40000, 39000, 36864, 37000, 0xFFFFFFF6, 38000, 40000, 40000,
                                     40000, 40000}));
    EXPECT_EQ(TracedValues("ticks").front(), 36864u);
    EXPECT_EQ(sample.ticks, 3686u);  // 3686.4 us
    EXPECT_EQ(sample.freq, 51u);     // 188000 / 3686, remainder 14
    EXPECT_EQ(sample.nominal_freq, 50);
}

// ---- the time-stamp method: agreement, the cap of twenty runs, the rounded mean ----

struct RunsCase {
    const char* name;
    std::vector<uint32_t> cycles_per_run;  // each run 10000 counts of 10 MHz: 1000 us
    int runs;
    uint32_t freq;
    friend void PrintTo(const RunsCase& c, std::ostream* out) { *out << c.name; }
};

std::vector<uint32_t> Alternating(int runs, uint32_t odd, uint32_t even) {
    std::vector<uint32_t> cycles;
    for (int run = 1; run <= runs; ++run)
        cycles.push_back(run % 2 ? odd : even);
    return cycles;
}

const RunsCase kRunsCases[] = {
    {"AgreeWithinOne", {2000000, 2001000, 2002000}, 3, 2001},
    {"AlwaysThreeRuns", {2000000, 2000000, 2000000}, 3, 2000},
    {"OffByFourRunsAgain", {2000000, 2000000, 2002000, 2001000}, 4, 2001},
    {"MeanRoundsDown", {2001000, 2001000, 2002000}, 3, 2001},
    {"MeanRoundsUp", {2001000, 2002000, 2002000}, 3, 2002},
    {"SettlesLate", {1000000, 5000000, 2000000, 2000000, 2000000}, 5, 2000},
    {"RateHalfKept", {2000500, 2000501, 2000500}, 3, 2000},
    {"NeverAgree", Alternating(20, 1000000, 2000000), 20, 1667},
    {"AgreeOnTheTwentieth",
     [] {
         auto cycles = Alternating(17, 1000000, 3000000);
         cycles.insert(cycles.end(), {2000000, 2000000, 2000000});
         return cycles;
     }(),
     20, 2000},
};

class MeasureTimeStampRunsTest : public speed_test::SpeedTestWithParam<RunsCase> {};

TEST_P(MeasureTimeStampRunsTest, RepeatsUntilThreeAgree) {
    const RunsCase& c = GetParam();
    UseProcessor("GenuineIntel", 6);
    UseRunCycles(c.cycles_per_run);
    const SpeedSample sample = MeasureSpeed(0);
    EXPECT_EQ(fake::processor().time_stamp_reads, 2 * c.runs);
    EXPECT_EQ(TracedValues("tries").size(), static_cast<size_t>(c.runs));
    EXPECT_EQ(sample.freq, c.freq);
    EXPECT_EQ(sample.cycles, c.cycles_per_run[c.runs - 1]);  // those of the last run
    EXPECT_EQ(sample.ticks, 1000u);
    EXPECT_EQ(sample.nominal_freq, static_cast<int32_t>(c.freq));  // above family 6's list
}

INSTANTIATE_TEST_SUITE_P(Runs, MeasureTimeStampRunsTest, testing::ValuesIn(kRunsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the trace, label by label ----

const char* const kStartRun =
    "Start run *******************************************************************";
const char* const kNewRun = "Starting new run thru DO loop -------------------------------------";
const char* const kResults = "Results............................................";

std::vector<std::string> ExpectedTimeStampTrace(int runs) {
    std::vector<std::string> labels = {kStartRun, "cycles A", "count_freq.HighPart",
                                       "count_freq.LowPart", "Read Time Stamp Supported"};
    for (int run = 0; run < runs; ++run) {
        labels.insert(labels.end(),
                      {kNewRun, "tries", "freq", "freq2", "freq3", "cycles B", "t0.HighPart",
                       "t0.LowPart", "t1.HighPart", "t1.LowPart", "ticks X1", "ticks X2",
                       "ticks X3", "ticks X4", "cycles X4", "freq X4", "total"});
    }
    labels.insert(labels.end(), {"Out of DO loop -------------------------", "freq", kResults,
                                 "cycles", "ticks", "freq", "NormFreq(processor, freq)"});
    return labels;
}

TEST_F(MeasureSpeedTest, TimeStampTraceInOrderWithItsValues) {
    UseProcessor("GenuineIntel", 15);
    UseCounterFrequency(0x200000000ull + 3000000);
    UseSteppingCounter(0x7FFFFFFFFFFFull - 15000, 10001);
    UseRunCycles({6668000, 6667000, 6668000});
    MeasureSpeed(0);
    EXPECT_EQ(TraceLabels(), ExpectedTimeStampTrace(3));
    EXPECT_EQ(TracedValues("cycles A"), std::vector<uint32_t>{152000});
    EXPECT_EQ(TracedValues("count_freq.HighPart"), std::vector<uint32_t>{2});
    EXPECT_EQ(TracedValues("count_freq.LowPart"), std::vector<uint32_t>{3000000});
    EXPECT_EQ(TracedValues("Read Time Stamp Supported"), std::vector<uint32_t>{1});
    EXPECT_EQ(TracedValues("tries"), (std::vector<uint32_t>{1, 2, 3}));
    // before each run: the shifted rates; after the loop the mean, then the result
    EXPECT_EQ(TracedValues("freq"), (std::vector<uint32_t>{0, 2001, 2000, 2001, 2001}));
    EXPECT_EQ(TracedValues("freq2"), (std::vector<uint32_t>{0, 2001, 2000}));
    EXPECT_EQ(TracedValues("freq3"), (std::vector<uint32_t>{0, 0, 2001}));
    EXPECT_EQ(TracedValues("cycles B"), (std::vector<uint32_t>{6668000, 6667000, 6668000}));
    // the first run's timed stretch crosses into the next high half
    EXPECT_EQ(TracedValues("t0.HighPart").front(), 0x7FFFu);
    EXPECT_EQ(TracedValues("t0.LowPart").front(), 0xFFFFFFFFu - 4999);
    EXPECT_EQ(TracedValues("t1.HighPart").front(), 0x8000u);
    EXPECT_EQ(TracedValues("t1.LowPart").front(), 5001u);
    EXPECT_EQ(TracedValues("ticks X2").front(), 1000100000u);
    EXPECT_EQ(TracedValues("ticks X3").front(), 3333u);
    EXPECT_EQ(TracedValues("ticks X4").front(), 3333u);
    EXPECT_EQ(TracedValues("cycles X4"), (std::vector<uint32_t>{6668000, 6667000, 6668000}));
    EXPECT_EQ(TracedValues("freq X4"), (std::vector<uint32_t>{2000, 2000, 2000}));
    EXPECT_EQ(TracedValues("total"), (std::vector<uint32_t>{2001, 4001, 6002}));
    EXPECT_EQ(TracedValues("ticks"), std::vector<uint32_t>{3333});
    EXPECT_EQ(TracedValues("cycles"), std::vector<uint32_t>{6668000});
    EXPECT_EQ(TracedValues("NormFreq(processor, freq)"), std::vector<uint32_t>{2000});
}

TEST_F(MeasureSpeedTest, RaisedTicksTracedBetweenX2AndX3) {
    UseProcessor("GenuineIntel", 6);
    UseCounterFrequency(3000000);
    UseSteppingCounter(0, 42950);
    UseRunCycles({2000, 2000, 2000});
    MeasureSpeed(0);
    const auto labels = TraceLabels();
    auto x2 = std::find(labels.begin(), labels.end(), "ticks X2");
    ASSERT_NE(x2, labels.end());
    EXPECT_EQ(*(x2 + 1), "ticks X2.5 - ticks was 0.  Forced to 1");
    EXPECT_EQ(*(x2 + 2), "ticks X3");
    EXPECT_EQ(TracedValues("ticks X2.5 - ticks was 0.  Forced to 1").front(), 1u);
}

TEST_F(MeasureSpeedTest, ScanLoopAndTooOldTraces) {
    UseLegacyProcessor(LegacyClass::k80486);
    MeasureSpeed(0);
    std::vector<std::string> expected = {kStartRun, "cycles A", "count_freq.HighPart",
                                         "count_freq.LowPart", "Read Time Stamp NOT Supported"};
    expected.insert(expected.end(), 10, "current");
    expected.insert(expected.end(),
                    {"ticks", kResults, "cycles", "ticks", "freq", "NormFreq(processor, freq)"});
    EXPECT_EQ(TraceLabels(), expected);
    EXPECT_EQ(TracedValues("Read Time Stamp NOT Supported"), std::vector<uint32_t>{0});

    fake::Reset();
    UseLegacyProcessor(LegacyClass::k80286);
    MeasureSpeed(0);
    EXPECT_EQ(TraceLabels(),
              (std::vector<std::string>{kStartRun, "cycles A", "count_freq.HighPart",
                                        "count_freq.LowPart", "Processor too old to tell", kResults,
                                        "cycles", "ticks", "freq", "NormFreq(processor, freq)"}));
}

// ---- the timed stretch holds nothing but counter reads ----

struct TightCase {
    const char* name;
    uint32_t counter_step;
    size_t settle_reads;  // after the first reading
    size_t timed_reads;
    friend void PrintTo(const TightCase& c, std::ostream* out) { *out << c.name; }
};

const TightCase kTightCases[] = {
    {"FastCounter", 10000, 1, 1},
    {"SlowCounter", 7, 8, 1429},  // 56 >= 50 and 10003 >= 10000 counts
    {"ExactSteps", 50, 1, 200},
};

class MeasureTightStretchTest : public speed_test::SpeedTestWithParam<TightCase> {};

TEST_P(MeasureTightStretchTest, OnlyCounterReadsBetweenStamps) {
    const TightCase& c = GetParam();
    UseProcessor("GenuineIntel", 6);
    UseSteppingCounter(0, c.counter_step);
    // Nothing else runs between the stamps: in the DLL that is read off its disassembly
    // (tests/speed/check_timed_loops); here the reads are counted.
    auto stamp = std::make_shared<uint64_t>(0);
    fake::processor().time_stamp = [stamp] {
        Events() += 'T';
        return *stamp += 2000000;
    };
    MeasureSpeed(0);
    const std::string run =
        "C" + std::string(c.settle_reads, 'C') + "T" + std::string(c.timed_reads, 'C') + "T";
    EXPECT_EQ(Events(), run + run + run);
}

INSTANTIATE_TEST_SUITE_P(Counters, MeasureTightStretchTest, testing::ValuesIn(kTightCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MeasureSpeedTest, CounterAndStampsWrapWithinTheirLowHalves) {
    UseProcessor("GenuineIntel", 6);
    UseSteppingCounter(0xFFFFFFFFFFFFE000ull, 10000);
    // start stamps just below a 2^32 boundary, so each run's low halves wrap
    speed_test::UseTimeStamps({0x1FFFFFFF0ull, 0x2001E8470ull, 0x2FFFFFF00ull, 0x3001E8380ull,
                               0x4FFFFFFFFull, 0x5001E847Full});
    const SpeedSample sample = MeasureSpeed(0);
    EXPECT_EQ(TracedValues("ticks X1"), std::vector<uint32_t>(3, 10000));
    EXPECT_EQ(TracedValues("cycles B"), std::vector<uint32_t>(3, 2000000));
    EXPECT_EQ(sample.freq, 2000u);
    EXPECT_EQ(sample.nominal_freq, 2000);
}

}  // namespace
