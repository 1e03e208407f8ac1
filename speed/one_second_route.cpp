#include "speed/one_second_route.h"

#include "abi/function_values.h"
#include "platform/processor.h"
#include "platform/win32_services.h"

namespace {

constexpr int32_t kTimerStepMilliseconds = 1;
constexpr int32_t kIntervalMilliseconds = 1000;
constexpr uint64_t kCyclesPerMhzSecond = 1000000;

// Reads the timer into `e` until it is more than `milliseconds` past `s` (signed, wrapping).
uint32_t WaitPast(uint32_t s, int32_t milliseconds) {
    uint32_t e;
    do {
        e = platform::ReadMultimediaTime();
    } while (static_cast<int32_t>(e - s) <= milliseconds);
    return e;
}

// CPUID as a barrier, so the stamp is not read ahead of the timer reads.
uint64_t FencedTimeStamp() {
    platform::ExecuteCpuid(0);
    return platform::ReadTimeStamp();
}

}  // namespace

OneSecondCount CountCyclesOverOneSecond() {
    uint32_t s = platform::ReadMultimediaTime();
    uint32_t e = WaitPast(s, kTimerStepMilliseconds);
    const uint64_t start_stamp = FencedTimeStamp();
    s = e;
    e = WaitPast(s, kIntervalMilliseconds);
    const uint64_t end_stamp = FencedTimeStamp();
    return {end_stamp - start_stamp, e - s};
}

uint32_t OneSecondFigure(const OneSecondCount& count, int32_t mode) {
    // The interval mode reports milliseconds on this route.
    if (mode == qel_abi::speed_mode::kMicroseconds)
        return count.milliseconds;
    if (mode == qel_abi::speed_mode::kCycles)
        return static_cast<uint32_t>(count.cycles);
    // All 64 bits: a clock above 4294 MHz would wrap the low half.
    return static_cast<uint32_t>(count.cycles / kCyclesPerMhzSecond);
}
