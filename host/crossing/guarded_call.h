// Runs code of a loaded DLL so that a fault or a hang inside it becomes a message instead of
// the end of the host. Linux only.
#pragma once
#include <stdint.h>

#include <functional>

#include "host/base/bounded_text.h"

namespace qel {

// Runs `work`; false with *failure describing it when the code faults (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE, SIGTRAP, stack overflow) or runs longer than `timeout_seconds` (0: no
// limit). The message names the fault, where it happened (an RVA inside a registered image)
// and the export the host had entered (EnteredExport()).
bool RunGuarded(const std::function<void()>& work, unsigned timeout_seconds, BoundedText* failure);

// The loaded images, so that a fault inside one is named by its RVA.
void RegisterGuardedImage(const uint8_t* base, uint32_t size);
void UnregisterGuardedImage(const uint8_t* base);

}  // namespace qel
