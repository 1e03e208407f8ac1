// The session's real time as the DLL last saw it through a clock, for the virtual time-stamp
// counter: a counter read right after a clock read must show that clock's time, not the time
// the trap that serves it took to arrive (microseconds natively, tens under Wine). Both hosts
// keep one, each over its own clock. Freestanding.
#pragma once
#include <stdint.h>

namespace qel {

struct LastClockRead {
    uint64_t nanoseconds = 0;
    bool since_stamp = false;  // a clock was read since the counter last was

    void Record(uint64_t now_ns) {
        nanoseconds = now_ns;
        since_stamp = true;
    }
    // The time of the clock read since the last stamp, else now() (so that a counter read
    // alone moves).
    template <typename Now>
    uint64_t Stamp(Now now) {
        if (!since_stamp)
            return now();
        since_stamp = false;
        return nanoseconds;
    }
};

}  // namespace qel
