#include "host/remote/catalogue_setup.h"

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
    const bool has_leaf_1 = cpuid.Answer(0, 0).eax >= 1;
    const virtual_cpu::CpuidAnswer leaf1 =
        has_leaf_1 ? cpuid.Answer(1, 0) : virtual_cpu::CpuidAnswer{};
    const ScriptedTimeline timeline = ProcessorTimeline(leaf1.eax, leaf1.edx, clock_khz);
    setup.timeline_step_ns = timeline.step_ns;
    setup.counter_hz = timeline.counter_hz;
    return setup;
}

}  // namespace qel
