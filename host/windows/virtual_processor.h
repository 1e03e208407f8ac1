// qelhost.exe's virtual processor: the DLL's CPUID answered from a model and its RDTSC from a
// time-stamp counter that counts at a set rate against the session's clock, through UD2s put
// in place of the instructions in the module LoadLibrary mapped and the vectored exception
// handler (host/windows/fault_guard.cpp). The instruction set stays this machine's.
#pragma once
#include <windows.h>

#include <optional>

#include "host/loader/load_failure.h"
#include "host/loader/site_patching.h"
#include "host/virtual_cpu/cpuid_model.h"
#include "host/virtual_cpu/scripted_timeline.h"

namespace qel {

struct VirtualProcessorSettings {
    std::optional<virtual_cpu::CpuidModel> cpuid;  // none: the real CPUID
    uint32_t clock_khz = 0;                        // 0: the real RDTSC
    // None: the real clocks (the performance counter the session's clock). A timeline: the
    // DLL's clocks, and the time-stamp counter, read it instead.
    std::optional<ScriptedTimeline> timeline;

    SiteServing serving() const { return {cpuid.has_value(), clock_khz != 0}; }
};

// What the next module served gets; set before the DLL is loaded.
VirtualProcessorSettings& virtual_processor();

// On a module just loaded, with virtual_processor().serving() naming something: the traps in
// place of its sites (its code sections found from its in-memory headers, each page made
// writable for the write and protected as it was after), and, where RDTSC is served, its
// imported clocks read through the session's clock. False with *failure where its code does
// not decode as 80386 code.
bool ServeModule(HMODULE module, LoadFailure* failure);
// Before the module is freed: its sites are no longer served.
void ForgetModule(HMODULE module);

}  // namespace qel
