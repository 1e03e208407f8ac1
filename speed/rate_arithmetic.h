// The arithmetic that turns counter counts and clock cycles into a rate, in 32-bit unsigned
// arithmetic that wraps. Each step's intermediate value is kept for the trace.
#pragma once
#include <stdint.h>

// What one count of the microsecond conversion divides by: a tenth of the counter's
// frequency, or 1 for counters of 10 counts per second or slower.
uint32_t MicrosecondDivisor(uint32_t counts_per_second);

struct MicrosecondSteps {
    uint32_t scaled;   // counts x 100000, wrapped
    uint32_t divided;  // scaled / divisor, raised to 1 when it was 0
    bool raised;       // the division gave 0
    uint32_t ticks;    // divided, plus 1 when its remainder by the frequency passes half
};

// Counter counts to microseconds. `counts_per_second` must not be 0.
MicrosecondSteps CountsToMicroseconds(uint32_t counts, uint32_t counts_per_second,
                                      uint32_t divisor);

struct RateSteps {
    uint32_t quotient;  // cycles / ticks
    uint32_t freq;      // the quotient, plus 1 when the remainder passes half of ticks
};

// Cycles over microseconds is MHz. `ticks` must not be 0.
RateSteps RateInMhz(uint32_t cycles, uint32_t ticks);

// Three rates agree when each lies within 1 MHz of their mean: |3 x rate - total| <= 3,
// reckoned in signed 32-bit arithmetic.
bool RunsAgree(uint32_t freq, uint32_t freq2, uint32_t freq3);

// total / 3 rounded to the nearest whole number.
uint32_t RoundedMean(uint32_t total);
