#include "host/virtual_cpu/cpuid_wire.h"

namespace qel::virtual_cpu {

size_t WriteCpuidWire(const CpuidModel& model, std::span<uint32_t> out) {
    const std::span<const CpuidRecord> records = model.Records();
    const size_t words = CpuidWireWords(records.size());
    if (out.size() < words)
        return 0;
    out[0] = kCpuidWireTag;
    out[1] = static_cast<uint32_t>(records.size());
    size_t at = 2;
    for (const CpuidRecord& record : records) {
        for (uint32_t word :
             {record.leaf, record.subleaf, record.eax, record.ebx, record.ecx, record.edx})
            out[at++] = word;
    }
    return words;
}

bool ReadCpuidWire(std::span<const uint32_t> words, CpuidModel* model) {
    if (words.size() < 2 || words[0] != kCpuidWireTag)
        return false;
    const uint32_t count = words[1];
    if (count > CpuidModel::kCapacity || words.size() != CpuidWireWords(count))
        return false;
    CpuidModel read;
    for (uint32_t index = 0; index < count; index++) {
        const uint32_t* word = &words[2 + kCpuidWireWordsPerRecord * index];
        if (!read.Add({word[0], word[1], word[2], word[3], word[4], word[5]}))
            return false;
    }
    *model = read;
    return true;
}

}  // namespace qel::virtual_cpu
