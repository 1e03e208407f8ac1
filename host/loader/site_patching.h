// The virtual processor's share of loading: the image's CPUID and RDTSC instructions found by
// decoding its code sections, and a trap put in place of each one a model serves
// (host/crossing/served_sites.h answers them). Nothing else in the image changes. Linux only.
#pragma once
#include "host/loader/load_failure.h"
#include "host/loader/mapped_image.h"

namespace qel {

// On the laid-out, still writable image: finds the sites and patches those `serving` names.
// Refuses (kUnsupported) where a code section does not decode cleanly as 80386 code, naming
// the section and the offset: no byte that is not an instruction is ever patched.
bool PatchServedSites(const MappedImage& image, SiteServing serving, LoadFailure* failure);

}  // namespace qel
