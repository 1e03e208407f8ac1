// What a catalogue processor brings to the runner: its recorded CPUID, its clock rate, and on
// scripted clocks the session's one timeline.
#pragma once
#include "host/processor/processor_catalogue.h"
#include "host/remote/remote_extender.h"

namespace qel {

// The timeline moves 1 ms a read; on a chip without a time-stamp counter, the model of its
// performance counter instead: the 8254's 1.193182 MHz, and as long a read as the DLL's
// scan loop takes on the chip (ScanLoopNanoseconds), so that the loop it times between two
// readings takes the real chip's time.
RunnerSetUp CatalogueSetUp(const CatalogueProcessor& processor, bool scripted_clocks);

// The same for any processor: its recorded leaves, whose leaf 1 gives the signature and the
// time-stamp counter bit, and its clock rate (not 0).
RunnerSetUp ProcessorSetUp(const virtual_cpu::CpuidModel& cpuid, uint32_t clock_khz,
                           bool scripted_clocks);

}  // namespace qel
