// What the last identification found, shared by every caller in the process. Each
// identification on a processor with CPUID rewrites all of it.
#pragma once
#include <stdint.h>

// CPUID leaf 0's vendor string: EBX, EDX, ECX, each little-endian; no terminator.
extern char VendorBuffer[12];
extern uint32_t IntelMatch;  // "GenuineIntel"
extern uint32_t CyrixMatch;  // "CyrixInstead"
extern uint32_t AmdMatch;    // "AuthenticAMD"
// 1 when the processor counts as a non-Intel clone: a Cyrix or AMD vendor string, or,
// without CPUID, a division that leaves the zero flag set.
extern uint32_t CloneFlag;
// 0 any other vendor, 1 Intel, 2 Cyrix, 3 AMD.
extern uint32_t VendorCode;
// EAX of CPUID leaf 0.
extern uint32_t HighestBasicLeaf;

constexpr uint32_t kVendorOther = 0;
constexpr uint32_t kVendorIntel = 1;
constexpr uint32_t kVendorCyrix = 2;
constexpr uint32_t kVendorAmd = 3;
