// CPUID as the runner reads it for qelhost, on the same emulated processor as the DLL.
#pragma once
#include <stdint.h>

namespace qel {

// False when the processor has no CPUID (its ID flag does not toggle); else leaf `leaf`'s
// EAX, EBX, ECX and EDX.
bool ReadCpuid(uint32_t leaf, uint32_t (&registers)[4]);

}  // namespace qel
