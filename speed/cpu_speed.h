// The speed function's one piece of state.
#pragma once

#include "speed/speed_sample.h"

// The sample of the last call that took the measuring route; all zero at load.
extern SpeedSample LastSpeedSample;
