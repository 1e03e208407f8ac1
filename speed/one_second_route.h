// The clone processors' clock rate: time-stamp cycles over just over a second of the
// multimedia timer.
#pragma once
#include <stdint.h>

struct OneSecondCount {
    uint64_t cycles;        // time-stamp cycles across the interval, all 64 bits
    uint32_t milliseconds;  // the interval by the multimedia timer, more than 1000
};

// Waits for a step of the timer, then counts cycles until more than 1000 ms have passed.
// CPUID fences both stamps; only where CPUID and the time-stamp counter exist.
OneSecondCount CountCyclesOverOneSecond();

// The figure a speed mode selects: 2 the milliseconds, 3 the low 32 bits of the cycles,
// anything else whole MHz (cycles / 1000000, truncated).
uint32_t OneSecondFigure(const OneSecondCount& count, int32_t mode);
