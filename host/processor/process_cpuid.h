// CPUID executed in this very process, for what the host reports beside the DLL's answers.
#pragma once
#include <stdint.h>

#include "host/virtual_cpu/cpuid_model.h"

namespace qel {

// EAX, EBX, ECX and EDX of `leaf` into regs; false (regs untouched) when the processor has
// no CPUID (its ID flag does not toggle) or does not answer that leaf.
bool ReadThisProcessCpuid(uint32_t leaf, uint32_t regs[4]);

// The same where `model` answers the DLL's CPUID: false for a leaf above the highest one its
// range's first leaf names.
bool ReadModelCpuid(const virtual_cpu::CpuidModel& model, uint32_t leaf, uint32_t regs[4]);

// CPUID `leaf` with ECX `subleaf`, executed as it stands: only where HasCpuid().
bool HasCpuid();
void ExecuteCpuid(uint32_t leaf, uint32_t subleaf, uint32_t regs[4]);

}  // namespace qel
