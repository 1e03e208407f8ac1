#include "cpuid/identify.h"

#include "cpuid/processor_type.h"
#include "cpuid/vendor_state.h"
#include "platform/processor.h"

char VendorBuffer[12] = {'-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-'};
uint32_t IntelMatch = 0;
uint32_t CyrixMatch = 0;
uint32_t AmdMatch = 0;
uint32_t CloneFlag = 0;
uint32_t VendorCode = 0;
uint32_t HighestBasicLeaf = 0;

namespace {

constexpr uint32_t kIdFlag = 0x200000;

// Exactly twelve characters each, compared without a terminator.
constexpr char kIntelVendor[12] = {'G', 'e', 'n', 'u', 'i', 'n', 'e', 'I', 'n', 't', 'e', 'l'};
constexpr char kCyrixVendor[12] = {'C', 'y', 'r', 'i', 'x', 'I', 'n', 's', 't', 'e', 'a', 'd'};
constexpr char kAmdVendor[12] = {'A', 'u', 't', 'h', 'e', 'n', 't', 'i', 'c', 'A', 'M', 'D'};

void StoreRegister(char* to, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<char>(value >> (8 * i));
}

// One store of the final value, which the compiler may neither split nor precede with
// another value.
template <typename T>
void Publish(T& shared, T value) {
    __atomic_store_n(&shared, value, __ATOMIC_RELAXED);
}

// True when CPUID reports leaf 1; the highest leaf is compared as a signed number.
bool HasLeafOne(uint32_t highest_leaf) {
    return static_cast<int32_t>(highest_leaf) >= 1;
}

}  // namespace

uint16_t CpuidSupported() {
    platform::FlagReadings readings = platform::ToggleFlags32(kIdFlag);
    platform::WriteFlags32(readings.before);
    return readings.before != readings.after ? 1 : 0;
}

uint32_t IdentifyVendor() {
    platform::CpuidRegisters leaf0 = platform::ExecuteCpuid(0);
    char vendor[12];
    StoreRegister(vendor, leaf0.ebx);
    StoreRegister(vendor + 4, leaf0.edx);
    StoreRegister(vendor + 8, leaf0.ecx);

    // Classified in locals and published once at the end: callers are not serialised, and
    // a concurrent reader must never see a value this processor would not end with.
    uint32_t intel = 1, cyrix = 1, amd = 1;
    for (int i = 0; i < 12; ++i) {
        if (vendor[i] != kIntelVendor[i])
            intel = 0;
        if (vendor[i] != kCyrixVendor[i])
            cyrix = 0;
        if (vendor[i] != kAmdVendor[i])
            amd = 0;
    }
    uint32_t clone = 0;
    uint32_t code = kVendorOther;
    if (intel) {
        clone = 0;
        code = kVendorIntel;
    }
    if (cyrix) {
        clone = 1;
        code = kVendorCyrix;
    }
    if (amd) {
        clone = 1;
        code = kVendorAmd;
    }

    Publish(HighestBasicLeaf, leaf0.eax);
    for (int i = 0; i < 12; ++i)
        Publish(VendorBuffer[i], vendor[i]);
    Publish(IntelMatch, intel);
    Publish(CyrixMatch, cyrix);
    Publish(AmdMatch, amd);
    Publish(CloneFlag, clone);
    Publish(VendorCode, code);
    return leaf0.eax;
}

uint16_t ReadSignature() {
    if (!CpuidSupported()) {
        // The type number lands in the family position; the clone bit falls off the top.
        return static_cast<uint16_t>(GetProcessorType() << 8);
    }
    if (!HasLeafOne(IdentifyVendor()))
        return 0;
    return static_cast<uint16_t>(platform::ExecuteCpuid(1).eax);
}

uint32_t ReadFeatureFlags() {
    if (!CpuidSupported())
        return 0;
    if (!HasLeafOne(IdentifyVendor()))
        return 0;
    return platform::ExecuteCpuid(1).edx;
}

uint16_t ReadFamily() {
    if (!HasLeafOne(IdentifyVendor()))
        return kNoLeafOne;
    return static_cast<uint16_t>((platform::ExecuteCpuid(1).eax >> 8) & 0xF);
}
