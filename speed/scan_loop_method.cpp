// The scan loop of known cost per pass, timed ten times; the fastest timing counts.
#include "platform/loops.h"
#include "platform/trace.h"
#include "platform/win32_services.h"
#include "speed/measuring_methods.h"
#include "speed/rate_arithmetic.h"

using platform::TracePoint;

namespace {

constexpr int kTimings = 10;

}  // namespace

void RunScanLoopMethod(const CounterClock& clock, SpeedSample* sample) {
    TracePoint("Read Time Stamp NOT Supported", 0);
    uint32_t current = 0;
    uint32_t fastest = 0xFFFFFFFF;
    for (int timing = 0; timing < kTimings; ++timing) {
        uint64_t t0 = 0;
        uint64_t t1 = 0;
        platform::ReadCounter(&t0);
        platform::RunScanLoop();
        platform::ReadCounter(&t1);
        current = LowPart(t1) - LowPart(t0);
        TracePoint("current", current);
        if (current < fastest)
            fastest = current;
    }
    TracePoint("ticks", fastest);
    sample->ticks =
        CountsToMicroseconds(fastest, clock.counts_per_second, clock.microsecond_divisor).ticks;
    sample->freq = RateInMhz(sample->cycles, sample->ticks).freq;
}
