#include "host/win32/virtual_processor.h"

#include "host/crossing/served_sites.h"
#include "host/virtual_cpu/time_stamp_model.h"

namespace qel::win32 {
namespace {

void ServeSite(virtual_cpu::SiteKind kind, SiteRegisters* registers) {
    const Emulation& settings = emulation();
    if (kind == virtual_cpu::SiteKind::kCpuid) {
        const virtual_cpu::CpuidAnswer answer =
            settings.cpuid_model ? settings.cpuid_model->Answer(registers->eax, registers->ecx)
                                 : virtual_cpu::CpuidAnswer{};
        *registers = {answer.eax, answer.ebx, answer.ecx, answer.edx};
        return;
    }
    // Counting from 0 at the session clock's 0: an arbitrary first count, as after any reset.
    const uint64_t count =
        virtual_cpu::CyclesInNanoseconds(StampNanoseconds(), settings.time_stamp_khz);
    registers->eax = static_cast<uint32_t>(count);
    registers->edx = static_cast<uint32_t>(count >> 32);
}

}  // namespace

SiteServing ServingOf(const Emulation& settings) {
    return {settings.cpuid_model.has_value(), settings.time_stamp_khz != 0};
}

void ServeVirtualProcessor() {
    SetSiteServer(&ServeSite);
}

}  // namespace qel::win32
