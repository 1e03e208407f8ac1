// Scripted processors and clocks for the speed unit tests, over the fake platform.
#pragma once
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"

namespace speed_test {

constexpr uint32_t kWithTimeStamp = 0x0383fbff;
constexpr uint32_t kWithoutTimeStamp = kWithTimeStamp & ~0x10u;

// A processor with CPUID: vendor, family and whether it has a time-stamp counter.
inline void UseProcessor(const char* vendor, uint32_t family, bool time_stamp = true) {
    auto& cpu = fake::processor();
    cpu.has_cpuid = true;
    memcpy(cpu.vendor, vendor, 12);
    cpu.leaf1_eax = (family << 8) | 0x73;
    cpu.leaf1_edx = time_stamp ? kWithTimeStamp : kWithoutTimeStamp;
}

// A processor without CPUID, of the given class; `clone` when its division keeps the zero flag.
inline void UseLegacyProcessor(fake::LegacyClass legacy_class, bool clone = false) {
    auto& cpu = fake::processor();
    cpu.has_cpuid = false;
    cpu.legacy_class = legacy_class;
    cpu.division_keeps_zero_flag = clone;
    // An 8086 reads flags bits 12-15 as set from the start.
    if (legacy_class == fake::LegacyClass::k8086)
        cpu.eflags |= 0xF000;
}

inline void UseCounterFrequency(uint64_t counts_per_second) {
    fake::services().counter_frequency = [counts_per_second](uint64_t* value) {
        *value = counts_per_second;
        return true;
    };
}

// The reads of counters and stamps in order: C counter, T time stamp, M multimedia timer.
inline std::string& Events() {
    static std::string events;
    return events;
}

// A performance counter that moves `step` counts between reads, from `start`.
inline void UseSteppingCounter(uint64_t start, uint32_t step) {
    auto next = std::make_shared<uint64_t>(start);
    fake::services().counter = [next, step] {
        Events() += 'C';
        uint64_t value = *next;
        *next += step;
        return value;
    };
}

// Answers the given values in turn, noting `event` for each read.
template <typename T>
std::function<T()> Script(std::vector<T> values, char event) {
    auto queue = std::make_shared<std::deque<T>>(values.begin(), values.end());
    return [queue, event] {
        Events() += event;
        if (queue->empty()) {
            ADD_FAILURE() << event << " read more often than scripted";
            return T{0};
        }
        T value = queue->front();
        queue->pop_front();
        return value;
    };
}

// A performance counter that answers the given readings in turn.
inline void UseCounterReadings(std::vector<uint64_t> readings) {
    fake::services().counter = Script(readings, 'C');
}

// Time stamps answered in turn.
inline void UseTimeStamps(std::vector<uint64_t> stamps) {
    fake::processor().time_stamp = Script(stamps, 'T');
}

// Time stamps for runs that each count the given cycles, from `base`.
inline void UseRunCycles(const std::vector<uint32_t>& cycles_per_run, uint64_t base = 1000) {
    std::vector<uint64_t> stamps;
    for (uint32_t cycles : cycles_per_run) {
        stamps.push_back(base);
        stamps.push_back(base + cycles);
        base += cycles + 12345;
    }
    UseTimeStamps(stamps);
}

// Multimedia-timer readings answered in turn; the last one repeats.
inline void UseTimerReadings(std::vector<uint32_t> readings) {
    auto queue = std::make_shared<std::deque<uint32_t>>(readings.begin(), readings.end());
    fake::services().multimedia_time = [queue] {
        Events() += 'M';
        uint32_t value = queue->front();
        if (queue->size() > 1)
            queue->pop_front();
        return value;
    };
}

// GetTickCount around timed runs: run i starts at 1000 (i + 1) and lasts lengths[i]
// milliseconds; runs past the list last as long as its final entry.
inline void UseRunLengths(std::vector<uint32_t> lengths) {
    auto reads = std::make_shared<uint32_t>(0);
    fake::services().tick_count = [lengths, reads] {
        const uint32_t run = *reads / 2;
        const bool end = *reads % 2 == 1;
        ++*reads;
        const uint32_t start = 1000 * (run + 1);
        if (!end)
            return start;
        return start + lengths[run < lengths.size() ? run : lengths.size() - 1];
    };
}

inline std::vector<std::string> TraceLabels() {
    std::vector<std::string> labels;
    for (const auto& record : fake::traces())
        labels.push_back(record.label);
    return labels;
}

// The values traced under `label`, in order.
inline std::vector<uint32_t> TracedValues(const std::string& label) {
    std::vector<uint32_t> values;
    for (const auto& record : fake::traces()) {
        if (record.label == label)
            values.push_back(record.value);
    }
    return values;
}

// Every test starts from the quiet fake platform and an empty event log.
class SpeedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Reset();
        Events().clear();
        // A counter that stands still would keep a timed run waiting forever.
        UseSteppingCounter(0, 10000);
    }
};

template <typename Param>
class SpeedTestWithParam : public SpeedTest, public ::testing::WithParamInterface<Param> {};

}  // namespace speed_test
