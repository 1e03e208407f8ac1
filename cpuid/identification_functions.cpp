// The six script functions that identify the processor. None reports an error.
#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "cpuid/refresh_vendor_state.h"
#include "cpuid/signature.h"
#include "cpuid/vendor_state.h"
#include "extender/report.h"
#include "extender/script_functions.h"

int32_t ccpuid(const Call& call) {
    // CPUID is never executed where it does not exist: such a processor reports the type
    // number of its processor-type word (0, 2, 3 or 4) instead of a family.
    if (!CpuidSupported())
        return ReportValue(call, ReadProcessorTypeAndRefreshVendorState() & 0xFF);
    return ReportValue(call, ReadFamilyAndRefreshVendorState());
}

int32_t ccpufeat(const Call& call) {
    return ReportValue(call, ReadFeatureFlagsAndRefreshVendorState());
}

int32_t ccpuidext(const Call& call) {
    return ReportValue(call, ReadSignatureAndRefreshVendorState());
}

int32_t ccpusupt(const Call& call) {
    return ReportValue(call, CpuidSupported());
}

int32_t cclonecheck(const Call& call) {
    RefreshVendorState();
    return ReportValue(call, CloneFlag);
}

int32_t cvendorid(const Call& call) {
    ReadSignatureAndRefreshVendorState();
    return ReportValue(call, VendorCode);
}
