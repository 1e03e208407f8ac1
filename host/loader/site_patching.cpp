#include "host/loader/site_patching.h"

#include <string.h>

#include <vector>

#include "host/crossing/served_sites.h"
#include "host/virtual_cpu/code_sections.h"

namespace qel {
namespace {

using virtual_cpu::SiteKind;

}  // namespace

bool WriteTrapInPlace(uint8_t* place) {
    memcpy(place, kSiteTrap, kSiteLength);
    return true;
}

bool PatchServedSites(uint8_t* base, std::span<const Section> sections, SiteServing serving,
                      LoadFailure* failure, TrapWriter write) {
    std::vector<virtual_cpu::CodeSection> code;
    std::vector<uint32_t> numbers;  // each code section's index among all sections
    for (uint32_t index = 0; index < sections.size(); ++index) {
        const Section& section = sections[index];
        if (!section.holds_code() || section.mapped_size() == 0)
            continue;
        code.push_back({section.name,
                        section.virtual_address,
                        {base + section.virtual_address, section.mapped_size()}});
        numbers.push_back(index);
    }
    const virtual_cpu::ImageSites found = virtual_cpu::FindImageSites(code);
    if (!found.clean()) {
        const uint32_t refused = found.refused_section;
        return Fail(failure, LoadFailureKind::kUnsupported,
                    "cannot serve CPUID and RDTSC: section " + Decimal(numbers[refused]) + " (" +
                        sections[numbers[refused]].name + ") at offset " +
                        Hexadecimal(found.refused_offset) + ": " +
                        virtual_cpu::RefusalText(found.refusal));
    }
    for (const virtual_cpu::SectionSite& site : found.Sites()) {
        if (!(site.kind == SiteKind::kCpuid ? serving.cpuid : serving.rdtsc))
            continue;
        // A prefixed site is longer than the trap: refused rather than half patched.
        if (virtual_cpu::DecodeInstruction(code[site.section].bytes, site.offset).length !=
            kSiteLength) {
            return Fail(failure, LoadFailureKind::kUnsupported,
                        "cannot serve CPUID and RDTSC: section " + Decimal(numbers[site.section]) +
                            " (" + sections[numbers[site.section]].name + ") at offset " +
                            Hexadecimal(site.offset) + ": a prefixed CPUID or RDTSC");
        }
        uint8_t* place = base + site.rva;
        if (!RegisterServedSite(reinterpret_cast<uintptr_t>(place), site.kind)) {
            return Fail(failure, LoadFailureKind::kUnsupported,
                        "cannot serve CPUID and RDTSC: more sites than the host serves");
        }
        if (!write(place)) {
            return Fail(failure, LoadFailureKind::kUnsupported,
                        "cannot serve CPUID and RDTSC: the code at RVA " + Hexadecimal(site.rva) +
                            " cannot be made writable");
        }
    }
    return true;
}

}  // namespace qel
