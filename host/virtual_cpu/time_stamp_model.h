// A virtual time-stamp counter: it counts at a set clock rate against the session's clock
// (scripted or real), from an arbitrary first count. 64 bits, wrapping like the real one.
// Freestanding (the runner builds it).
#pragma once
#include <stdint.h>

namespace qel::virtual_cpu {

// Whole cycles in `microseconds` at `rate_khz`, modulo 2^64 (exact, no intermediate that
// overflows before the count itself wraps).
constexpr uint64_t CyclesIn(uint64_t microseconds, uint32_t rate_khz) {
    const uint64_t milliseconds = microseconds / 1000, rest = microseconds % 1000;
    return milliseconds * rate_khz + rest * rate_khz / 1000;
}

// The same to the nanosecond: a clock read to 100 ns (the performance counter) against a
// counter at several GHz needs more than whole microseconds.
constexpr uint64_t CyclesInNanoseconds(uint64_t nanoseconds, uint32_t rate_khz) {
    const uint64_t milliseconds = nanoseconds / 1000000, rest = nanoseconds % 1000000;
    return milliseconds * rate_khz + rest * rate_khz / 1000000;
}

class TimeStampModel {
  public:
    // The counter reads `first_count` when the session's clock reads `start_microseconds`.
    constexpr TimeStampModel(uint32_t rate_khz, uint64_t first_count, uint64_t start_microseconds)
        : rate_khz_(rate_khz), first_count_(first_count), start_(start_microseconds) {}

    // The count when the session's clock reads `now_microseconds`; the clock's own wrap
    // (now below the start) counts as the unsigned difference.
    constexpr uint64_t CountAt(uint64_t now_microseconds) const {
        return first_count_ + CyclesIn(now_microseconds - start_, rate_khz_);
    }

    constexpr uint32_t rate_khz() const { return rate_khz_; }

  private:
    uint32_t rate_khz_;
    uint64_t first_count_;
    uint64_t start_;
};

}  // namespace qel::virtual_cpu
