// The processor's clock rate: time-stamp cycles timed against the performance counter, or a
// scan loop of known cost timed the same way.
#pragma once
#include <stdint.h>

#include "abi/scan_loop.h"
#include "speed/speed_sample.h"

using qel_abi::kScanLoopPasses;
constexpr int32_t kMostIterationCycles = 150;

// `iteration_cycles` 0 takes the cycles per scan-loop pass from the table and prefers the
// time-stamp counter; 1 to 150 states them and forces the scan loop; anything else, like a
// clone, a missing counter or a processor too old to tell, gives the zero sample.
SpeedSample MeasureSpeed(int32_t iteration_cycles);
