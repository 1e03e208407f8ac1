// The refresh of the process-wide vendor state that the functions reporting from it run
// first.
#pragma once
#include <stdint.h>

struct VendorRefresh {
    bool has_cpuid;
    // Leaf 1's family, or kNoLeafOne; only with CPUID.
    uint16_t family;
};

// With CPUID: rewrites the whole vendor state from leaf 0 and reads the family from leaf 1,
// as ReadFamilyAndRefreshVendorState does. Without CPUID: rewrites only the clone flag, by
// the division probe, which runs on every call before anything else probes the processor.
VendorRefresh RefreshVendorState();

// 1 when a 16-bit DIV leaves the zero flag set (the processor counts as a clone), else 0.
uint16_t ProbeDivisionFlags();
