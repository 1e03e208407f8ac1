// The six identification functions, called through the dispatch export as the host calls
// them: the value each reports and what each leaves in the vendor state.
#include "cpuid/identify.h"
#include "cpuid_test_support.h"

namespace {

using namespace cpuid_test;
using fake::LegacyClass;

struct Machine {
    const char* name;
    bool has_cpuid;
    const char* vendor;
    uint32_t highest_leaf;
    uint32_t leaf1_eax;
    uint32_t leaf1_edx;
    LegacyClass legacy_class;
    bool division_keeps_zero_flag;
};

struct FunctionsCase {
    Machine machine;
    // what ccpuid, ccpufeat, ccpuidext, ccpusupt, cclonecheck and cvendorid report
    uint32_t ccpuid, ccpufeat, ccpuidext, ccpusupt, cclonecheck, cvendorid;
};

void PrintTo(const FunctionsCase& c, std::ostream* os) {
    *os << c.machine.name;
}

void Use(const Machine& m) {
    if (m.has_cpuid) {
        UseProcessorWithCpuid(m.vendor, m.highest_leaf, m.leaf1_eax, m.leaf1_edx);
    } else {
        UseProcessorWithoutCpuid(m.legacy_class, m.division_keeps_zero_flag);
    }
}

constexpr auto k486 = LegacyClass::k80486;

const FunctionsCase kFunctionsCases[] = {
    {{"Intel family 6", true, "GenuineIntel", 3, 0x00000673, 0x0387F9FF, k486, false},
     6,
     0x0387F9FF,
     0x0673,
     1,
     0,
     1},
    {{"AMD family 6", true, "AuthenticAMD", 1, 0x00000662, 0x0183F9FF, k486, false},
     6,
     0x0183F9FF,
     0x0662,
     1,
     1,
     3},
    {{"Cyrix family 5", true, "CyrixInstead", 1, 0x00000520, 0x00000001, k486, false},
     5,
     0x00000001,
     0x0520,
     1,
     1,
     2},
    {{"other vendor", true, "CentaurHauls", 1, 0x00000691, 0x0380B135, k486, false},
     6,
     0x0380B135,
     0x0691,
     1,
     0,
     0},
    {{"lower-case Intel", true, "genuineintel", 1, 0x00000673, 0, k486, false},
     6,
     0,
     0x0673,
     1,
     0,
     0},
    // family 15: the extended family never shows, and only 16 bits of the signature do
    {{"Intel family 15, extended family", true, "GenuineIntel", 5, 0x0FF10F29, 0xBFEBFBFF, k486,
      false},
     15,
     0xBFEBFBFF,
     0x0F29,
     1,
     0,
     1},
    {{"AMD family 15, extended family 6", true, "AuthenticAMD", 13, 0x00600F12, 0x178BFBFF, k486,
      false},
     15,
     0x178BFBFF,
     0x0F12,
     1,
     1,
     3},
    // leaf 1 missing: the vendor still counts
    {{"AMD without leaf 1", true, "AuthenticAMD", 0, 0x00000663, 0x0783FBFF, k486, false},
     65535,
     0,
     0,
     1,
     1,
     3},
    {{"Intel without leaf 1", true, "GenuineIntel", 0, 0x00000663, 0x0783FBFF, k486, false},
     65535,
     0,
     0,
     1,
     0,
     1},
    {{"Cyrix with a negative highest leaf", true, "CyrixInstead", 0x80000001, 0x00000520, 1, k486,
      false},
     65535,
     0,
     0,
     1,
     1,
     2},
    // without CPUID; cvendorid is checked where the vendor state is fresh, see tests/cpuid
    {{"8086", false, "", 0, 0, 0, LegacyClass::k8086, false}, 0, 0, 0, 0, 0, 0},
    {{"8086 clone", false, "", 0, 0, 0, LegacyClass::k8086, true}, 0, 0, 0, 0, 1, 0},
    {{"80286", false, "", 0, 0, 0, LegacyClass::k80286, false}, 2, 0, 512, 0, 0, 0},
    {{"80286 clone", false, "", 0, 0, 0, LegacyClass::k80286, true}, 2, 0, 512, 0, 1, 0},
    {{"80386", false, "", 0, 0, 0, LegacyClass::k80386, false}, 3, 0, 768, 0, 0, 0},
    {{"80386 clone", false, "", 0, 0, 0, LegacyClass::k80386, true}, 3, 0, 768, 0, 1, 0},
    {{"80486", false, "", 0, 0, 0, LegacyClass::k80486, false}, 4, 0, 1024, 0, 0, 0},
    {{"80486 clone", false, "", 0, 0, 0, LegacyClass::k80486, true}, 4, 0, 1024, 0, 1, 0},
};

class IdentificationFunctionsTest : public FakeProcessorTableTest<FunctionsCase> {
  protected:
    void SetUp() override {
        FakeProcessorTableTest<FunctionsCase>::SetUp();
        // Without CPUID the vendor code is never written: start from "any other vendor".
        UseProcessorWithCpuid("NoVendorHere", 1, 0, 0);
        IdentifyVendor();
        fake::Reset();
        Use(GetParam().machine);
    }
};

TEST_P(IdentificationFunctionsTest, EachReportsOneValueThroughTheCallback) {
    const FunctionsCase& c = GetParam();
    const struct {
        const char* name;
        uint32_t number;
        uint32_t expected;
    } functions[] = {
        {"ccpuid", kCcpuid, c.ccpuid},
        {"ccpufeat", kCcpufeat, c.ccpufeat},
        {"ccpuidext", kCcpuidext, c.ccpuidext},
        {"ccpusupt", kCcpusupt, c.ccpusupt},
        {"cclonecheck", kCclonecheck, c.cclonecheck},
        {"cvendorid", kCvendorid, c.cvendorid},
    };
    for (const auto& f : functions) {
        SCOPED_TRACE(f.name);
        const Outcome outcome = CallScriptFunction(f.number);
        EXPECT_EQ(outcome.value, f.expected);
        EXPECT_EQ(outcome.returned, kCallbackAnswer);
        EXPECT_EQ(outcome.callbacks, 1);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.host_context, kHostContext);
        EXPECT_EQ(outcome.result_type, 1);
    }
}

