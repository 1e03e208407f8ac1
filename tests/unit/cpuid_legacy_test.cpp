// Processors without CPUID: the division test for a clone, the cascade of flag-register
// probes, the signature form of the type, and what the probes leave behind.
#include <algorithm>

#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "cpuid/refresh_vendor_state.h"
#include "cpuid/signature.h"
#include "tests/support/cpuid_test_support.h"

namespace {

using namespace cpuid_test;
using fake::LegacyClass;

struct LegacyCase {
    LegacyClass legacy_class;
    bool division_keeps_zero_flag;
    uint16_t processor_type;
    uint16_t signature;
    // which probes the cascade runs before it stops
    bool runs_80286_probe;
    bool runs_80386_probe;
    friend void PrintTo(const LegacyCase& c, std::ostream* os) {
        *os << ClassName(c.legacy_class) << (c.division_keeps_zero_flag ? " clone" : "");
    }
};

const LegacyCase kLegacyCases[] = {
    {LegacyClass::k8086, false, 0x0000, 0x0000, false, false},
    {LegacyClass::k8086, true, 0x8000, 0x0000, false, false},
    {LegacyClass::k80286, false, 0x0002, 0x0200, true, false},
    {LegacyClass::k80286, true, 0x8002, 0x0200, true, false},
    {LegacyClass::k80386, false, 0x0003, 0x0300, true, true},
    {LegacyClass::k80386, true, 0x8003, 0x0300, true, true},
    {LegacyClass::k80486, false, 0x0004, 0x0400, true, true},
    {LegacyClass::k80486, true, 0x8004, 0x0400, true, true},
};

class LegacyProcessorTest : public FakeProcessorTableTest<LegacyCase> {
  protected:
    // Starts from an identification on a processor with CPUID, so that any write to the
    // rest of the vendor state shows.
    void UseIt(uint32_t clone_flag_before) {
        const LegacyCase& c = GetParam();
        UseProcessorWithCpuid("GenuineIntel", 1, 0x673, 0);
        RefreshVendorStateFromCpuid();
        UseProcessorWithoutCpuid(c.legacy_class, c.division_keeps_zero_flag);
        CloneFlag = clone_flag_before;
        fake::processor().operations.clear();
    }
    VendorState IntelStateWithClone(uint32_t clone) {
        VendorState s = IntelState();
        s.clone_flag = clone;
        return s;
    }
};

// The type, and the signature with the type in its family field; each runs the division once.
TEST_P(LegacyProcessorTest, TypeAndSignature) {
    const LegacyCase& c = GetParam();
    // CloneFlag starts opposite to what the division will say.
    UseIt(c.division_keeps_zero_flag ? 0 : 1);
    EXPECT_EQ(ReadProcessorTypeAndRefreshVendorState(), c.processor_type);
    EXPECT_EQ(CurrentVendorState(), IntelStateWithClone(c.division_keeps_zero_flag));
    EXPECT_EQ(fake::processor().division_probes, 1);

    UseIt(c.division_keeps_zero_flag ? 0 : 1);
    EXPECT_EQ(ReadSignatureAndRefreshVendorState(), c.signature);
    EXPECT_EQ(CurrentVendorState(), IntelStateWithClone(c.division_keeps_zero_flag));
}

TEST_P(LegacyProcessorTest, ReadFeatureFlagsIsZeroAndTouchesNothing) {
    const LegacyCase& c = GetParam();
    UseIt(c.division_keeps_zero_flag ? 0 : 1);

    EXPECT_EQ(ReadFeatureFlagsAndRefreshVendorState(), 0u);
    EXPECT_EQ(CurrentVendorState(), IntelStateWithClone(c.division_keeps_zero_flag ? 0 : 1));
    EXPECT_EQ(fake::processor().division_probes, 0);
}

TEST_P(LegacyProcessorTest, CascadeRunsTheDivisionFirstAndStopsAtTheFirstAnswer) {
    const LegacyCase& c = GetParam();
    UseIt(0);
    ReadProcessorTypeAndRefreshVendorState();

    const auto& ops = fake::processor().operations;
    const auto division = std::find(ops.begin(), ops.end(), "division");
    const auto first_flags16 = std::find(ops.begin(), ops.end(), "flags16 read");
    ASSERT_NE(division, ops.end());
    EXPECT_LT(division, first_flags16) << "the division test must come before any type probe";
    // Each 16-bit probe reads the flags once, before it writes them.
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "flags16 read"),
              (1 + c.runs_80286_probe) * 2 /* a read before, a read back after the write */);
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "flags32 toggle aligned"),
              c.runs_80386_probe ? 1 : 0);
}

