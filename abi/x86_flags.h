// Bits of the x86 flags register that the processor probes toggle. Dependency-free.
#pragma once
#include <stdint.h>

namespace qel_abi::eflags {

constexpr uint16_t kHighNibble16 = 0xF000;     // bits 12-15 of the 16-bit flags
constexpr uint32_t kAlignmentCheck = 0x40000;  // AC: missing on the 80386
constexpr uint32_t kId = 0x200000;             // ID: toggles where CPUID exists

}  // namespace qel_abi::eflags
