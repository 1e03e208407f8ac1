#include "host/remote/catalogue_setup.h"

namespace qel {

RunnerSetUp CatalogueSetUp(const CatalogueProcessor& processor, bool scripted_clocks) {
    RunnerSetUp setup;
    setup.cpuid = CatalogueCpuid(processor);
    setup.clock_khz = processor.clock_khz;
    if (!scripted_clocks)
        return setup;
    if ((processor.real_features & kFeatureTimeStampCounter) != 0) {
        setup.timeline_step_ns = 1'000'000;
    } else {
        setup.timeline_step_ns = ScanLoopNanoseconds(processor);
        setup.counter_hz = kTimerChipHz;
    }
    return setup;
}

}  // namespace qel
