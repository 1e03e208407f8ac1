// What the last identification found, shared by every caller in the process. Each
// identification on a processor with CPUID rewrites all of it; one without CPUID rewrites
// only the clone flag. PublishVendorState is the only writer.
#pragma once
#include <stdint.h>

#include "abi/function_values.h"
#include "platform/processor.h"

// CPUID leaf 0's vendor string: EBX, EDX, ECX, each little-endian; no terminator.
extern char VendorBuffer[12];
extern uint32_t IntelMatch;  // "GenuineIntel"
extern uint32_t CyrixMatch;  // "CyrixInstead"
extern uint32_t AmdMatch;    // "AuthenticAMD"
// 1 when the processor counts as a non-Intel clone: a Cyrix or AMD vendor string, or,
// without CPUID, a division that leaves the zero flag set.
extern uint32_t CloneFlag;
// qel_abi::vendor_code: 0 any other vendor, 1 Intel, 2 Cyrix, 3 AMD.
extern uint32_t VendorCode;
// EAX of CPUID leaf 0.
extern uint32_t HighestBasicLeaf;

// Everything one reading of CPUID leaf 0 decides, field for field as published.
struct VendorClassification {
    char vendor[12];
    uint32_t intel_match;
    uint32_t cyrix_match;
    uint32_t amd_match;
    uint32_t clone_flag;
    uint32_t vendor_code;
    uint32_t highest_basic_leaf;
};

// The vendor state leaf 0's registers make; touches nothing.
VendorClassification ClassifyVendor(const platform::CpuidRegisters& leaf0);

// Which part of the state a refresh knows: without CPUID only the clone flag.
enum class VendorStateScope { kWhole, kCloneFlagOnly };

// Executes leaf 0, rewrites the whole state, and answers the highest basic leaf. Only where
// CPUID exists.
uint32_t RefreshVendorStateFromCpuid();

namespace vendor_state_detail {
// One store of the final value, which the compiler may neither split nor precede with
// another value.
template <typename T>
inline void Publish(T& shared, T value) {
    __atomic_store_n(&shared, value, __ATOMIC_RELAXED);
}
}  // namespace vendor_state_detail

// The one writer of the state. Callers are not serialised, so each field gets one store of
// its final value: a concurrent reader never sees a value this processor would not end with.
// Inline, so that a refresh of the clone flag alone builds no whole classification.
inline void PublishVendorState(const VendorClassification& state, VendorStateScope scope) {
    using vendor_state_detail::Publish;
    const bool whole = scope == VendorStateScope::kWhole;
    if (whole) {
        Publish(HighestBasicLeaf, state.highest_basic_leaf);
        for (int i = 0; i < 12; ++i)
            Publish(VendorBuffer[i], state.vendor[i]);
        Publish(IntelMatch, state.intel_match);
        Publish(CyrixMatch, state.cyrix_match);
        Publish(AmdMatch, state.amd_match);
    }
    Publish(CloneFlag, state.clone_flag);
    if (whole)
        Publish(VendorCode, state.vendor_code);
}
