// The timed loops in inline assembly, so that no optimisation can remove, unroll or reshape
// them; a test finds these exact instruction sequences in the built DLL.
#include "platform/loops.h"

namespace platform {

void RunScanLoop() {
    __asm__ volatile(
        "movl $0x80000000, %%eax\n\t"
        "movw $4000, %%cx\n"
        "1:\n\t"
        "bsfl %%eax, %%edx\n\t"
        "decw %%cx\n\t"
        "jnz 1b"
        :
        :
        : "eax", "ecx", "edx", "cc");
}

void RunCountingLoop(int32_t iterations) {
    int32_t counter;
    // The counter lives in memory on purpose: each pass is a load, an add and a store.
    __asm__ volatile(
        "movl $0, %[counter]\n\t"
        "jmp 2f\n"
        "1:\n\t"
        "movl %[counter], %%eax\n\t"
        "addl $1, %%eax\n\t"
        "movl %%eax, %[counter]\n"
        "2:\n\t"
        "cmpl %[iterations], %[counter]\n\t"
        "jl 1b"
        : [counter] "=m"(counter)
        : [iterations] "r"(iterations)
        : "eax", "cc");
}

}  // namespace platform