TEST_P(LegacyProcessorTest, EveryCallRewritesCloneFlagFromTheDivision) {
    const LegacyCase& c = GetParam();
    UseIt(0);
    for (bool keeps :
         {c.division_keeps_zero_flag, !c.division_keeps_zero_flag, c.division_keeps_zero_flag}) {
        fake::processor().division_keeps_zero_flag = keeps;
        const uint16_t type = ReadProcessorTypeAndRefreshVendorState();
        EXPECT_EQ(CloneFlag, keeps ? 1u : 0u);
        EXPECT_EQ(type & 0x8000, keeps ? 0x8000 : 0);
        EXPECT_EQ(type & 0x7FFF, c.processor_type & 0x7FFF);
    }
}

// Values a probe might leave behind if it did not restore the flags: IOPL, NT and the
// arithmetic flags set or clear.
const uint32_t kStartingFlags[] = {0x00000202, 0x00007AD7, 0x00003202, 0x00000046};

TEST_P(LegacyProcessorTest, CascadeRestoresTheFlagsRegister) {
    UseIt(0);
    for (uint32_t start : kStartingFlags) {
        fake::processor().eflags = start;
        const uint32_t before = FlagsAsHeld();
        ReadProcessorTypeAndRefreshVendorState();
        EXPECT_EQ(fake::processor().eflags, before) << "from " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, LegacyProcessorTest, testing::ValuesIn(kLegacyCases));

// Each probe by itself, on every class it can meet: its answer on an 8086, 80286, 80386,
// 80486 and a processor with CPUID; -1 where the cascade never runs it.
struct ProbeCase {
    const char* name;
    uint16_t (*probe)();
    int32_t answers[5];
    friend void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }
};

const ProbeCase kProbeCases[] = {
    {"Probe8086", Probe8086, {0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
    {"Probe80286", Probe80286, {0xFFFF, 2, 0xFFFF, 0xFFFF, 0xFFFF}},
    {"Probe80386", Probe80386, {-1, -1, 3, 0xFFFF, 0xFFFF}},
};

class SingleProbeTest : public FakeProcessorTableTest<ProbeCase> {};

TEST_P(SingleProbeTest, Answers) {
    const ProbeCase& c = GetParam();
    auto& cpu = fake::processor();
    const LegacyClass classes[] = {LegacyClass::k8086, LegacyClass::k80286, LegacyClass::k80386,
                                   LegacyClass::k80486, LegacyClass::k80486};
    for (int i = 0; i < 5; ++i) {
        if (c.answers[i] < 0)
            continue;
        cpu.has_cpuid = i == 4;
        cpu.legacy_class = classes[i];
        for (uint32_t start : kStartingFlags) {
            SCOPED_TRACE(std::string(cpu.has_cpuid ? "CPUID" : ClassName(classes[i])) + " from " +
                         std::to_string(start));
            cpu.eflags = start;
            const uint32_t before = FlagsAsHeld();
            EXPECT_EQ(c.probe(), c.answers[i]);
            EXPECT_EQ(cpu.eflags, before) << "flags not restored";
        }
    }
    EXPECT_EQ(cpu.cpuid_executions, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, SingleProbeTest, testing::ValuesIn(kProbeCases));

class DivisionProbeTest : public FakeProcessorTest {};

TEST_F(DivisionProbeTest, AnswersOneOnlyWhenTheZeroFlagSurvives) {
    for (bool keeps : {false, true}) {
        fake::processor().division_keeps_zero_flag = keeps;
        EXPECT_EQ(ProbeDivisionFlags(), keeps ? 1 : 0);
    }
    EXPECT_EQ(fake::processor().division_probes, 2);
}

}  // namespace
