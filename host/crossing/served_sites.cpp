#include "host/crossing/served_sites.h"

#include "host/base/fault_catching.h"

namespace qel {
namespace {

struct ServedSite {
    uintptr_t address;  // 0: a free slot
    virtual_cpu::SiteKind kind;
};
// A test program loads a few copies of the DLL at a time, each with a handful of sites.
ServedSite sites[8 * virtual_cpu::kMaxSites];
SiteServer site_server = nullptr;

bool ServeTrap(TrapFrame* frame) {
    if (site_server == nullptr || frame->instruction == 0)
        return false;
    for (const ServedSite& site : sites) {
        if (site.address != frame->instruction)
            continue;
        SiteRegisters registers{frame->eax, frame->ebx, frame->ecx, frame->edx};
        site_server(site.kind, &registers);
        frame->eax = registers.eax;
        frame->ebx = registers.ebx;
        frame->ecx = registers.ecx;
        frame->edx = registers.edx;
        frame->instruction += kSiteLength;
        return true;
    }
    return false;
}

}  // namespace

void SetSiteServer(SiteServer server) {
    site_server = server;
    SetTrapServer(server != nullptr ? &ServeTrap : nullptr);
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

}  // namespace qel
