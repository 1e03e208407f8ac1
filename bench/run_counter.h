// The performance counter the bench hands the DLL: the real one (10 MHz from the monotonic
// clock, as the host emulates it), watched to count the timed runs of each measurement.
#pragma once
#include <stdint.h>
#include <time.h>

namespace bench {

inline uint64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

// Follows the reads of one time-stamp run: the first reading, the reads until 50 counts have
// passed, then the reads until 10000 more have passed. Each completed run is counted.
class RunCounter {
  public:
    int64_t Read() {
        const int64_t now = int64_t(MonotonicNanoseconds() / 100u);
        const uint32_t passed = uint32_t(now) - uint32_t(mark_);
        switch (phase_) {
            case Phase::kFirst:
                mark_ = now;
                phase_ = Phase::kSettling;
                break;
            case Phase::kSettling:
                if (passed >= 50) {
                    mark_ = now;
                    phase_ = Phase::kTimed;
                }
                break;
            case Phase::kTimed:
                if (passed >= 10000) {
                    ++runs_;
                    phase_ = Phase::kFirst;
                }
                break;
        }
        return now;
    }
    // Runs completed since the last call.
    int TakeRuns() {
        const int runs = runs_;
        runs_ = 0;
        phase_ = Phase::kFirst;
        return runs;
    }

  private:
    enum class Phase { kFirst, kSettling, kTimed };
    Phase phase_ = Phase::kFirst;
    int64_t mark_ = 0;
    int runs_ = 0;
};

}  // namespace bench
