// The two ways MeasureSpeed times the processor, over a known performance counter.
#pragma once
#include <stdint.h>

#include "speed/speed_sample.h"

struct CounterClock {
    uint32_t counts_per_second;    // the low half of the counter's frequency; never 0
    uint32_t microsecond_divisor;  // MicrosecondDivisor(counts_per_second)
};

// The low and high halves of a 64-bit counter reading.
inline uint32_t LowPart(uint64_t value) {
    return static_cast<uint32_t>(value);
}
inline uint32_t HighPart(uint64_t value) {
    return static_cast<uint32_t>(value >> 32);
}

// Repeats timed runs of 10000 counter counts until the last three rates agree (3 to 20
// runs); sets all of `sample` but nominal_freq.
void RunTimeStampMethod(const CounterClock& clock, SpeedSample* sample);

// Times the scan loop ten times; `sample->cycles` holds its cost, ticks and freq are set.
void RunScanLoopMethod(const CounterClock& clock, SpeedSample* sample);
