#include "host/virtual_cpu/code_sections.h"

#include <algorithm>

namespace qel::virtual_cpu {

namespace {

// __CTOR_LIST__ and __DTOR_LIST__ without entries, the last list's closing zeros trimmed
// with the padding.
constexpr uint8_t kEmptyListsHead[] = {0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};

}  // namespace

uint32_t CodeLength(std::span<const uint8_t> section_bytes) {
    size_t data_end = section_bytes.size();
    while (data_end > 0 && section_bytes[data_end - 1] == 0)
        data_end--;
    const size_t lists = sizeof(kEmptyListsHead);
    if (data_end >= lists && std::equal(kEmptyListsHead, kEmptyListsHead + lists,
                                        section_bytes.begin() + (data_end - lists)))
        return static_cast<uint32_t>(data_end - lists);
    return static_cast<uint32_t>(section_bytes.size());
}

namespace {

// Zero fill after the last instruction ends the code, whatever its length.
bool OnlyZerosFrom(std::span<const uint8_t> bytes, uint32_t offset) {
    return std::all_of(bytes.begin() + offset, bytes.end(), [](uint8_t byte) { return byte == 0; });
}

}  // namespace

ImageSites FindImageSites(std::span<const CodeSection> sections) {
    ImageSites found;
    for (uint32_t index = 0; index < sections.size(); index++) {
        const CodeSection& section = sections[index];
        const std::span<const uint8_t> code = section.bytes.first(CodeLength(section.bytes));
        Decoding decoding = DecodeSites(code, 0);
        if (decoding.refusal == Refusal::kPastTheEnd && OnlyZerosFrom(code, decoding.refused_at))
            decoding.refusal = Refusal::kNone;
        for (const Site& site : decoding.Sites()) {
            if (found.count == kMaxImageSites) {
                found.refusal = Refusal::kTooManySites;
                found.refused_section = index;
                found.refused_offset = site.offset;
                return found;
            }
            found.sites[found.count++] = {index, site.offset, section.rva + site.offset, site.kind};
        }
        if (!decoding.clean()) {
            found.refusal = decoding.refusal;
            found.refused_section = index;
            found.refused_offset = decoding.refused_at;
            return found;
        }
    }
    return found;
}

}  // namespace qel::virtual_cpu
