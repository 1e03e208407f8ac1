// ccpuspeed: clones count cycles over one second of the multimedia timer; every other
// processor is measured against the performance counter.
#include "speed/cpu_speed.h"

#include "abi/function_values.h"
#include "cpuid/identify.h"
#include "cpuid/refresh_vendor_state.h"
#include "cpuid/vendor_state.h"
#include "extender/numeric_text.h"
#include "extender/report.h"
#include "extender/script_functions.h"
#include "resources/messages.h"
#include "speed/measure_speed.h"
#include "speed/one_second_route.h"

SpeedSample LastSpeedSample = {0, 0, 0, 0};

namespace {

// Any mode but the three figures is the nominal rating.
uint32_t SampleFigure(const SpeedSample& sample, int32_t mode) {
    if (mode == qel_abi::speed_mode::kMhz)
        return sample.freq;
    if (mode == qel_abi::speed_mode::kMicroseconds)
        return sample.ticks;
    if (mode == qel_abi::speed_mode::kCycles)
        return sample.cycles;
    return static_cast<uint32_t>(sample.nominal_freq);
}

// A clone without CPUID, or without a time-stamp counter, cannot execute what the
// one-second route needs: it counts nothing and reports 0.
bool CanCountCycles(bool has_cpuid) {
    return has_cpuid && (ReadFeatureFlagsAndRefreshVendorState() & kTimeStampCounterFeature) != 0;
}

}  // namespace

int32_t ccpuspeed(const Call& call) {
    const bool has_cpuid = RefreshVendorState().has_cpuid;
    int32_t mode;
    if (!ReadNumericArgument(call.args[0], &mode))
        return ReportError(call, KZ_MSG_SPEED_MODE);

    if (CloneFlag == 1) {
        if (!CanCountCycles(has_cpuid))
            return ReportValue(call, 0);
        return ReportValue(call, OneSecondFigure(CountCyclesOverOneSecond(), mode));
    }
    // Intel, and any processor that is neither Intel nor a clone, is measured.
    LastSpeedSample = MeasureSpeed(0);
    return ReportValue(call, SampleFigure(LastSpeedSample, mode));
}
