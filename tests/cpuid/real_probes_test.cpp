// The probes over the real processor operations, on whatever processor runs this program
// (natively, or as qemu models it): what every processor with CPUID must answer, flags
// restored on a misaligned stack, and identifications racing a reader. What identification
// makes of CPUID is checked through the real DLL (dll_identification_test.cpp).
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <thread>

#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "cpuid/refresh_vendor_state.h"
#include "cpuid/vendor_state.h"

namespace {

// The arithmetic status flags (CF, PF, AF, ZF, SF, OF): any compare after a probe's restore
// may change them. Every other bit must come back as it was.
constexpr uint32_t kStatusFlags = 0x08D5;
constexpr uint32_t kNestedTaskFlag = 0x4000;

// Calls `probe` with the flags read right before and right after it, and the stack pointer
// two bytes off a multiple of four. Where the kernel enforces alignment checks (Linux on a
// real processor does; qemu does not), a probe that set the alignment-check flag without
// aligning the stack first would die of SIGBUS here.
struct ProbeRun {
    uint16_t answer;
    uint32_t flags_before;
    uint32_t flags_after;
};

ProbeRun RunOnMisalignedStack(uint16_t (*probe)()) {
    uint32_t answer, before, after;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "andl $-16, %%esp\n\t"
        "subl $2, %%esp\n\t"
        "pushfl\n\t"
        "popl %%edi\n\t"
        "call *%[probe]\n\t"
        "pushfl\n\t"
        "popl %%ecx\n\t"
        "movl %%esi, %%esp"
        : "=a"(answer), "=D"(before), "=c"(after)
        : [probe] "b"(probe)
        : "esi", "edx", "memory", "cc");
    return {static_cast<uint16_t>(answer), before, after};
}

TEST(RealProbesTest, CpuidIsSupportedAndTheIdFlagIsLeftAlone) {
    const uint32_t before = __builtin_ia32_readeflags_u32();
    EXPECT_EQ(CpuidSupported(), 1);
    EXPECT_EQ(__builtin_ia32_readeflags_u32() & ~kStatusFlags, before & ~kStatusFlags);
}

TEST(RealProbesTest, NoLegacyProbeAnswersAndEachRestoresTheFlags) {
    const struct {
        const char* name;
        uint16_t (*probe)();
    } probes[] = {{"Probe8086", Probe8086}, {"Probe80286", Probe80286}, {"Probe80386", Probe80386}};
    for (const auto& p : probes) {
        SCOPED_TRACE(p.name);
        // Twice: once from the flags as they are, once with the nested-task flag set
        // beforehand, which the 16-bit probes write.
        for (uint32_t extra : {0u, kNestedTaskFlag}) {
            SCOPED_TRACE(extra);
            const uint32_t saved = __builtin_ia32_readeflags_u32();
            __builtin_ia32_writeeflags_u32(saved | extra);
            const ProbeRun run = RunOnMisalignedStack(p.probe);
            __builtin_ia32_writeeflags_u32(saved);
            EXPECT_EQ(run.answer, 0xFFFF);
            EXPECT_EQ(run.flags_after & ~kStatusFlags, run.flags_before & ~kStatusFlags);
            EXPECT_EQ(run.flags_before & extra, extra);
        }
    }
}

TEST(RealProbesTest, DivisionProbeAnswersZeroOrOne) {
    const uint16_t answer = ProbeDivisionFlags();
    EXPECT_LE(answer, 1);
    // Where the runner knows how this processor's DIV treats the zero flag, it says so.
    if (const char* expected = getenv("KZ_DIVISION_KEEPS_ZERO_FLAG")) {
        EXPECT_EQ(answer, atoi(expected));
    }
    printf("ProbeDivisionFlags: %u\n", answer);
}

// Callers are not serialised. On one processor every identification ends with the same
// values, so a reader racing with identifications in another thread must only ever see
// those values, never a half-made classification. The race is the point of this test; it
// catches a classification made in place most times, not every time.
TEST(RealProbesTest, ConcurrentIdentificationsPublishOnlyFinalValues) {
    RefreshVendorStateFromCpuid();
    const uint32_t expected[] = {IntelMatch, CyrixMatch, AmdMatch, CloneFlag, VendorCode};
    uint32_t* const published[] = {&IntelMatch, &CyrixMatch, &AmdMatch, &CloneFlag, &VendorCode};

    std::atomic<bool> done{false};
    std::thread identifier([&] {
        for (int i = 0; i < 40000; ++i)
            RefreshVendorStateFromCpuid();
        done = true;
    });
    long readings = 0, wrong = 0;
    while (!done) {
        for (int k = 0; k < 5; ++k) {
            wrong += __atomic_load_n(published[k], __ATOMIC_RELAXED) != expected[k];
        }
        ++readings;
    }
    identifier.join();
    EXPECT_EQ(wrong, 0) << "out of " << readings << " readings";
}

}  // namespace
