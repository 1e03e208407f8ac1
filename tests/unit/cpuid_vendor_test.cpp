// The vendor string and what it makes of the vendor state: exact twelve-byte matches only,
// and every identification replaces the whole state.
#include <string.h>

#include <string>

#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "cpuid/refresh_vendor_state.h"
#include "cpuid/signature.h"
#include "tests/support/cpuid_test_support.h"

namespace {

using namespace cpuid_test;

TEST_F(FakeProcessorTest, KnownVendorsPublishTheirState) {
    for (const VendorState& known : {IntelState(), CyrixState(), AmdState()}) {
        UseProcessorWithCpuid(known.vendor, 7, 0x673, 0);
        EXPECT_EQ(RefreshVendorStateFromCpuid(), 7u);
        EXPECT_EQ(CurrentVendorState(), known);
        EXPECT_EQ(HighestBasicLeaf, 7u);
    }
}

// Leaf 0's registers as each processor answers them; the classification alone, published
// nowhere. The vendor string is EBX, EDX, ECX.
struct ClassificationRow {
    const char* processor;
    const char* vendor;
    uint32_t intel_match, cyrix_match, amd_match, clone_flag, vendor_code;
};

const ClassificationRow kClassifications[] = {
    {"Intel Pentium", "GenuineIntel", 1, 0, 0, 0, 1},
    {"AMD K6", "AuthenticAMD", 0, 0, 1, 1, 3},
    {"Cyrix 6x86", "CyrixInstead", 0, 1, 0, 1, 2},
    {"Hygon Dhyana", "HygonGenuine", 0, 0, 0, 0, 0},
    {"VIA C3", "CentaurHauls", 0, 0, 0, 0, 0},
    {"Zhaoxin KaiXian", "  Shanghai  ", 0, 0, 0, 0, 0},
    {"Transmeta Crusoe", "GenuineTMx86", 0, 0, 0, 0, 0},
    {"NexGen Nx586", "NexGenDriven", 0, 0, 0, 0, 0},
    {"UMC Green CPU", "UMC UMC UMC ", 0, 0, 0, 0, 0},
    {"Rise mP6", "RiseRiseRise", 0, 0, 0, 0, 0},
    {"NSC Geode", "Geode by NSC", 0, 0, 0, 0, 0},
    {"near miss in the last byte", "GenuineIntek", 0, 0, 0, 0, 0},
};

platform::CpuidRegisters LeafZeroOf(const char* vendor, uint32_t highest_leaf) {
    uint32_t ebx, edx, ecx;
    memcpy(&ebx, vendor, 4);
    memcpy(&edx, vendor + 4, 4);
    memcpy(&ecx, vendor + 8, 4);
    return {highest_leaf, ebx, ecx, edx};
}

TEST_F(FakeProcessorTest, ClassifyVendorDecidesEveryFieldAndPublishesNothing) {
    UseProcessorWithCpuid("CyrixInstead", 1, 0x663, 0);
    RefreshVendorStateFromCpuid();
    for (const ClassificationRow& row : kClassifications) {
        for (uint32_t highest_leaf : {0u, 1u, 0x16u, 0x80000001u}) {
            SCOPED_TRACE(std::string(row.processor) + ", highest leaf " +
                         std::to_string(highest_leaf));
            const VendorClassification got = ClassifyVendor(LeafZeroOf(row.vendor, highest_leaf));
            EXPECT_EQ(std::string(got.vendor, 12), row.vendor);
            EXPECT_EQ(got.intel_match, row.intel_match);
            EXPECT_EQ(got.cyrix_match, row.cyrix_match);
            EXPECT_EQ(got.amd_match, row.amd_match);
            EXPECT_EQ(got.clone_flag, row.clone_flag);
            EXPECT_EQ(got.vendor_code, row.vendor_code);
            EXPECT_EQ(got.highest_basic_leaf, highest_leaf);
            EXPECT_EQ(CurrentVendorState(), CyrixState());
            EXPECT_EQ(HighestBasicLeaf, 1u);
        }
    }
    EXPECT_EQ(fake::processor().cpuid_executions, 1);
}

// Exact twelve-byte matches only: a near miss differs in one byte of one register, EBX
// (bytes 0-3), EDX (4-7) or ECX (8-11); case counts; a terminator or blanks are no wildcard.
const std::string kOtherVendors[] = {
    "genuineintel", "GENUINEINTEL", "AuthenticAmd", "cyrixinstead",  // case
    "XenuineIntel", "GenuIneIntel", "GenuineIotel", "GenuineInteL",  // one byte off
    "AuthentIcAMD", "AuthenticAMd", "CyrixInsteaD", "Cyrix1nstead",
    std::string("GenuineInte\0", 12), std::string("\0enuineIntel", 12), " GenuineInte",
    "GenuineIcAMD", "AuthenticInt",  // halves of two known vendors
    // real vendors that count neither as Intel nor as a clone
    "HygonGenuine", "CentaurHauls", "  Shanghai  ", "GenuineTMx86", "AMDisbetter!", "Geode by NSC",
    "------------"};

class OtherVendorTest : public FakeProcessorTableTest<std::string> {};

TEST_P(OtherVendorTest, PublishesAnotherVendor) {
    UseProcessorWithCpuid(GetParam(), 7, 0x673, 0);
    EXPECT_EQ(RefreshVendorStateFromCpuid(), 7u);
    EXPECT_EQ(CurrentVendorState(), OtherState(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Table, OtherVendorTest, testing::ValuesIn(kOtherVendors));

// Each operation that identifies, run on a new processor after another was identified.
struct Identifier {
    const char* name;
    void (*run)();
    friend void PrintTo(const Identifier& c, std::ostream* out) { *out << c.name; }
};

const Identifier kIdentifiers[] = {
    {"RefreshVendorStateFromCpuid", [] { RefreshVendorStateFromCpuid(); }},
    {"ReadSignatureAndRefreshVendorState", [] { ReadSignatureAndRefreshVendorState(); }},
    {"ReadFeatureFlagsAndRefreshVendorState", [] { ReadFeatureFlagsAndRefreshVendorState(); }},
    {"ReadFamilyAndRefreshVendorState", [] { ReadFamilyAndRefreshVendorState(); }},
    {"ReadProcessorTypeAndRefreshVendorState", [] { ReadProcessorTypeAndRefreshVendorState(); }},
};

struct Transition {
    std::string first;
    std::string second;
    uint32_t second_highest_leaf;
    VendorState expected;
    friend void PrintTo(const Transition& c, std::ostream* out) {
        *out << c.first << " then " << c.second;
    }
};

const Transition kTransitions[] = {
    {"AuthenticAMD", "GenuineIntel", 1, IntelState()},
    {"GenuineIntel", "AuthenticAMD", 1, AmdState()},
    {"GenuineIntel", "CyrixInstead", 1, CyrixState()},
    // a vendor that is neither must clear what a clone left behind
    {"AuthenticAMD", "HygonGenuine", 1, OtherState("HygonGenuine")},
    {"CyrixInstead", "CentaurHauls", 1, OtherState("CentaurHauls")},
    {"GenuineIntel", "GenuineIotel", 1, OtherState("GenuineIotel")},
    // without leaf 1 the vendor state is still rewritten
    {"AuthenticAMD", "GenuineIntel", 0, IntelState()},
    {"CyrixInstead", "GenuineTMx86", 0, OtherState("GenuineTMx86")},
};

class ReplacementTest : public FakeProcessorTableTest<std::tuple<Identifier, Transition>> {};

TEST_P(ReplacementTest, LaterIdentificationReplacesEverything) {
    const auto& [identifier, t] = GetParam();
    UseProcessorWithCpuid(t.first, 1, 0x663, 0);
    RefreshVendorStateFromCpuid();
    ASSERT_NE(CurrentVendorState(), t.expected);

    UseProcessorWithCpuid(t.second, t.second_highest_leaf, 0x663, 0);
    identifier.run();
    EXPECT_EQ(CurrentVendorState(), t.expected);
    EXPECT_EQ(HighestBasicLeaf, t.second_highest_leaf);
}

INSTANTIATE_TEST_SUITE_P(Table, ReplacementTest,
                         testing::Combine(testing::ValuesIn(kIdentifiers),
                                          testing::ValuesIn(kTransitions)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(info.index);
                         });

class CpuidProbeTest : public FakeProcessorTest {};

TEST_F(CpuidProbeTest, AnswersByTheIdFlagAndLeavesStateAndFlagsAlone) {
    struct Row {
        bool has_cpuid;
        fake::LegacyClass legacy_class;
        uint16_t expected;
    };
    const Row rows[] = {
        {true, fake::LegacyClass::k80486, 1},  {false, fake::LegacyClass::k80486, 0},
        {false, fake::LegacyClass::k80386, 0}, {false, fake::LegacyClass::k80286, 0},
        {false, fake::LegacyClass::k8086, 0},
    };
    UseProcessorWithCpuid("AuthenticAMD", 1, 0x663, 0);
    RefreshVendorStateFromCpuid();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("cpuid ") + (row.has_cpuid ? "yes" : "no") + ", class " +
                     ClassName(row.legacy_class));
        auto& cpu = fake::processor();
        cpu.has_cpuid = row.has_cpuid;
        cpu.legacy_class = row.legacy_class;
        cpu.eflags = 0x00000246;
        cpu.cpuid_executions = 0;
        cpu.division_probes = 0;
        const uint32_t flags_before = FlagsAsHeld();

        EXPECT_EQ(CpuidSupported(), row.expected);
        EXPECT_EQ(cpu.eflags, flags_before) << "the ID flag was left toggled";
        EXPECT_EQ(cpu.cpuid_executions, 0);
        EXPECT_EQ(cpu.division_probes, 0);
        EXPECT_EQ(CurrentVendorState(), AmdState());
    }
}

TEST_F(CpuidProbeTest, SeesTheIdFlagWhicheverWayItStarts) {
    for (uint32_t start : {0x00000202u, 0x00200202u}) {
        SCOPED_TRACE(start);
        fake::processor().eflags = start;
        EXPECT_EQ(CpuidSupported(), 1);
        EXPECT_EQ(fake::processor().eflags, start);
    }
}

}  // namespace
