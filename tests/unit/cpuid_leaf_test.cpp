// The three readings of leaf 1 (signature, family, feature flags) and the processor-type
// word with CPUID, including a highest basic leaf that reports no leaf 1.
#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "cpuid/refresh_vendor_state.h"
#include "cpuid/signature.h"
#include "tests/support/cpuid_test_support.h"

namespace {

using namespace cpuid_test;

struct LeafCase {
    const char* what;
    uint32_t highest_leaf;
    uint32_t leaf1_eax;
    uint32_t leaf1_edx;
    uint16_t signature;
    uint16_t family;
    uint32_t features;
    friend void PrintTo(const LeafCase& c, std::ostream* os) { *os << c.what; }
};

// Ordinary processors are read through the real DLL on qemu's models; these are the edges.
const LeafCase kLeafCases[] = {
    {"family 0", 1, 0x00000000, 0x00000000, 0x0000, 0, 0},
    {"family 4, type and reserved bits set", 1, 0x0000F4A3, 0x00000003, 0xF4A3, 4, 3},
    {"family 15 with extended family 6", 0xD, 0x00600F12, 0x178BFBFF, 0x0F12, 15, 0x178BFBFF},
    {"all bits of EAX set", 1, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 15, 0xFFFFFFFF},
    {"only bit 31 of the features", 1, 0x00000543, 0x80000000, 0x0543, 5, 0x80000000},
    {"highest leaf 0x7FFFFFFF", 0x7FFFFFFF, 0x00000663, 0x10, 0x0663, 6, 0x10},
    // no leaf 1: the highest leaf is compared as a signed number
    {"highest leaf 0", 0, 0x00000673, 0x0387F9FF, 0, 0xFFFF, 0},
    {"highest leaf 0x80000000", 0x80000000, 0x00000673, 0x0387F9FF, 0, 0xFFFF, 0},
    {"highest leaf 0xFFFFFFFF", 0xFFFFFFFF, 0x00000673, 0x0387F9FF, 0, 0xFFFF, 0},
};

class LeafReadingTest : public FakeProcessorTableTest<LeafCase> {};

int Leaf1Executions() {
    int count = 0;
    for (const auto& op : fake::processor().operations)
        count += op == "cpuid 1";
    return count;
}

// Leaf 1 is executed once per reading, and only where the highest leaf reports it.
TEST_P(LeafReadingTest, SignatureFamilyAndFeatures) {
    const LeafCase& c = GetParam();
    const struct {
        const char* name;
        uint32_t (*read)();
        uint32_t expected;
    } readings[] = {{"ReadSignatureAndRefreshVendorState",
                     [] { return uint32_t{ReadSignatureAndRefreshVendorState()}; }, c.signature},
                    {"ReadFamilyAndRefreshVendorState",
                     [] { return uint32_t{ReadFamilyAndRefreshVendorState()}; }, c.family},
                    {"ReadFeatureFlagsAndRefreshVendorState",
                     [] { return ReadFeatureFlagsAndRefreshVendorState(); }, c.features}};
    for (const auto& r : readings) {
        SCOPED_TRACE(r.name);
        fake::processor().operations.clear();
        UseProcessorWithCpuid("GenuineIntel", c.highest_leaf, c.leaf1_eax, c.leaf1_edx);
        EXPECT_EQ(r.read(), r.expected);
        EXPECT_EQ(Leaf1Executions(), c.family == 0xFFFF ? 0 : 1);
    }
}

// The family, with bit 15 for a clone; 0xFFFF without leaf 1 whatever the vendor.
TEST_P(LeafReadingTest, GetProcessorTypeForEachKindOfVendor) {
    const LeafCase& c = GetParam();
    const struct {
        const char* vendor;
        bool clone;
    } vendors[] = {{"GenuineIntel", false},
                   {"AuthenticAMD", true},
                   {"CyrixInstead", true},
                   {"CentaurHauls", false}};
    for (const auto& v : vendors) {
        SCOPED_TRACE(v.vendor);
        UseProcessorWithCpuid(v.vendor, c.highest_leaf, c.leaf1_eax, c.leaf1_edx);
        const uint16_t expected =
            c.family == 0xFFFF ? 0xFFFF : static_cast<uint16_t>(c.family | (v.clone ? 0x8000 : 0));
        EXPECT_EQ(ReadProcessorTypeAndRefreshVendorState(), expected);
        EXPECT_EQ(fake::processor().division_probes, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, LeafReadingTest, testing::ValuesIn(kLeafCases));

class LeafFreshnessTest : public FakeProcessorTest {};

// Nothing is cached: each reading executes CPUID again.
TEST_F(LeafFreshnessTest, EveryReadingAsksTheProcessorAgain) {
    struct Reading {
        const char* name;
        uint32_t (*read)();
        uint32_t first;
        uint32_t second;
    };
    const Reading readings[] = {
        {"ReadSignatureAndRefreshVendorState",
         [] { return uint32_t{ReadSignatureAndRefreshVendorState()}; }, 0x0673, 0x0F29},
        {"ReadFamilyAndRefreshVendorState",
         [] { return uint32_t{ReadFamilyAndRefreshVendorState()}; }, 6, 15},
        {"ReadFeatureFlagsAndRefreshVendorState",
         [] { return ReadFeatureFlagsAndRefreshVendorState(); }, 0x0387F9FF, 0xBFEBFBFF},
        {"ReadProcessorTypeAndRefreshVendorState",
         [] { return uint32_t{ReadProcessorTypeAndRefreshVendorState()}; }, 0x0006, 0x800F},
    };
    for (const Reading& r : readings) {
        SCOPED_TRACE(r.name);
        UseProcessorWithCpuid("GenuineIntel", 3, 0x00000673, 0x0387F9FF);
        EXPECT_EQ(r.read(), r.first);
        UseProcessorWithCpuid("AuthenticAMD", 2, 0x00000F29, 0xBFEBFBFF);
        EXPECT_EQ(r.read(), r.second);
    }
}

// Only leaves 0 and 1 are ever asked for, leaf 0 first.
TEST_F(LeafFreshnessTest, AsksLeafZeroBeforeLeafOne) {
    const struct {
        const char* name;
        void (*run)();
        std::vector<std::string> cpuid_order;
    } rows[] = {
        {"RefreshVendorStateFromCpuid", [] { RefreshVendorStateFromCpuid(); }, {"cpuid 0"}},
        {"ReadSignatureAndRefreshVendorState",
         [] { ReadSignatureAndRefreshVendorState(); },
         {"cpuid 0", "cpuid 1"}},
        {"ReadFamilyAndRefreshVendorState",
         [] { ReadFamilyAndRefreshVendorState(); },
         {"cpuid 0", "cpuid 1"}},
        {"ReadFeatureFlagsAndRefreshVendorState",
         [] { ReadFeatureFlagsAndRefreshVendorState(); },
         {"cpuid 0", "cpuid 1"}},
        {"ReadProcessorTypeAndRefreshVendorState",
         [] { ReadProcessorTypeAndRefreshVendorState(); },
         {"cpuid 0", "cpuid 1"}},
        {"CpuidSupported", [] { CpuidSupported(); }, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fake::Reset();
        row.run();
        std::vector<std::string> cpuid_order;
        for (const auto& op : fake::processor().operations) {
            if (op.rfind("cpuid", 0) == 0)
                cpuid_order.push_back(op);
        }
        EXPECT_EQ(cpuid_order, row.cpuid_order);
    }
}

}  // namespace
