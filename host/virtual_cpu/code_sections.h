// The CPUID and RDTSC sites of an image's executable sections, each section decoded from its
// start as 80386 code. The PE side (which sections, their bytes) belongs to the loader; this
// takes them as plain spans. Freestanding (the runner builds it).
#pragma once
#include <stdint.h>

#include <span>
#include <string_view>

#include "host/virtual_cpu/i386_decoder.h"

namespace qel::virtual_cpu {

struct CodeSection {
    std::string_view name;
    uint32_t rva = 0;
    std::span<const uint8_t> bytes;  // the section's data, at most its virtual size
};

struct SectionSite {
    uint32_t section = 0;  // index into the sections given
    uint32_t offset = 0;   // from the section's start
    uint32_t rva = 0;
    SiteKind kind = SiteKind::kCpuid;
};

inline constexpr uint32_t kMaxImageSites = kMaxSites;

struct ImageSites {
    Refusal refusal = Refusal::kNone;
    uint32_t refused_section = 0;
    uint32_t refused_offset = 0;  // from the section's start
    uint32_t count = 0;
    SectionSite sites[kMaxImageSites] = {};

    bool clean() const { return refusal == Refusal::kNone; }
    std::span<const SectionSite> Sites() const { return {sites, count}; }
};

// How much of a code section's bytes is code: mingw's linker closes .text with the empty
// constructor and destructor lists (-1, then the 0 that ends each list), which are data.
// Zero fill after the last instruction is accepted as padding. Neither can hold a site.
uint32_t CodeLength(std::span<const uint8_t> section_bytes);

ImageSites FindImageSites(std::span<const CodeSection> sections);

}  // namespace qel::virtual_cpu
