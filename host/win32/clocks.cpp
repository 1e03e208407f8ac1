// The performance counter (10 MHz, as current Windows), GetTickCount and timeGetTime, all
// from the monotonic clock, the last two in the steps the settings give them; the settings
// may replace them with one scripted timeline, or each with a scripted clock of its own.
#include <string.h>
#include <time.h>

#include <optional>

#include "host/virtual_cpu/last_clock_read.h"
#include "host/win32/emulation.h"
#include "host/win32/virtual_processor.h"
#include "host/win32/win32_api.h"

namespace qel::win32 {
namespace {

constexpr int64_t kCounterFrequency = 10'000'000;

uint64_t MonotonicNanoseconds() {
    if (emulation().monotonic_clock)
        return emulation().monotonic_clock();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1'000'000'000u + uint64_t(now.tv_nsec);
}

LastClockRead last_clock_read;

uint64_t ClockRead() {
    const uint64_t now = MonotonicNanoseconds();
    last_clock_read.Record(now);
    return now;
}

// The monotonic clock in milliseconds, advancing only in steps of `step_microseconds`.
uint32_t Milliseconds(uint32_t step_microseconds) {
    uint64_t microseconds = ClockRead() / 1'000u;
    if (step_microseconds != 0)
        microseconds -= microseconds % step_microseconds;
    return static_cast<uint32_t>(microseconds / 1'000u);
}

// LARGE_INTEGER in the DLL's records is only 4-byte aligned.
void Store(int64_t* destination, int64_t value) {
    memcpy(destination, &value, sizeof value);
}

// The scripted timeline, advanced by one step: the time this read sees.
std::optional<uint64_t> TimelineRead() {
    std::optional<ScriptedTimeline>& timeline = emulation().timeline;
    if (!timeline)
        return std::nullopt;
    return timeline->Advance();
}

int32_t Scripted(const std::function<bool(int64_t*)>& clock, int64_t* destination) {
    int64_t value = 0;
    const bool available = clock(&value);
    Store(destination, value);
    return available ? 1 : 0;
}

}  // namespace

uint64_t StampNanoseconds() {
    if (const std::optional<ScriptedTimeline>& timeline = emulation().timeline)
        return timeline->now_ns;
    return last_clock_read.Stamp(&MonotonicNanoseconds);
}

QEL_WINAPI int32_t QueryPerformanceFrequency(int64_t* frequency) {
    if (frequency == nullptr)
        return 0;
    if (const std::optional<ScriptedTimeline>& timeline = emulation().timeline) {
        Store(frequency, timeline->counter_hz);
        return 1;
    }
    if (emulation().counter_frequency)
        return Scripted(emulation().counter_frequency, frequency);
    Store(frequency, kCounterFrequency);
    return 1;
}

QEL_WINAPI int32_t QueryPerformanceCounter(int64_t* count) {
    if (count == nullptr)
        return 0;
    if (const std::optional<uint64_t> now = TimelineRead()) {
        Store(count, static_cast<int64_t>(emulation().timeline->CounterAt(*now)));
        return 1;
    }
    if (emulation().counter)
        return Scripted(emulation().counter, count);
    Store(count, static_cast<int64_t>(ClockRead() / 100u));
    return 1;
}

QEL_WINAPI uint32_t GetTickCount() {
    if (const std::optional<uint64_t> now = TimelineRead())
        return static_cast<uint32_t>(*now / 1'000'000u);
    return emulation().tick_count ? emulation().tick_count()
                                  : Milliseconds(emulation().tick_step_microseconds);
}

QEL_WINAPI uint32_t timeGetTime() {
    if (const std::optional<uint64_t> now = TimelineRead())
        return static_cast<uint32_t>(*now / 1'000'000u);
    return emulation().multimedia_time ? emulation().multimedia_time()
                                       : Milliseconds(emulation().multimedia_step_microseconds);
}

}  // namespace qel::win32
