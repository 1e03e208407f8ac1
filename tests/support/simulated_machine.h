// A simulated machine for the speed unit tests: the time-stamp counter at any clock rate, the
// 10 MHz performance counter, the multimedia timer and the tick count all read one simulated
// time, and each read costs time as on a real machine. A loaded machine is one whose reads
// are now and then held up, as a preempted thread's would be.
#pragma once
#include <stdint.h>

#include <memory>

#include "platform/fake/fake_platform.h"

namespace speed_test {

struct SimulatedMachine {
    uint64_t mhz;                        // the time-stamp counter's rate
    uint64_t preempt_every = 0;          // every Nth read of any clock is held up; 0: never
    uint64_t preempt_ns = 0;             // by this long
    uint64_t counter_read_ns = 100;      // one count of the 10 MHz counter
    uint64_t timer_read_ns = 1'000'000;  // the millisecond timers step once a read
    uint64_t now_ns = 0;
    uint64_t reads = 0;

    // A read returns the clock as it is, then takes its time.
    void Advance(uint64_t ns) {
        ++reads;
        now_ns += ns;
        if (preempt_every != 0 && reads % preempt_every == 0)
            now_ns += preempt_ns;
    }
};

// Points every clock of the fake platform at `machine`, which the caller keeps alive.
inline void UseSimulatedMachine(const std::shared_ptr<SimulatedMachine>& machine) {
    auto& services = fake::services();
    services.counter_frequency = [](uint64_t* value) {
        *value = 10'000'000;
        return true;
    };
    services.counter = [machine] {
        const uint64_t counts = machine->now_ns / 100;
        machine->Advance(machine->counter_read_ns);
        return counts;
    };
    services.multimedia_time = [machine] {
        const uint64_t milliseconds = machine->now_ns / 1'000'000;
        machine->Advance(machine->timer_read_ns);
        return static_cast<uint32_t>(milliseconds);
    };
    services.tick_count = services.multimedia_time;
    // RDTSC costs nothing here: cycles = nanoseconds x MHz / 1000, exact over whole
    // microseconds.
    fake::processor().time_stamp = [machine] { return machine->now_ns * machine->mhz / 1000; };
}

}  // namespace speed_test
