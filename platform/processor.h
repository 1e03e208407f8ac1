// The processor instructions the library needs, each the smallest operation a probe or a
// measurement uses. Real: GCC inline assembly for the 80386 (platform/real). Fake: a scripted
// processor for the unit tests (platform/fake).
#pragma once
#include <stdint.h>

namespace platform {

struct CpuidRegisters {
    uint32_t eax;
    uint32_t ebx;
    uint32_t ecx;
    uint32_t edx;
};

// Two readings of the flags register around a write.
struct FlagReadings {
    uint32_t before;
    uint32_t after;
};

// CPUID with EAX = leaf and EBX, ECX, EDX cleared. Never call it where CPUID is missing.
CpuidRegisters ExecuteCpuid(uint32_t leaf);

// Reads EFLAGS, writes it back with `mask` inverted, reads it again. Leaves the write in place.
FlagReadings ToggleFlags32(uint32_t mask);
// Writes EFLAGS.
void WriteFlags32(uint32_t value);
// As ToggleFlags32, with the low 16 bits of the stack pointer aligned down to a multiple of
// 4 around it, so that setting the alignment-check flag cannot fault on the stack; writes
// the first reading back and restores the stack pointer before it returns.
FlagReadings ToggleFlags32OnAlignedStack(uint32_t mask);

// The 16-bit flags register (PUSHF/POPF with 16-bit operands).
uint16_t ReadFlags16();
// Writes `value` into the 16-bit flags register and reads it back.
uint16_t WriteReadFlags16(uint16_t value);
void WriteFlags16(uint16_t value);

// DX:AX = 0x0000:0x5555 with the zero flag set by XOR DX,DX, then DIV by 2 (16-bit):
// true when the zero flag is still set right after the division.
bool DivisionKeepsZeroFlag();

// RDTSC, all 64 bits.
uint64_t ReadTimeStamp();

}  // namespace platform
