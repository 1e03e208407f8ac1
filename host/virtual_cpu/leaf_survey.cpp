#include "host/virtual_cpu/leaf_survey.h"

namespace qel::virtual_cpu {

namespace {

constexpr uint32_t kMaxSubleaves = 64;
// Leaves no range holds more of; a bigger highest leaf is a damaged answer.
constexpr uint32_t kMaxLeavesInRange = 0x100;

// The leaves whose answers depend on ECX (Intel's and AMD's manuals).
constexpr uint32_t kSubleafLeaves[] = {0x4,  0x7,  0xb,  0xd,        0xf,        0x10,
                                       0x12, 0x14, 0x17, 0x18,       0x1d,       0x1f,
                                       0x20, 0x23, 0x24, 0x8000001d, 0x80000020, 0x80000026};

bool HasSubleaves(uint32_t leaf) {
    for (uint32_t known : kSubleafLeaves) {
        if (known == leaf)
            return true;
    }
    return false;
}

// The topology leaves end at the first level whose type (ECX bits 15-8) is 0; that level
// still answers its number and x2APIC ID, so it is kept.
bool IsTopologyLeaf(uint32_t leaf) {
    return leaf == 0xb || leaf == 0x1f || leaf == 0x80000026;
}

class Recorder {
  public:
    Recorder(CpuidReader read, void* context) : read_(read), context_(context) {}

    void Leaf(uint32_t leaf) {
        const CpuidAnswer first = read_(context_, leaf, 0);
        Keep(leaf, 0, first);
        if (!HasSubleaves(leaf))
            return;
        CpuidAnswer answers[kMaxSubleaves];
        uint32_t count = 1;
        answers[0] = first;
        bool all_alike = true;
        for (uint32_t subleaf = 1; subleaf < kMaxSubleaves; subleaf++) {
            if (IsTopologyLeaf(leaf) && ((answers[count - 1].ecx >> 8) & 0xff) == 0)
                break;
            answers[count] = read_(context_, leaf, subleaf);
            all_alike = all_alike && answers[count] == first;
            count++;
        }
        if (all_alike)
            return;
        for (uint32_t subleaf = 1; subleaf < count; subleaf++)
            Keep(leaf, subleaf, answers[subleaf]);
    }

    // Every leaf of the range at `base`, where leaf `base` names a highest leaf inside it.
    void Range(uint32_t base) {
        const uint32_t highest = read_(context_, base, 0).eax;
        if (highest < base || highest - base >= kMaxLeavesInRange)
            return;
        for (uint32_t leaf = base; leaf - base <= highest - base; leaf++)
            Leaf(leaf);
    }

    Survey Finish() { return survey_; }

  private:
    // An answer of zeros is what the model gives for what it lacks: not worth a record.
    void Keep(uint32_t leaf, uint32_t subleaf, const CpuidAnswer& answer) {
        if (answer == CpuidAnswer{})
            return;
        if (!survey_.leaves.Add({leaf, subleaf, answer.eax, answer.ebx, answer.ecx, answer.edx}))
            survey_.complete = false;
    }

    CpuidReader read_;
    void* context_;
    Survey survey_;
};

}  // namespace

Survey SurveyLeaves(CpuidReader read, void* context) {
    Recorder recorder(read, context);
    const uint32_t highest_basic = read(context, 0, 0).eax;
    const uint32_t basic_leaves =
        highest_basic < kMaxLeavesInRange ? highest_basic : kMaxLeavesInRange - 1;
    for (uint32_t leaf = 0; leaf <= basic_leaves; leaf++)
        recorder.Leaf(leaf);
    for (uint32_t base : {0x80000000u, 0x80860000u, 0xc0000000u})
        recorder.Range(base);
    return recorder.Finish();
}

}  // namespace qel::virtual_cpu
