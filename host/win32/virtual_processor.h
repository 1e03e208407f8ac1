// The virtual processor a DLL loaded over this emulation may run on: its CPUID answered from
// the model in the settings, its RDTSC from a time-stamp counter that counts at the settings'
// rate against the session's clock (the scripted timeline, or CLOCK_MONOTONIC). Linux only.
#pragma once
#include <stdint.h>

#include "host/loader/mapped_image.h"
#include "host/win32/emulation.h"

namespace qel::win32 {

// The sites a DLL loaded under `settings` gets traps for: CPUID where a model answers it,
// RDTSC where a rate is set.
SiteServing ServingOf(const Emulation& settings);

// Makes the fault handler answer the traps from emulation()'s models (they are read at each
// trap, so a change of the settings applies at once).
void ServeVirtualProcessor();

// The session's clock in nanoseconds, as the time-stamp counter reads it: the scripted
// timeline without advancing it; on real clocks CLOCK_MONOTONIC as the DLL's last clock read
// (of the performance counter, the tick count or the multimedia timer) saw it, if one came
// since the last counter read, else now.
uint64_t StampNanoseconds();

}  // namespace qel::win32
