// Which leaves and subleaves make a processor's dump: every basic leaf up to the highest
// leaf 0 names, every leaf of the extended (0x80000000), Transmeta (0x80860000) and Centaur
// (0xc0000000) ranges the processor has, and the subleaves of the leaves that have them.
// Freestanding (the runner surveys an emulated processor too).
#pragma once
#include <stdint.h>

#include "host/virtual_cpu/cpuid_model.h"

namespace qel::virtual_cpu {

// Executes CPUID, or asks a model.
using CpuidReader = CpuidAnswer (*)(void* context, uint32_t leaf, uint32_t subleaf);

struct Survey {
    CpuidModel leaves;
    bool complete = true;  // false: the processor has more records than the model holds
};

// Answers of all zeros are left out: the model gives them for what it lacks. A leaf with
// subleaves is read at ECX 0 to 63, the topology leaves up to their first invalid level; one
// whose subleaves all answer alike keeps subleaf 0 alone, which answers whatever ECX holds.
Survey SurveyLeaves(CpuidReader read, void* context);

}  // namespace qel::virtual_cpu
