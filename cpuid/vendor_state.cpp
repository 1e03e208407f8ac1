#include "cpuid/vendor_state.h"

char VendorBuffer[12] = {'-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-', '-'};
uint32_t IntelMatch = 0;
uint32_t CyrixMatch = 0;
uint32_t AmdMatch = 0;
uint32_t CloneFlag = 0;
uint32_t VendorCode = 0;
uint32_t HighestBasicLeaf = 0;

namespace {

// Exactly twelve characters each, compared without a terminator.
constexpr char kIntelVendor[12] = {'G', 'e', 'n', 'u', 'i', 'n', 'e', 'I', 'n', 't', 'e', 'l'};
constexpr char kCyrixVendor[12] = {'C', 'y', 'r', 'i', 'x', 'I', 'n', 's', 't', 'e', 'a', 'd'};
constexpr char kAmdVendor[12] = {'A', 'u', 't', 'h', 'e', 'n', 't', 'i', 'c', 'A', 'M', 'D'};

void StoreRegister(char* to, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

VendorClassification ClassifyVendor(const platform::CpuidRegisters& leaf0) {
    VendorClassification state;
    StoreRegister(state.vendor, leaf0.ebx);
    StoreRegister(state.vendor + 4, leaf0.edx);
    StoreRegister(state.vendor + 8, leaf0.ecx);

    uint32_t intel = 1, cyrix = 1, amd = 1;
    for (int i = 0; i < 12; ++i) {
        if (state.vendor[i] != kIntelVendor[i])
            intel = 0;
        if (state.vendor[i] != kCyrixVendor[i])
            cyrix = 0;
        if (state.vendor[i] != kAmdVendor[i])
            amd = 0;
    }
    uint32_t clone = 0;
    uint32_t code = qel_abi::vendor_code::kOther;
    if (intel) {
        clone = 0;
        code = qel_abi::vendor_code::kIntel;
    }
    if (cyrix) {
        clone = 1;
        code = qel_abi::vendor_code::kCyrix;
    }
    if (amd) {
        clone = 1;
        code = qel_abi::vendor_code::kAmd;
    }
    state.intel_match = intel;
    state.cyrix_match = cyrix;
    state.amd_match = amd;
    state.clone_flag = clone;
    state.vendor_code = code;
    state.highest_basic_leaf = leaf0.eax;
    return state;
}

uint32_t RefreshVendorStateFromCpuid() {
    const VendorClassification state = ClassifyVendor(platform::ExecuteCpuid(0));
    PublishVendorState(state, VendorStateScope::kWhole);
    return state.highest_basic_leaf;
}
