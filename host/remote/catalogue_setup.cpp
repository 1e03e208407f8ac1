#include "host/remote/catalogue_setup.h"

#include "host/processor/process_cpuid.h"

namespace qel {

RunnerSetUp CatalogueSetUp(const CatalogueProcessor& processor, bool scripted_clocks) {
    return ProcessorSetUp(CatalogueCpuid(processor), processor.clock_khz, scripted_clocks);
}

RunnerSetUp ProcessorSetUp(const virtual_cpu::CpuidModel& cpuid, uint32_t clock_khz,
                           bool scripted_clocks) {
    RunnerSetUp setup;
    setup.cpuid = cpuid;
    setup.clock_khz = clock_khz;
    if (!scripted_clocks)
        return setup;
    uint32_t leaf1[4] = {};  // zeros where the model has no leaf 1
    ReadModelCpuid(cpuid, 1, leaf1);
    const ScriptedTimeline timeline = ProcessorTimeline(leaf1[0], leaf1[3], clock_khz);
    setup.timeline_step_ns = timeline.step_ns;
    setup.counter_hz = timeline.counter_hz;
    return setup;
}

}  // namespace qel
