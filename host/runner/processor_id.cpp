#include "host/runner/processor_id.h"

namespace qel {
namespace {

constexpr uint32_t kIdFlag = 1u << 21;

// Whether the ID flag of EFLAGS can be flipped: the processor then has CPUID.
bool IdFlagToggles() {
    uint32_t before, after;
    asm volatile(
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl %2, %1\n\t"
        "pushl %1\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %1\n\t"
        "pushl %0\n\t"
        "popfl"
        : "=&r"(before), "=&r"(after)
        : "ri"(kIdFlag)
        : "cc");
    return ((before ^ after) & kIdFlag) != 0;
}

}  // namespace

bool ReadCpuid(uint32_t leaf, uint32_t (&registers)[4]) {
    if (!IdFlagToggles())
        return false;
    asm volatile("cpuid"
                 : "=a"(registers[0]), "=b"(registers[1]), "=c"(registers[2]), "=d"(registers[3])
                 : "a"(leaf), "c"(0));
    return true;
}

}  // namespace qel
