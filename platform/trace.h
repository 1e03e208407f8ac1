// Trace sink for the clock-rate measurement's intermediate values. It does nothing in the
// DLL; the unit-test build records the labels and values to check the order of the steps.
#pragma once
#include <stdint.h>

namespace platform {

void TracePoint(const char* label, uint32_t value);

}  // namespace platform
