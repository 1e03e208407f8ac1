// One clock-rate measurement. All four fields 0 means that nothing was measured.
#pragma once
#include <stdint.h>

struct SpeedSample {
    uint32_t cycles;       // clock cycles in the timed interval
    uint32_t ticks;        // the interval in microseconds
    uint32_t freq;         // the measured rate in MHz
    int32_t nominal_freq;  // the rate as the nearest nominal rating of the family
};
