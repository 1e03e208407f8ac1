#include "cpuid/signature.h"

#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "cpuid/vendor_state.h"
#include "platform/processor.h"

uint16_t ReadSignatureAndRefreshVendorState() {
    if (!CpuidSupported()) {
        // The type number lands in the family position; the clone bit falls off the top.
        return static_cast<uint16_t>(ReadProcessorTypeAndRefreshVendorState() << 8);
    }
    if (!HasLeafOne(RefreshVendorStateFromCpuid()))
        return 0;
    return static_cast<uint16_t>(platform::ExecuteCpuid(1).eax);
}
