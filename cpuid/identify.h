// CPUID itself: whether it exists, the vendor string and the readings of leaf 1.
#pragma once
#include <stdint.h>

// 1 when the ID flag (bit 21 of EFLAGS) can be toggled, that is when CPUID exists; else 0.
uint16_t CpuidSupported();
// Executes leaf 0, rewrites the whole vendor state, and answers the highest basic leaf.
uint32_t IdentifyVendor();
// The low 16 bits of leaf 1's EAX; 0 without leaf 1. Without CPUID: the legacy type number
// in the family position (0x0000, 0x0200, 0x0300 or 0x0400).
uint16_t ReadSignature();
// Leaf 1's EDX unaltered; 0 without CPUID or without leaf 1.
uint32_t ReadFeatureFlags();
// Bits 8-11 of leaf 1's EAX; 0xFFFF without leaf 1. Only where CPUID exists.
uint16_t ReadFamily();

// Bit 4 of the feature flags: the processor has a time-stamp counter.
constexpr uint32_t kTimeStampCounterFeature = 0x10;
