// The processor operations, in GCC inline assembly for the 80386. Each block uses registers
// only: several move the stack pointer, so no operand may be addressed through it. The
// assembler admits only 80386 instructions; CPUID and RDTSC are enabled just for their own
// instruction, which runs only once the caller has established the processor has it.
#include "platform/processor.h"

namespace platform {

CpuidRegisters ExecuteCpuid(uint32_t leaf) {
    CpuidRegisters out;
    __asm__ volatile(".arch push\n\t.arch i486\n\tcpuid\n\t.arch pop"
                     : "=a"(out.eax), "=b"(out.ebx), "=c"(out.ecx), "=d"(out.edx)
                     : "a"(leaf), "b"(0), "c"(0), "d"(0));
    return out;
}

FlagReadings ToggleFlags32(uint32_t mask) {
    FlagReadings out;
    __asm__ volatile(
        "pushfl\n\t"
        "popl %[before]\n\t"
        "movl %[before], %[after]\n\t"
        "xorl %[mask], %[after]\n\t"
        "pushl %[after]\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %[after]"
        : [before] "=&r"(out.before), [after] "=&r"(out.after)
        : [mask] "r"(mask)
        : "cc");
    return out;
}

void WriteFlags32(uint32_t value) {
    __asm__ volatile("pushl %0\n\tpopfl" : : "r"(value) : "cc");
}

FlagReadings ToggleFlags32OnAlignedStack(uint32_t mask) {
    FlagReadings out;
    uint32_t saved_sp;
    // While the alignment-check flag may be set, only aligned pushes and pops happen.
    __asm__ volatile(
        "movl %%esp, %[saved]\n\t"
        "andw $0xfffc, %%sp\n\t"
        "pushfl\n\t"
        "popl %[before]\n\t"
        "movl %[before], %[after]\n\t"
        "xorl %[mask], %[after]\n\t"
        "pushl %[after]\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %[after]\n\t"
        "pushl %[before]\n\t"
        "popfl\n\t"
        "movw %w[saved], %%sp"
        : [before] "=&r"(out.before), [after] "=&r"(out.after), [saved] "=&r"(saved_sp)
        : [mask] "r"(mask)
        : "cc");
    return out;
}

uint16_t ReadFlags16() {
    uint16_t value;
    __asm__ volatile("pushfw\n\tpopw %0" : "=r"(value));
    return value;
}

uint16_t WriteReadFlags16(uint16_t value) {
    uint16_t reading;
    __asm__ volatile("pushw %1\n\tpopfw\n\tpushfw\n\tpopw %0" : "=&r"(reading) : "r"(value) : "cc");
    return reading;
}

void WriteFlags16(uint16_t value) {
    __asm__ volatile("pushw %0\n\tpopfw" : : "r"(value) : "cc");
}

bool DivisionKeepsZeroFlag() {
    uint8_t zero_flag;
    // The XOR sets the zero flag; MOV leaves it alone; what DIV does to it tells the maker.
    __asm__ volatile(
        "movw $0x5555, %%ax\n\t"
        "xorw %%dx, %%dx\n\t"
        "movw $2, %%cx\n\t"
        "divw %%cx\n\t"
        "setz %0"
        : "=q"(zero_flag)
        :
        : "eax", "ecx", "edx", "cc");
    return zero_flag != 0;
}

uint64_t ReadTimeStamp() {
    uint64_t stamp;
    __asm__ volatile(".arch push\n\t.arch i586\n\trdtsc\n\t.arch pop" : "=A"(stamp));
    return stamp;
}

}  // namespace platform
