#include "cpuid/processor_type.h"

#include "abi/x86_flags.h"
#include "cpuid/refresh_vendor_state.h"
#include "cpuid/vendor_state.h"
#include "platform/processor.h"

namespace {

constexpr uint16_t kNoAnswer = 0xFFFF;
using qel_abi::eflags::kAlignmentCheck;
using qel_abi::eflags::kHighNibble16;

constexpr uint16_t kType8086 = 0;
constexpr uint16_t kType80286 = 2;
constexpr uint16_t kType80386 = 3;
constexpr uint16_t kType80486 = 4;

// The class of a processor without CPUID, by the first probe that answers.
uint16_t LegacyTypeNumber() {
    if (Probe8086() == kType8086)
        return kType8086;
    if (Probe80286() == kType80286)
        return kType80286;
    if (Probe80386() == kType80386)
        return kType80386;
    return kType80486;
}

}  // namespace

uint16_t ReadProcessorTypeAndRefreshVendorState() {
    // Without CPUID the refresh runs the clone test, before any type probe.
    const VendorRefresh refresh = RefreshVendorState();
    uint16_t type = refresh.has_cpuid ? refresh.family : LegacyTypeNumber();
    if (CloneFlag != 0)
        type |= kCloneBit;
    return type;
}

uint16_t Probe8086() {
    // An 8086 keeps bits 12-15 of its flags set whatever is written.
    uint16_t saved = platform::ReadFlags16();
    uint16_t reading = platform::WriteReadFlags16(saved & ~kHighNibble16);
    platform::WriteFlags16(saved);
    return (reading & kHighNibble16) == kHighNibble16 ? kType8086 : kNoAnswer;
}

uint16_t Probe80286() {
    // An 80286 in real mode keeps bits 12-15 clear whatever is written.
    uint16_t saved = platform::ReadFlags16();
    uint16_t reading = platform::WriteReadFlags16(saved | kHighNibble16);
    platform::WriteFlags16(saved);
    return (reading & kHighNibble16) == 0 ? kType80286 : kNoAnswer;
}

uint16_t Probe80386() {
    // An 80386 has no alignment-check flag, so bit 18 does not toggle.
    platform::FlagReadings readings = platform::ToggleFlags32OnAlignedStack(kAlignmentCheck);
    return readings.before == readings.after ? kType80386 : kNoAnswer;
}
