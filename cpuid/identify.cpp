#include "cpuid/identify.h"

#include "abi/x86_flags.h"
#include "cpuid/vendor_state.h"
#include "platform/processor.h"

uint16_t CpuidSupported() {
    platform::FlagReadings readings = platform::ToggleFlags32(qel_abi::eflags::kId);
    platform::WriteFlags32(readings.before);
    return readings.before != readings.after ? 1 : 0;
}

uint32_t ReadFeatureFlagsAndRefreshVendorState() {
    if (!CpuidSupported())
        return 0;
    if (!HasLeafOne(RefreshVendorStateFromCpuid()))
        return 0;
    return platform::ExecuteCpuid(1).edx;
}

uint16_t ReadFamilyAndRefreshVendorState() {
    if (!HasLeafOne(RefreshVendorStateFromCpuid()))
        return kNoLeafOne;
    return static_cast<uint16_t>((platform::ExecuteCpuid(1).eax >> 8) & 0xF);
}
