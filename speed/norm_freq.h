// Measured MHz onto the nominal rating of the processor's family.
#pragma once
#include <stdint.h>

// The smallest rating of the family's list that is at least `freq` minus the list's
// tolerance; `freq` unchanged above the list or when `processor` (the whole processor-type
// word) is not 3, 4, 5, 6 or 15.
int32_t NormFreq(uint16_t processor, int32_t freq);
