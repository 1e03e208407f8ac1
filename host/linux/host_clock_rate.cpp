#include "host/linux/host_clock_rate.h"

#include <stdint.h>
#include <time.h>

#include "host/processor/process_cpuid.h"
#include "host/processor/processor_catalogue.h"

namespace qel {
namespace {

uint64_t ReadTimeStamp() {
    uint32_t low = 0, high = 0;
    asm volatile("rdtsc" : "=a"(low), "=d"(high));
    return (uint64_t(high) << 32) | low;
}

uint64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1'000'000'000u + uint64_t(now.tv_nsec);
}

struct Reading {
    uint64_t nanoseconds;
    uint64_t cycles;
};

// The counter with the clock around it; of a few tries the one read closest together, so
// that a preemption between the reads (a loaded machine, qemu) does not count.
Reading ReadTogether() {
    Reading best{0, 0};
    uint64_t narrowest = UINT64_MAX;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const uint64_t before = MonotonicNanoseconds();
        const uint64_t cycles = ReadTimeStamp();
        const uint64_t after = MonotonicNanoseconds();
        if (after - before < narrowest) {
            narrowest = after - before;
            best = {before + (after - before) / 2, cycles};
        }
    }
    return best;
}

}  // namespace

uint32_t MeasureHostTimeStampKhz() {
    uint32_t leaf1[4] = {};
    if (!ReadThisProcessCpuid(1, leaf1) || (leaf1[3] & kFeatureTimeStampCounter) == 0)
        return 0;
    const Reading start = ReadTogether();
    const timespec pause = {0, 100'000'000};
    nanosleep(&pause, nullptr);
    const Reading end = ReadTogether();
    const uint64_t nanoseconds = end.nanoseconds - start.nanoseconds;
    if (nanoseconds == 0)
        return 0;
    const uint64_t mhz = ((end.cycles - start.cycles) * 1'000'000 / nanoseconds + 500) / 1000;
    return mhz <= UINT32_MAX / 1000 ? static_cast<uint32_t>(mhz * 1000) : 0;
}

}  // namespace qel
