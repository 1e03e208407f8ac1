// The DLL's scan loop, its clock-rate route on a processor without a time-stamp counter:
// the passes one timing runs, and what a pass costs in clock cycles by processor-type word
// (the family for the 80386 to the P6; 38 from there on). The host models a chip's counter
// from these, so both read them here.
#pragma once
#include <stdint.h>

namespace qel_abi {

inline constexpr uint32_t kScanLoopPasses = 4000;
inline constexpr int32_t kScanLoopCyclesByType[16] = {0,  0,  0,  115, 47, 43, 38, 38,
                                                      38, 38, 38, 38,  38, 38, 38, 38};

}  // namespace qel_abi
