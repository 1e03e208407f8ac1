// The processor's 16-bit signature, with or without CPUID.
#pragma once
#include <stdint.h>

// The low 16 bits of leaf 1's EAX; 0 without leaf 1. Without CPUID: the legacy type number
// in the family position (0x0000, 0x0200, 0x0300 or 0x0400). Rewrites the vendor state as
// ReadProcessorTypeAndRefreshVendorState does.
uint16_t ReadSignatureAndRefreshVendorState();
