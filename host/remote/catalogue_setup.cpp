#include "host/remote/catalogue_setup.h"

namespace qel {

RunnerSetUp CatalogueSetUp(const CatalogueProcessor& processor, bool scripted_clocks) {
    RunnerSetUp setup;
    setup.cpuid = CatalogueCpuid(processor);
    setup.clock_khz = processor.clock_khz;
    if (!scripted_clocks)
        return setup;
    const ScriptedTimeline timeline = CatalogueTimeline(processor);
    setup.timeline_step_ns = timeline.step_ns;
    setup.counter_hz = timeline.counter_hz;
    return setup;
}

}  // namespace qel
