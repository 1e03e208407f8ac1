#include "host/win32/virtual_processor.h"

#include "host/crossing/site_traps.h"

namespace qel::win32 {
namespace {

void ServeSite(virtual_cpu::SiteKind kind, SiteRegisters* registers) {
    const Emulation& settings = emulation();
    AnswerFromModels(kind, settings.cpuid_model ? &*settings.cpuid_model : nullptr,
                     settings.time_stamp_khz, &StampNanoseconds, registers);
}

}  // namespace

SiteServing ServingOf(const Emulation& settings) {
    return {settings.cpuid_model.has_value(), settings.time_stamp_khz != 0};
}

void ServeVirtualProcessor() {
    ServeSitesOnTraps(&ServeSite);
}

}  // namespace qel::win32
