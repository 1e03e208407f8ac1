// The vendor string and what it makes of the vendor state: exact twelve-byte matches only,
// and every identification replaces the whole state.
#include <string>

#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "tests/support/cpuid_test_support.h"

namespace {

using namespace cpuid_test;

TEST_F(FakeProcessorTest, KnownVendorsPublishTheirState) {
    for (const VendorState& known : {IntelState(), CyrixState(), AmdState()}) {
        UseProcessorWithCpuid(known.vendor, 7, 0x673, 0);
        EXPECT_EQ(IdentifyVendor(), 7u);
        EXPECT_EQ(CurrentVendorState(), known);
        EXPECT_EQ(HighestBasicLeaf, 7u);
    }
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
    EXPECT_EQ(IdentifyVendor(), 7u);
    EXPECT_EQ(CurrentVendorState(), OtherState(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Table, OtherVendorTest, testing::ValuesIn(kOtherVendors));

// Each operation that identifies, run on a new processor after another was identified.
struct Identifier {
    const char* name;
    void (*run)();
};

const Identifier kIdentifiers[] = {
    {"IdentifyVendor", [] { IdentifyVendor(); }},     {"ReadSignature", [] { ReadSignature(); }},
    {"ReadFeatureFlags", [] { ReadFeatureFlags(); }}, {"ReadFamily", [] { ReadFamily(); }},
    {"GetProcessorType", [] { GetProcessorType(); }},
};

struct Transition {
    std::string first;
    std::string second;
    uint32_t second_highest_leaf;
    VendorState expected;
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
    IdentifyVendor();
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
    IdentifyVendor();
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
