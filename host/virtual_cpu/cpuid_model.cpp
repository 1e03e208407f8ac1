#include "host/virtual_cpu/cpuid_model.h"

namespace qel::virtual_cpu {

bool CpuidModel::Add(const CpuidRecord& record) {
    if (count_ == kCapacity)
        return false;
    for (const CpuidRecord& held : Records()) {
        if (held.leaf == record.leaf && held.subleaf == record.subleaf)
            return false;
    }
    records_[count_++] = record;
    return true;
}

CpuidAnswer CpuidModel::Answer(uint32_t leaf, uint32_t subleaf) const {
    const CpuidRecord* subleaf_zero = nullptr;
    bool other_subleaves = false;
    for (const CpuidRecord& held : Records()) {
        if (held.leaf != leaf)
            continue;
        if (held.subleaf == subleaf)
            return {held.eax, held.ebx, held.ecx, held.edx};
        if (held.subleaf == 0) {
            subleaf_zero = &held;
        } else {
            other_subleaves = true;
        }
    }
    if (subleaf_zero != nullptr && !other_subleaves)
        return {subleaf_zero->eax, subleaf_zero->ebx, subleaf_zero->ecx, subleaf_zero->edx};
    return {};
}

}  // namespace qel::virtual_cpu
