// The processor's clock rate: time-stamp cycles timed against the performance counter, or a
// scan loop of known cost timed the same way.
#pragma once
#include <stdint.h>

#include "speed/speed_sample.h"

// Clock cycles of one scan-loop pass, by processor-type word (clone bit clear).
extern const int32_t IterationCyclesByType[16];

constexpr uint32_t kScanLoopPasses = 4000;
constexpr int32_t kMostIterationCycles = 150;

// `iteration_cycles` 0 takes the cycles per scan-loop pass from the table and prefers the
// time-stamp counter; 1 to 150 states them and forces the scan loop; anything else, like a
// clone, a missing counter or a processor too old to tell, gives the zero sample.
SpeedSample MeasureSpeed(int32_t iteration_cycles);