// The same functions again in the opposite order: no value depends on an earlier call.
TEST_P(IdentificationFunctionsTest, ValuesDoNotDependOnCallOrder) {
    const FunctionsCase& c = GetParam();
    EXPECT_EQ(CallScriptFunction(kCvendorid).value, c.cvendorid);
    EXPECT_EQ(CallScriptFunction(kCclonecheck).value, c.cclonecheck);
    EXPECT_EQ(CallScriptFunction(kCcpusupt).value, c.ccpusupt);
    EXPECT_EQ(CallScriptFunction(kCcpuidext).value, c.ccpuidext);
    EXPECT_EQ(CallScriptFunction(kCcpufeat).value, c.ccpufeat);
    EXPECT_EQ(CallScriptFunction(kCcpuid).value, c.ccpuid);
}

INSTANTIATE_TEST_SUITE_P(Table, IdentificationFunctionsTest, testing::ValuesIn(kFunctionsCases));

// What each function leaves in the vendor state. The state starts as an AMD reading left
// it; then the processor becomes another one and one function runs.
struct SideEffectCase {
    const char* name;
    uint32_t number;
    bool rewrites_with_cpuid;
    bool sets_clone_without_cpuid;
};

void PrintTo(const SideEffectCase& c, std::ostream* os) {
    *os << c.name;
}

const SideEffectCase kSideEffectCases[] = {
    {"ccpuid", kCcpuid, true, true},           {"ccpufeat", kCcpufeat, true, false},
    {"ccpuidext", kCcpuidext, true, true},     {"ccpusupt", kCcpusupt, false, false},
    {"cclonecheck", kCclonecheck, true, true}, {"cvendorid", kCvendorid, true, true},
};

class SideEffectTest : public FakeProcessorTableTest<SideEffectCase> {
  protected:
    void StartFromAmd() {
        UseProcessorWithCpuid("AuthenticAMD", 1, 0x662, 0);
        IdentifyVendor();
        fake::processor().operations.clear();
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
        CallScriptFunction(c.number);
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
        CallScriptFunction(c.number);
        VendorState expected = AmdState();
        expected.clone_flag = c.sets_clone_without_cpuid ? keeps : !keeps;
        EXPECT_EQ(CurrentVendorState(), expected);
        EXPECT_EQ(fake::processor().division_probes, c.sets_clone_without_cpuid ? 1 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SideEffectTest, testing::ValuesIn(kSideEffectCases));

}  // namespace
