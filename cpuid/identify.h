// CPUID itself: whether it exists, the vendor state from leaf 0 and the readings of leaf 1.
// Every reading executes CPUID afresh and rewrites the whole vendor state on the way
// (RefreshVendorStateFromCpuid).
#pragma once
#include <stdint.h>

// 1 when the ID flag (bit 21 of EFLAGS) can be toggled, that is when CPUID exists; else 0.
uint16_t CpuidSupported();
// Leaf 1's EDX unaltered; 0 without CPUID or without leaf 1.
uint32_t ReadFeatureFlagsAndRefreshVendorState();
// Bits 8-11 of leaf 1's EAX; kNoLeafOne without leaf 1. Only where CPUID exists.
uint16_t ReadFamilyAndRefreshVendorState();

// CPUID exists but reports no leaf 1.
constexpr uint16_t kNoLeafOne = 0xFFFF;
// Bit 4 of the feature flags: the processor has a time-stamp counter.
constexpr uint32_t kTimeStampCounterFeature = 0x10;

// True when CPUID reports leaf 1; the highest leaf is compared as a signed number.
constexpr bool HasLeafOne(uint32_t highest_leaf) {
    return static_cast<int32_t>(highest_leaf) >= 1;
}
