// The two fixed instruction loops whose cost is the thing being timed. Real: inline
// assembly the compiler cannot reshape (platform/real). Fake: counted calls (platform/fake).
#pragma once
#include <stdint.h>

namespace platform {

// 4000 passes of BSF on a register holding 0x80000000, a 16-bit DEC of the pass counter and
// a branch back while it is not zero: the pass whose clock cycles the scan-loop table gives.
void RunScanLoop();

// A 32-bit counter in memory, starting at 0: while it is below `iterations` (signed), read
// it from memory, add 1 and write it back.
void RunCountingLoop(int32_t iterations);

}  // namespace platform
