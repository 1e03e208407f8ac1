#include "cpuid/refresh_vendor_state.h"

#include "cpuid/identify.h"
#include "cpuid/vendor_state.h"
#include "platform/processor.h"

VendorRefresh RefreshVendorState() {
    if (CpuidSupported())
        return {true, ReadFamilyAndRefreshVendorState()};
    VendorClassification division_verdict = {};
    division_verdict.clone_flag = ProbeDivisionFlags();
    PublishVendorState(division_verdict, VendorStateScope::kCloneFlagOnly);
    return {false, 0};
}

uint16_t ProbeDivisionFlags() {
    return platform::DivisionKeepsZeroFlag() ? 1 : 0;
}
