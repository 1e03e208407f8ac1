// Decodes 32-bit code as 80386 instructions, plus CPUID and RDTSC, to find where the code
// executes those two. Never a byte search: 0F A2 inside an immediate or a displacement is
// not an instruction, and a site is only reported where the decoding from the start came
// out clean up to it. Freestanding (the runner builds it): no heap, no exceptions.
#pragma once
#include <stdint.h>

#include <span>

namespace qel::virtual_cpu {

enum class SiteKind : uint8_t { kCpuid, kRdtsc };

struct Site {
    uint32_t offset = 0;  // of the instruction's first byte (its prefixes, if any)
    SiteKind kind = SiteKind::kCpuid;
    friend bool operator==(const Site&, const Site&) = default;
};

enum class Refusal : uint8_t {
    kNone,
    kNot80386,      // an opcode, or a form of one, that the 80386 does not have
    kPastTheEnd,    // the instruction runs past the end of the code
    kTooLong,       // longer than the 15 bytes the processor accepts (repeated prefixes)
    kTooManySites,  // more CPUID and RDTSC instructions than kMaxSites
};
const char* RefusalText(Refusal refusal);

// One instruction: its length, or why it is not one.
struct Instruction {
    uint32_t length = 0;
    Refusal refusal = Refusal::kNone;
    bool is_site = false;
    SiteKind kind = SiteKind::kCpuid;
};
Instruction DecodeInstruction(std::span<const uint8_t> code, uint32_t offset);

inline constexpr uint32_t kMaxSites = 32;

struct Decoding {
    Refusal refusal = Refusal::kNone;
    uint32_t refused_at = 0;  // offset of the instruction that did not decode
    uint32_t site_count = 0;
    Site sites[kMaxSites] = {};

    bool clean() const { return refusal == Refusal::kNone; }
    std::span<const Site> Sites() const { return {sites, site_count}; }
};

// Decodes code[start, end) one instruction after the other; offsets count from code[0].
Decoding DecodeSites(std::span<const uint8_t> code, uint32_t start);

}  // namespace qel::virtual_cpu
