// The processor-type word: the family with CPUID, the class found by flag-register probes
// without it, and bit 15 for a clone.
#pragma once
#include <stdint.h>

constexpr uint16_t kCloneBit = 0x8000;

// The type number (family 0-15; or 0, 2, 3, 4 without CPUID) with bit 15 set for a clone;
// 0xFFFF when CPUID reports no leaf 1. Runs RefreshVendorState first.
uint16_t ReadProcessorTypeAndRefreshVendorState();
// 0 on an 8086/8088, whose flags bits 12-15 cannot be cleared; else 0xFFFF.
uint16_t Probe8086();
// 2 on an 80286, whose flags bits 12-15 cannot be set in real mode; else 0xFFFF.
uint16_t Probe80286();
// 3 on an 80386, whose alignment-check flag cannot be toggled; else 0xFFFF.
uint16_t Probe80386();
