#include "speed/measure_speed.h"

#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "platform/trace.h"
#include "platform/win32_services.h"
#include "speed/measuring_methods.h"
#include "speed/norm_freq.h"
#include "speed/rate_arithmetic.h"

using platform::TracePoint;

namespace {

// Below the 80386 there is no cost for the scan loop, and no time-stamp counter.
constexpr uint16_t kOldestTellableType = 3;

void TraceResult(const SpeedSample& sample) {
    TracePoint("Results............................................", 0);
    TracePoint("cycles", sample.cycles);
    TracePoint("ticks", sample.ticks);
    TracePoint("freq", sample.freq);
    TracePoint("NormFreq(processor, freq)", static_cast<uint32_t>(sample.nominal_freq));
}

}  // namespace

SpeedSample MeasureSpeed(int32_t iteration_cycles) {
    const uint16_t type = ReadProcessorTypeAndRefreshVendorState();
    const uint32_t features = ReadFeatureFlagsAndRefreshVendorState();
    const SpeedSample zero_sample{0, 0, 0, 0};
    TracePoint("Start run *******************************************************************", 0);
    if (type & kCloneBit)
        return zero_sample;

    uint32_t cycles;
    bool scan_loop_forced;
    if (iteration_cycles == 0) {
        cycles = static_cast<uint32_t>(qel_abi::kScanLoopCyclesByType[type]) * kScanLoopPasses;
        scan_loop_forced = false;
    } else if (iteration_cycles >= 1 && iteration_cycles <= kMostIterationCycles) {
        cycles = static_cast<uint32_t>(iteration_cycles) * kScanLoopPasses;
        scan_loop_forced = true;
    } else {
        return zero_sample;
    }
    TracePoint("cycles A", cycles);

    uint64_t count_freq = 0;
    if (!platform::ReadCounterFrequency(&count_freq))
        return zero_sample;
    TracePoint("count_freq.HighPart", HighPart(count_freq));
    TracePoint("count_freq.LowPart", LowPart(count_freq));
    // A frequency whose low half is 0 cannot divide anything: treated as no counter.
    if (LowPart(count_freq) == 0)
        return zero_sample;
    const CounterClock clock{LowPart(count_freq), MicrosecondDivisor(LowPart(count_freq))};

    SpeedSample sample{cycles, 0, 0, 0};
    if ((features & kTimeStampCounterFeature) && !scan_loop_forced) {
        RunTimeStampMethod(clock, &sample);
    } else if (type < kOldestTellableType) {
        TracePoint("Processor too old to tell", 0);
        sample = zero_sample;
    } else {
        RunScanLoopMethod(clock, &sample);
    }
    sample.nominal_freq = NormFreq(type, static_cast<int32_t>(sample.freq));
    TraceResult(sample);
    return sample;
}
