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
    if ((leaf1.edx & kFeatureTimeStampCounter) != 0) {
        setup.timeline_step_ns = 1'000'000;
    } else {
        setup.timeline_step_ns = ScanLoopNanoseconds(leaf1.eax, clock_khz);
        setup.counter_hz = kTimerChipHz;
    }
    return setup;
}

}  // namespace qel
