// The six identification functions, called through the dispatch export, on what the real
// DLL cannot meet (processors without CPUID, a negative highest leaf): the value each
// reports and what each leaves in the vendor state.
#include "cpuid/identify.h"
#include "tests/support/cpuid_test_support.h"

namespace {

using namespace cpuid_test;
using fake::LegacyClass;

struct FunctionsCase {
    const char* name;
    bool has_cpuid;
    LegacyClass legacy_class;
    bool division_keeps_zero_flag;
    // what ccpuid, ccpufeat, ccpuidext, ccpusupt, cclonecheck and cvendorid report
    uint32_t values[6];
    friend void PrintTo(const FunctionsCase& c, std::ostream* os) { *os << c.name; }
};

using ScriptFunction = int32_t (*)(const Call&);
const ScriptFunction kFunctions[6] = {ccpuid,   ccpufeat,    ccpuidext,
                                      ccpusupt, cclonecheck, cvendorid};

// Without CPUID the vendor code is never written: it stays "any other vendor".
const FunctionsCase kFunctionsCases[] = {
    {"Cyrix with a negative highest leaf",
     true,
     LegacyClass::k80486,
     false,
     {65535, 0, 0, 1, 1, 2}},
    {"8086", false, LegacyClass::k8086, false, {0, 0, 0, 0, 0, 0}},
    {"80286 clone", false, LegacyClass::k80286, true, {2, 0, 512, 0, 1, 0}},
    {"80486 clone", false, LegacyClass::k80486, true, {4, 0, 1024, 0, 1, 0}},
};

class IdentificationFunctionsTest : public FakeProcessorTableTest<FunctionsCase> {};

// Forwards, then backwards: no value depends on an earlier call.
TEST_P(IdentificationFunctionsTest, EachReportsItsValueInAnyOrder) {
    const FunctionsCase& c = GetParam();
    UseProcessorWithCpuid("NoVendorHere", 1, 0, 0);
    RefreshVendorStateFromCpuid();
    fake::Reset();
    if (c.has_cpuid) {
        UseProcessorWithCpuid("CyrixInstead", 0x80000001, 0x520, 1);
    } else {
        UseProcessorWithoutCpuid(c.legacy_class, c.division_keeps_zero_flag);
    }
    for (int i : {0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0})
        EXPECT_EQ(CallScriptFunction(kFunctions[i]), c.values[i]) << "function " << i;
}

INSTANTIATE_TEST_SUITE_P(Table, IdentificationFunctionsTest, testing::ValuesIn(kFunctionsCases));

// What each function leaves in the vendor state. The state starts as an AMD reading left
// it; then the processor becomes another one and one function runs.
struct SideEffectCase {
    const char* name;
    ScriptFunction function;
    bool rewrites_with_cpuid;
    bool sets_clone_without_cpuid;
    friend void PrintTo(const SideEffectCase& c, std::ostream* os) { *os << c.name; }
};

const SideEffectCase kSideEffectCases[] = {
    {"ccpuid", ccpuid, true, true},           {"ccpufeat", ccpufeat, true, false},
    {"ccpuidext", ccpuidext, true, true},     {"ccpusupt", ccpusupt, false, false},
    {"cclonecheck", cclonecheck, true, true}, {"cvendorid", cvendorid, true, true},
};

class SideEffectTest : public FakeProcessorTableTest<SideEffectCase> {
  protected:
    void StartFromAmd() {
        UseProcessorWithCpuid("AuthenticAMD", 1, 0x662, 0);
        RefreshVendorStateFromCpuid();
        fake::processor().cpuid_executions = 0;
        fake::processor().division_probes = 0;
    }
};

TEST_P(SideEffectTest, WithCpuid) {
    const SideEffectCase& c = GetParam();
    for (const char* vendor : {"GenuineIntel", "CentaurHauls"}) {
        SCOPED_TRACE(vendor);
        StartFromAmd();
        UseProcessorWithCpuid(vendor, 1, 0x673, 0);
        CallScriptFunction(c.function);
        const VendorState expected =
            std::string(vendor) == "GenuineIntel" ? IntelState() : OtherState("CentaurHauls");
        EXPECT_EQ(CurrentVendorState(), c.rewrites_with_cpuid ? expected : AmdState());
        EXPECT_EQ(fake::processor().cpuid_executions > 0, c.rewrites_with_cpuid);
    }
}

TEST_P(SideEffectTest, WithoutCpuid) {
    const SideEffectCase& c = GetParam();
    for (bool keeps : {false, true}) {
        SCOPED_TRACE(keeps ? "division keeps the zero flag" : "division clears it");
        StartFromAmd();
        CloneFlag = keeps ? 0 : 1;  // opposite to what the division says
        UseProcessorWithoutCpuid(LegacyClass::k80486, keeps);
        CallScriptFunction(c.function);
        VendorState expected = AmdState();
        expected.clone_flag = c.sets_clone_without_cpuid ? keeps : !keeps;
        EXPECT_EQ(CurrentVendorState(), expected);
        EXPECT_EQ(fake::processor().division_probes, c.sets_clone_without_cpuid ? 1 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SideEffectTest, testing::ValuesIn(kSideEffectCases));

}  // namespace
