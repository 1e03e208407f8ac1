// The rate of this machine's time-stamp counter, for a survey's listings that record no
// clock rate of their own.
#pragma once
#include <stdint.h>

namespace qel {

// In kHz, rounded to the MHz, measured over 100 ms of CLOCK_MONOTONIC (the counter of a
// current processor runs at a constant rate, so a loaded machine reads the same); 0 where
// the processor has no time-stamp counter.
uint32_t MeasureHostTimeStampKhz();

}  // namespace qel
