// The CPUID and RDTSC sites of a loaded image that a trap stands in for, and the server that
// answers them. The loader registers each site it patches; a front that serves a virtual
// processor sets the server. The fault handler (Linux: host/crossing/site_traps.h; Windows:
// qelhost.exe's vectored handler) then answers a trap only at a registered address: every
// other illegal instruction stays a fault. Every build of the host.
#pragma once
#include <stdint.h>

#include "host/virtual_cpu/cpuid_model.h"
#include "host/virtual_cpu/i386_decoder.h"

namespace qel {

// What takes a site's place: UD2, exactly as long as CPUID and RDTSC, and a fault on every
// processor from the 80386 on (an illegal opcode there) and under every emulator.
inline constexpr uint8_t kSiteTrap[2] = {0x0F, 0x0B};
inline constexpr uint32_t kSiteLength = 2;

// The registers the instruction reads and writes.
struct SiteRegisters {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// Answers the instruction a trap stands in for; called in the fault handler, so it must be
// async-signal-safe.
using SiteServer = void (*)(virtual_cpu::SiteKind kind, SiteRegisters* registers);
void SetSiteServer(SiteServer server);

// False when the table is full (then the site must not be patched).
bool RegisterServedSite(uintptr_t address, virtual_cpu::SiteKind kind);
// Forgets the sites inside [begin, begin + size): the image is being unmapped.
void ForgetServedSites(uintptr_t begin, uint32_t size);

// The fault handler's question: where *instruction is a registered site and a server is set,
// answers it into *registers, moves *instruction past it and returns true; else false (a
// fault).
bool ServeSiteAt(uintptr_t* instruction, SiteRegisters* registers);

// The models' answer, as every front's server gives it: CPUID from `cpuid` by EAX and ECX
// (zeros where there is no model), RDTSC as `rate_khz` cycles a millisecond of the session's
// clock, which `stamp_nanoseconds` reads (only for RDTSC), counting from 0 at its 0.
void AnswerFromModels(virtual_cpu::SiteKind kind, const virtual_cpu::CpuidModel* cpuid,
                      uint32_t rate_khz, uint64_t (*stamp_nanoseconds)(), SiteRegisters* registers);

}  // namespace qel
