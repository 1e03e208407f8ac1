// What a catalogue processor brings to the runner: its recorded CPUID, its clock rate, and on
// scripted clocks the session's one timeline.
#pragma once
#include "host/processor/processor_catalogue.h"
#include "host/remote/remote_extender.h"

namespace qel {

// On scripted clocks, the chip's timeline (CatalogueTimeline).
RunnerSetUp CatalogueSetUp(const CatalogueProcessor& processor, bool scripted_clocks);

}  // namespace qel
