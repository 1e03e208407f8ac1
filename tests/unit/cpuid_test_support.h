// Shared set-up for the processor identification tests: scripting the fake processor,
// reading back the vendor state, and calling a script function through the export.
#pragma once
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <ostream>
#include <string>

#include "cpuid/vendor_state.h"
#include "extender/exports.h"
#include "platform/fake/fake_platform.h"
#include "platform/processor.h"

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

// The vendor string as a processor dump lists it: leaf 0's EBX, EDX and ECX.
inline std::string VendorFromRegisters(uint32_t ebx, uint32_t edx, uint32_t ecx) {
    char text[12];
    memcpy(text, &ebx, 4);
    memcpy(text + 4, &edx, 4);
    memcpy(text + 8, &ecx, 4);
    return std::string(text, 12);
}

inline void UseProcessorWithoutCpuid(fake::LegacyClass legacy_class,
                                     bool division_keeps_zero_flag) {
    auto& cpu = fake::processor();
    cpu.has_cpuid = false;
    cpu.legacy_class = legacy_class;
    cpu.division_keeps_zero_flag = division_keeps_zero_flag;
}

inline const char* ClassName(fake::LegacyClass legacy_class) {
    switch (legacy_class) {
        case fake::LegacyClass::k8086:
            return "8086";
        case fake::LegacyClass::k80286:
            return "80286";
        case fake::LegacyClass::k80386:
            return "80386";
        case fake::LegacyClass::k80486:
            return "80486";
    }
    return "?";
}

// The flags register as the chosen class holds it (a toggle of no bit reads it).
inline uint32_t FlagsAsHeld() {
    return platform::ToggleFlags32(0).before;
}

// Everything the last identification published.
struct VendorState {
    std::string vendor;
    uint32_t intel_match;
    uint32_t cyrix_match;
    uint32_t amd_match;
    uint32_t clone_flag;
    uint32_t vendor_code;

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

// Script function numbers.
enum FunctionNumber : uint32_t {
    kCcpuid = 2,
    kCcpufeat = 3,
    kCcpuidext = 4,
    kCcpusupt = 6,
    kCclonecheck = 8,
    kCvendorid = 10,
};

// What one call through the dispatch export produced.
struct Outcome {
    int32_t returned;
    int callbacks;
    int32_t status;
    uint32_t host_context;
    int32_t result_type;
    uint32_t value;
};

struct CallbackLog {
    int calls = 0;
    int32_t status = 0;
    uint32_t host_context = 0;
};

inline CallbackLog& callback_log() {
    static CallbackLog log;
    return log;
}

constexpr int32_t kCallbackAnswer = 0x5A17;
constexpr uint32_t kHostContext = 0xC0FFEE;

inline KZ_STDCALL int32_t RecordingCallback(int32_t status, uint32_t host_context, void*, void*) {
    auto& log = callback_log();
    ++log.calls;
    log.status = status;
    log.host_context = host_context;
    return kCallbackAnswer;
}

// Calls script function `number` with no arguments, as the host does.
inline Outcome CallScriptFunction(uint32_t number) {
    callback_log() = CallbackLog{};
    uint8_t record[64];
    memset(record, 0xEE, sizeof record);
    int32_t returned = QELExtender2(nullptr, 0, kHostContext, number, RecordingCallback, nullptr, 0,
                                    nullptr, 0, record);
    Outcome outcome{
        returned, callback_log().calls, callback_log().status, callback_log().host_context, 0, 0};
    memcpy(&outcome.value, record + 24, 4);
    memcpy(&outcome.result_type, record + 28, 4);
    return outcome;
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
class FakeProcessorTableTest : public testing::TestWithParam<Row> {
  protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override {
        EXPECT_EQ(fake::processor().cpuid_executed_without_cpuid, 0)
            << "CPUID ran on a processor without it";
    }
};

}  // namespace cpuid_test
