// What a catalogue processor brings to the runner: its recorded CPUID, its clock rate, and on
// scripted clocks the session's one timeline.
#pragma once
#include "host/processor/processor_catalogue.h"
#include "host/remote/remote_extender.h"

namespace qel {

// On scripted clocks, the chip's timeline (CatalogueTimeline).
RunnerSetUp CatalogueSetUp(const CatalogueProcessor& processor, bool scripted_clocks);

// The same for any processor: its recorded leaves, whose leaf 1 gives the signature and the
// time-stamp counter bit, and its clock rate (not 0).
RunnerSetUp ProcessorSetUp(const virtual_cpu::CpuidModel& cpuid, uint32_t clock_khz,
                           bool scripted_clocks);

}  // namespace qel
