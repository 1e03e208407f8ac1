// Memory for what the host hands to the DLL, each block ending where an inaccessible page
// begins, its pages fenced below by another: a DLL that writes or reads past the end of a
// record, a text or a buffer faults inside the guarded call instead of damaging the host.
// Linux only.
#pragma once
#include <stdint.h>

namespace qel {

// How many blocks can be placed at a time: one for each record, buffer and argument text
// the host hands over in one call, with room to spare.
constexpr int kGuardedBlockSlots = 16;

// A block of `size` bytes in slot `slot` (0 to kGuardedBlockSlots - 1) that ends at a guard
// page; valid until the same slot is asked for again. Null when no memory can be mapped.
uint8_t* PlaceAgainstGuardPage(int slot, uint32_t size);

// The top of a stack for DLL code, fenced by a guard page at each end and mapped once; null
// when no memory can be mapped.
void* MapDllStack();

}  // namespace qel
