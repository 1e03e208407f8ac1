#include "speed/rate_arithmetic.h"

namespace {

constexpr uint32_t kMicrosecondsPerTenthSecond = 100000;

// The deviation of one rate from the mean, as a signed 32-bit value that may wrap.
bool WithinOneMhzOfMean(uint32_t rate, uint32_t total) {
    int32_t deviation = static_cast<int32_t>(3u * rate - total);
    return deviation >= -3 && deviation <= 3;
}

}  // namespace

uint32_t MicrosecondDivisor(uint32_t counts_per_second) {
    return counts_per_second > 10 ? counts_per_second / 10 : 1;
}

MicrosecondSteps CountsToMicroseconds(uint32_t counts, uint32_t counts_per_second,
                                      uint32_t divisor) {
    MicrosecondSteps steps{};
    steps.scaled = counts * kMicrosecondsPerTenthSecond;
    steps.divided = steps.scaled / divisor;
    steps.raised = steps.divided == 0;
    if (steps.raised)
        steps.divided = 1;
    // The remainder is that of the microseconds by the frequency, not of the division above:
    // for any usual counter it is the microseconds themselves and adds nothing.
    steps.ticks = steps.divided;
    if (steps.divided % counts_per_second > counts_per_second / 2)
        steps.ticks += 1;
    return steps;
}

RateSteps RateInMhz(uint32_t cycles, uint32_t ticks) {
    RateSteps steps{};
    steps.quotient = cycles / ticks;
    steps.freq = steps.quotient;
    if (cycles % ticks > ticks / 2)
        steps.freq += 1;
    return steps;
}

bool RunsAgree(uint32_t freq, uint32_t freq2, uint32_t freq3) {
    uint32_t total = freq + freq2 + freq3;
    return WithinOneMhzOfMean(freq, total) && WithinOneMhzOfMean(freq2, total) &&
           WithinOneMhzOfMean(freq3, total);
}

uint32_t RoundedMean(uint32_t total) {
    if (total / 3 != (total + 1) / 3)
        total += 1;
    return total / 3;
}
