#include "host/crossing/served_sites.h"

#include "host/virtual_cpu/time_stamp_model.h"

namespace qel {
namespace {

struct ServedSite {
    uintptr_t address;  // 0: a free slot
    virtual_cpu::SiteKind kind;
};
// A test program loads a few copies of the DLL at a time, each with a handful of sites.
ServedSite sites[8 * virtual_cpu::kMaxSites];
SiteServer site_server = nullptr;

}  // namespace

void SetSiteServer(SiteServer server) {
    site_server = server;
}

bool RegisterServedSite(uintptr_t address, virtual_cpu::SiteKind kind) {
    for (ServedSite& site : sites) {
        if (site.address == 0 || site.address == address) {
            site = {address, kind};
            return true;
        }
    }
    return false;
}

void ForgetServedSites(uintptr_t begin, uint32_t size) {
    for (ServedSite& site : sites) {
        if (site.address != 0 && site.address - begin < size)
            site = {};
    }
}

bool ServeSiteAt(uintptr_t* instruction, SiteRegisters* registers) {
    if (site_server == nullptr || *instruction == 0)
        return false;
    for (const ServedSite& site : sites) {
        if (site.address != *instruction)
            continue;
        site_server(site.kind, registers);
        *instruction += kSiteLength;
        return true;
    }
    return false;
}

void AnswerFromModels(virtual_cpu::SiteKind kind, const virtual_cpu::CpuidModel* cpuid,
                      uint32_t rate_khz, uint64_t (*stamp_nanoseconds)(),
                      SiteRegisters* registers) {
    if (kind == virtual_cpu::SiteKind::kCpuid) {
        const virtual_cpu::CpuidAnswer answer = cpuid != nullptr
                                                    ? cpuid->Answer(registers->eax, registers->ecx)
                                                    : virtual_cpu::CpuidAnswer{};
        *registers = {answer.eax, answer.ebx, answer.ecx, answer.edx};
        return;
    }
    // Counting from 0 at the session clock's 0: an arbitrary first count, as after any reset.
    const uint64_t count = virtual_cpu::CyclesInNanoseconds(stamp_nanoseconds(), rate_khz);
    registers->eax = static_cast<uint32_t>(count);
    registers->edx = static_cast<uint32_t>(count >> 32);
}

}  // namespace qel
