// Shared set-up for the processor identification tests: scripting the fake processor,
// reading back the vendor state, and calling a script function.
#pragma once
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <ostream>
#include <string>

#include "cpuid/vendor_state.h"
#include "extender/script_functions.h"
#include "platform/fake/fake_platform.h"
#include "platform/processor.h"
#include "tests/support/script_call.h"

namespace cpuid_test {

// A processor with CPUID: the vendor's 12 characters (NULs allowed), leaf 0's EAX and
// leaf 1's EAX and EDX.
inline void UseProcessorWithCpuid(const std::string& vendor, uint32_t highest_leaf,
                                  uint32_t leaf1_eax, uint32_t leaf1_edx) {
    auto& cpu = fake::processor();
    cpu.has_cpuid = true;
    memset(cpu.vendor, 0, sizeof cpu.vendor);
    memcpy(cpu.vendor, vendor.data(), vendor.size() < 12 ? vendor.size() : 12);
    cpu.highest_basic_leaf = highest_leaf;
    cpu.leaf1_eax = leaf1_eax;
    cpu.leaf1_edx = leaf1_edx;
}

inline void UseProcessorWithoutCpuid(fake::LegacyClass legacy_class,
                                     bool division_keeps_zero_flag) {
    auto& cpu = fake::processor();
    cpu.has_cpuid = false;
    cpu.legacy_class = legacy_class;
    cpu.division_keeps_zero_flag = division_keeps_zero_flag;
}

inline const char* ClassName(fake::LegacyClass legacy_class) {
    const char* const names[] = {"8086", "80286", "80386", "80486"};
    return names[static_cast<int>(legacy_class)];
}

// The flags register as the chosen class holds it (a toggle of no bit reads it).
inline uint32_t FlagsAsHeld() {
    return platform::ToggleFlags32(0).before;
}

// Everything the last identification published.
struct VendorState {
    std::string vendor;
    uint32_t intel_match, cyrix_match, amd_match, clone_flag, vendor_code;

    bool operator==(const VendorState&) const = default;
};

inline VendorState CurrentVendorState() {
    return {std::string(VendorBuffer, 12), IntelMatch, CyrixMatch, AmdMatch, CloneFlag, VendorCode};
}

inline std::ostream& operator<<(std::ostream& os, const VendorState& s) {
    return os << "{\"" << s.vendor << "\" intel " << s.intel_match << " cyrix " << s.cyrix_match
              << " amd " << s.amd_match << " clone " << s.clone_flag << " code " << s.vendor_code
              << "}";
}

// The state each known vendor string leaves behind.
inline VendorState IntelState() {
    return {"GenuineIntel", 1, 0, 0, 0, 1};
}
inline VendorState CyrixState() {
    return {"CyrixInstead", 0, 1, 0, 1, 2};
}
inline VendorState AmdState() {
    return {"AuthenticAMD", 0, 0, 1, 1, 3};
}
inline VendorState OtherState(const std::string& vendor) {
    return {vendor, 0, 0, 0, 0, 0};
}

// Calls a script function with no arguments, as the dispatcher does; the value it reported.
// The export's records and callback are proven on the real DLL.
inline uint32_t CallScriptFunction(int32_t (*function)(const Call&)) {
    const script_call::ScriptOutcome outcome = script_call::CallScript(function, {});
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.result_type, 1);
    return outcome.value;
}

// Each test scripts its own processor; the library's state is whatever the last test left.
class FakeProcessorTest : public testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override {
        EXPECT_EQ(fake::processor().cpuid_executed_without_cpuid, 0)
            << "CPUID ran on a processor without it";
    }
};

template <typename Row>
class FakeProcessorTableTest : public FakeProcessorTest, public testing::WithParamInterface<Row> {};

}  // namespace cpuid_test
