#include "host/processor/process_cpuid.h"

#include "abi/x86_flags.h"

namespace qel {
namespace {

// A processor without CPUID keeps bit 21 of EFLAGS as it is; executing CPUID there faults.
bool IdFlagToggles() {
    uint32_t before = 0, after = 0;
    asm volatile(
        "pushfl\n\t"
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl %2, %1\n\t"
        "pushl %1\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %1\n\t"
        "popfl"
        : "=&r"(before), "=&r"(after)
        : "i"(qel_abi::eflags::kId)
        : "cc");
    return ((before ^ after) & qel_abi::eflags::kId) != 0;
}

void Cpuid(uint32_t leaf, uint32_t regs[4]) {
    ExecuteCpuid(leaf, 0, regs);
}

}  // namespace

bool HasCpuid() {
    return IdFlagToggles();
}

void ExecuteCpuid(uint32_t leaf, uint32_t subleaf, uint32_t regs[4]) {
    asm volatile("cpuid"
                 : "=a"(regs[0]), "=b"(regs[1]), "=c"(regs[2]), "=d"(regs[3])
                 : "a"(leaf), "c"(subleaf));
}

bool ReadThisProcessCpuid(uint32_t leaf, uint32_t regs[4]) {
    if (!IdFlagToggles())
        return false;
    // The first leaf of each range (0, 0x80000000) names the highest one answered there.
    const uint32_t range = leaf & 0x80000000u;
    uint32_t highest[4];
    Cpuid(range, highest);
    if (leaf != range && ((highest[0] & 0x80000000u) != range || highest[0] < leaf))
        return false;
    Cpuid(leaf, regs);
    return true;
}

bool ReadModelCpuid(const virtual_cpu::CpuidModel& model, uint32_t leaf, uint32_t regs[4]) {
    if (leaf > model.Answer(leaf & 0xFFFF0000u, 0).eax)
        return false;
    const virtual_cpu::CpuidAnswer answer = model.Answer(leaf, 0);
    regs[0] = answer.eax;
    regs[1] = answer.ebx;
    regs[2] = answer.ecx;
    regs[3] = answer.edx;
    return true;
}

}  // namespace qel
