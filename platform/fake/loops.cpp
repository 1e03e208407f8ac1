// The timed loops of the unit-test build only count their calls: the tests script the clocks
// read around them instead.
#include "platform/loops.h"

#include "platform/fake/fake_platform.h"

namespace platform {

void RunScanLoop() {
    ++fake::processor().scan_loop_runs;
}

void RunCountingLoop(int32_t iterations) {
    fake::processor().counting_loop_iterations.push_back(iterations);
}

}  // namespace platform
