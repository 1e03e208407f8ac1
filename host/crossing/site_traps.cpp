#include "host/crossing/site_traps.h"

#include "host/base/fault_catching.h"

namespace qel {
namespace {

bool ServeTrap(TrapFrame* frame) {
    SiteRegisters registers{frame->eax, frame->ebx, frame->ecx, frame->edx};
    if (!ServeSiteAt(&frame->instruction, &registers))
        return false;
    frame->eax = registers.eax;
    frame->ebx = registers.ebx;
    frame->ecx = registers.ecx;
    frame->edx = registers.edx;
    return true;
}

}  // namespace

void ServeSitesOnTraps(SiteServer server) {
    SetSiteServer(server);
    SetTrapServer(server != nullptr ? &ServeTrap : nullptr);
}

}  // namespace qel
