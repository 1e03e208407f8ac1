// The virtual processor's share of loading: the image's CPUID and RDTSC instructions found by
// decoding its code sections, and a trap put in place of each one a model serves
// (host/crossing/served_sites.h answers them). Nothing else in the image changes. Every build
// of the host: the Linux loader patches the image it lays out, qelhost.exe the module
// LoadLibrary mapped.
#pragma once
#include <stdint.h>

#include <span>

#include "host/loader/load_failure.h"
#include "host/loader/pe_headers.h"

namespace qel {

// Which of CPUID and RDTSC a virtual processor answers; neither: the image is left exactly
// as the file has it.
struct SiteServing {
    bool cpuid = false;
    bool rdtsc = false;
    bool any() const { return cpuid || rdtsc; }
};

// Puts the trap at `place`; false where the memory cannot be written.
using TrapWriter = bool (*)(uint8_t* place);
// For an image still writable: a plain copy.
bool WriteTrapInPlace(uint8_t* place);

// On the image laid out at `base` with these sections: finds the sites and patches those
// `serving` names, each through `write`, registering each. Refuses (kUnsupported) where a
// code section does not decode cleanly as 80386 code, naming the section and the offset: no
// byte that is not an instruction is ever patched.
bool PatchServedSites(uint8_t* base, std::span<const Section> sections, SiteServing serving,
                      LoadFailure* failure, TrapWriter write = &WriteTrapInPlace);

}  // namespace qel
