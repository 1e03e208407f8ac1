// The answers a virtual processor gives to CPUID: a fixed table of recorded leaves.
// Freestanding (the runner builds it): no heap, no exceptions.
#pragma once
#include <stdint.h>

#include <array>
#include <span>

namespace qel::virtual_cpu {

struct CpuidRecord {
    uint32_t leaf = 0, subleaf = 0;
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
    friend bool operator==(const CpuidRecord&, const CpuidRecord&) = default;
};

struct CpuidAnswer {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
    friend bool operator==(const CpuidAnswer&, const CpuidAnswer&) = default;
};

class CpuidModel {
  public:
    // Enough for every leaf and subleaf of a current processor's dump (about 120 on a
    // 13th-generation Core), with room to spare.
    static constexpr uint32_t kCapacity = 256;

    // False, leaving the model as it was, when the table is full or already holds the
    // record's leaf and subleaf.
    bool Add(const CpuidRecord& record);

    // Every leaf exactly as recorded; zeros for a leaf the table lacks. A leaf recorded with
    // subleaves answers by ECX (zeros for a subleaf not recorded); a leaf recorded only as
    // subleaf 0 answers whatever ECX holds.
    CpuidAnswer Answer(uint32_t leaf, uint32_t subleaf) const;

    std::span<const CpuidRecord> Records() const { return {records_.data(), count_}; }

  private:
    std::array<CpuidRecord, kCapacity> records_{};
    uint32_t count_ = 0;
};

}  // namespace qel::virtual_cpu
