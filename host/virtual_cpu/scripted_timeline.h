// The session's simulated time, when its clocks are scripted: every clock reads this one
// timeline. A read of the performance counter, the tick count or the multimedia timer first
// advances it by `step_ns`; the virtual time-stamp counter reads it without advancing it.
// Freestanding (the runner builds it).
#pragma once
#include <stdint.h>

namespace qel {

struct ScriptedTimeline {
    uint64_t now_ns = 1'000'000'000;  // the tick count starts at 1000 ms
    uint64_t step_ns = 1'000'000;
    uint32_t counter_hz = 10'000'000;  // the performance counter's frequency

    // A clock read: the time it sees, one step on.
    uint64_t Advance() { return now_ns += step_ns; }
    // The performance counter's count at `nanoseconds`.
    uint64_t CounterAt(uint64_t nanoseconds) const {
        const uint64_t seconds = nanoseconds / 1'000'000'000u, rest = nanoseconds % 1'000'000'000u;
        return seconds * counter_hz + rest * counter_hz / 1'000'000'000u;
    }
};

}  // namespace qel
