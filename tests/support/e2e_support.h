// What the end-to-end speed tests need besides the loaded DLL: the processor they run on (a
// qemu model or the real one), a reference clock rate, and scripted Win32 clocks.
#pragma once
#include <cpuid.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/win32/emulation.h"
#include "tests/support/shared_dll.h"

namespace speed_e2e {

struct ProcessorFacts {
    std::string vendor;
    uint32_t family = 0;  // bits 8-11 of leaf 1
    bool time_stamp = false;
};

inline ProcessorFacts ThisProcessor() {
    ProcessorFacts facts;
    unsigned eax, ebx, ecx, edx;
    __cpuid(0, eax, ebx, ecx, edx);
    char vendor[13] = {};
    memcpy(vendor, &ebx, 4);
    memcpy(vendor + 4, &edx, 4);
    memcpy(vendor + 8, &ecx, 4);
    facts.vendor = vendor;
    if (eax >= 1) {
        __cpuid(1, eax, ebx, ecx, edx);
        facts.family = (eax >> 8) & 0xF;
        facts.time_stamp = (edx & 0x10) != 0;
    }
    return facts;
}

inline bool IsClone(const ProcessorFacts& p) {
    return p.vendor == "AuthenticAMD" || p.vendor == "CyrixInstead";
}

inline uint64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

// The time-stamp counter's rate in MHz against the monotonic clock over 200 ms.
inline double ReferenceMhz() {
    static const double mhz = [] {
        const uint64_t t0 = MonotonicNanoseconds();
        const uint64_t c0 = __builtin_ia32_rdtsc();
        while (MonotonicNanoseconds() - t0 < 200000000u) {
        }
        const uint64_t c1 = __builtin_ia32_rdtsc();
        const uint64_t t1 = MonotonicNanoseconds();
        return double(c1 - c0) * 1000.0 / double(t1 - t0);
    }();
    return mhz;
}

// A performance counter of `counts_per_second` that moves `step` counts between reads.
inline void UseSteppingCounter(int64_t counts_per_second, int64_t step, int* reads) {
    qel::emulation().counter_frequency = [counts_per_second](int64_t* value) {
        *value = counts_per_second;
        return true;
    };
    auto next = std::make_shared<int64_t>(1000);
    qel::emulation().counter = [next, step, reads](int64_t* value) {
        ++*reads;
        *value = *next;
        *next += step;
        return true;
    };
}

// Millisecond readings answered in turn; past the script the clock moves on by 1 a read.
inline std::function<uint32_t()> Readings(std::vector<uint32_t> values, int* reads) {
    auto queue = std::make_shared<std::deque<uint32_t>>(values.begin(), values.end());
    return [queue, reads] {
        ++*reads;
        uint32_t value = queue->front();
        if (queue->size() > 1) {
            queue->pop_front();
        } else {
            queue->front() += 1;
        }
        return value;
    };
}

// Counts the reads of the performance counter, which runs at 10 MHz as it would.
inline void CountRealCounterReads(int* reads) {
    qel::emulation().counter = [reads](int64_t* value) {
        ++*reads;
        *value = int64_t(MonotonicNanoseconds() / 100u);
        return true;
    };
}

// The processor a suite needs; other processors skip it. Under a qemu model the test
// registration names the vendor to expect, so a wrong skip cannot pass unnoticed.
class SpeedDllTest : public host_test::DllTest {
  protected:
    ProcessorFacts processor_ = ThisProcessor();
    uint32_t Speed(const char* mode) {
        const qel::Outcome outcome = dll().Call(5, {std::string(mode)});
        EXPECT_EQ(outcome.callbacks, 1);
        EXPECT_EQ(outcome.status, 0);
        return static_cast<uint32_t>(outcome.value);
    }
};

}  // namespace speed_e2e
