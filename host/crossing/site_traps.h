// The Linux fault handler's share of the virtual processor: a SIGILL at a served site is
// answered by the site server instead of becoming a fault. Linux only.
#pragma once
#include "host/crossing/served_sites.h"

namespace qel {

// Sets the site server and makes the fault handler ask it (a null server: every trap is a
// fault again).
void ServeSitesOnTraps(SiteServer server);

}  // namespace qel
