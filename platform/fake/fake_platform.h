// The scripted platform the unit tests link instead of Win32 and the real processor.
// Tests set the fields they care about; Reset() returns everything to a quiet default:
// a GenuineIntel family-6 processor with CPUID and a time-stamp counter, and clocks that
// stand still.
#pragma once
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32_services.h"

namespace fake {

struct MessageBoxCall {
    void* owner;
    std::string text;
    std::string caption;
    uint32_t style;
};

struct TraceRecord {
    std::string label;
    uint32_t value;
};

struct Services {
    // LoadStringA: answers from the library's own message texts.
    std::vector<uint32_t> loaded_ids;
    void* last_load_module = nullptr;

    // MessageBoxA
    std::vector<MessageBoxCall> message_boxes;
    int32_t message_box_answer = 1;  // IDOK

    // GlobalMemoryStatus: every field but length is copied from here; length is set to 32.
    platform::MemoryStatus memory{};

    // Counters and timers. Each read calls the hook; counts of reads are kept.
    std::function<bool(uint64_t*)> counter_frequency;
    std::function<uint64_t()> counter;
    std::function<uint32_t()> tick_count;
    std::function<uint32_t()> multimedia_time;
    int counter_frequency_reads = 0;
    int counter_reads = 0;
    int tick_count_reads = 0;
    int multimedia_time_reads = 0;
};

// How the flags register behaves on a processor without CPUID.
enum class LegacyClass { k8086, k80286, k80386, k80486 };

struct Processor {
    bool has_cpuid = true;
    char vendor[13] = "GenuineIntel";
    uint32_t highest_basic_leaf = 1;
    uint32_t leaf1_eax = 0x673;       // family 6
    uint32_t leaf1_edx = 0x0383fbff;  // time-stamp counter among them
    LegacyClass legacy_class = LegacyClass::k80486;
    bool division_keeps_zero_flag = false;

    // The live flags register. Bits that the chosen class cannot hold are settled on the
    // next read, so a test may leave the default in place for any class.
    uint32_t eflags = 0x00000202;

    std::function<uint64_t()> time_stamp;

    int cpuid_executions = 0;
    int cpuid_executed_without_cpuid = 0;  // must stay 0 in every test
    int time_stamp_reads = 0;
    int division_probes = 0;
    // Every processor operation in the order it ran: "cpuid 0", "cpuid 1", "flags32 toggle",
    // "flags32 write", "flags32 toggle aligned", "flags16 read", "flags16 write",
    // "division". Time-stamp reads are only counted.
    std::vector<std::string> operations;
    int scan_loop_runs = 0;                         // calls of the scan loop
    std::vector<int32_t> counting_loop_iterations;  // one entry per counting-loop run
};

Services& services();
Processor& processor();
std::vector<TraceRecord>& traces();

void Reset();

}  // namespace fake
