// Process-wide settings of the emulated Win32 calls. The host's options and the tests
// change them; the emulated calls read them on every call.
#pragma once
#include <stdint.h>

#include <functional>
#include <optional>
#include <vector>

#include "host/base/bounded_text.h"
#include "host/virtual_cpu/cpuid_model.h"
#include "host/virtual_cpu/scripted_timeline.h"

namespace qel {

struct ShownBox {
    BoundedText caption;
    BoundedText text;
};

struct Emulation {
    int box_answer = 1;  // IDOK; 2 = IDCANCEL
    std::vector<ShownBox> boxes_shown;
    uint32_t box_style_last = 0;
    bool print_boxes = true;               // draw each box on stderr
    std::optional<uint64_t> memory_bytes;  // emulate this much physical memory
    // Whether the process counts as large-address-aware (caps memory figures at 4 GB, not 2 GB).
    bool large_address_aware = false;
    // Clock overrides for scripted end-to-end tests; empty = the real clock.
    std::function<bool(int64_t*)> counter_frequency;  // QueryPerformanceFrequency
    std::function<bool(int64_t*)> counter;            // QueryPerformanceCounter
    std::function<uint32_t()> tick_count;             // GetTickCount
    std::function<uint32_t()> multimedia_time;        // timeGetTime
    // What the real clocks read, in nanoseconds (tests script it); empty: CLOCK_MONOTONIC.
    std::function<uint64_t()> monotonic_clock;
    // The real clocks' granularity on Windows, in microseconds (0: every millisecond shows):
    // GetTickCount moves in steps of 15.625 ms there, timeGetTime of 1 to 15.625 ms.
    uint32_t tick_step_microseconds = 0;
    uint32_t multimedia_step_microseconds = 0;
    // One timeline for all of them (and the virtual time-stamp counter); before the
    // overrides above.
    std::optional<ScriptedTimeline> timeline;
    // The virtual processor (host/win32/virtual_processor.h): CPUID answered from a model,
    // a time-stamp counter counting at a rate against the session's clock. Both apply to a
    // DLL loaded after they are set.
    std::optional<virtual_cpu::CpuidModel> cpuid_model;
    uint32_t time_stamp_khz = 0;  // 0: the processor's own RDTSC
};

Emulation& emulation();

}  // namespace qel
