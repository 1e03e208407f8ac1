// Time-stamp cycles across 10000 counts of the performance counter, repeated until three
// runs in a row agree. Between the two stamps nothing runs but counter reads.
#include "platform/processor.h"
#include "platform/trace.h"
#include "platform/win32_services.h"
#include "speed/measuring_methods.h"
#include "speed/rate_arithmetic.h"

using platform::TracePoint;

namespace {

constexpr uint32_t kSettleCounts = 50;
constexpr uint32_t kTimedCounts = 10000;
constexpr int32_t kFewestRuns = 3;
constexpr int32_t kMostRuns = 20;

// Reads the counter into `t1` until it is at least `counts` past `t0` (low halves, wrapping).
void WaitForCounts(uint64_t t0, uint64_t* t1, uint32_t counts) {
    while (LowPart(*t1) - LowPart(t0) < counts)
        platform::ReadCounter(t1);
}

}  // namespace

void RunTimeStampMethod(const CounterClock& clock, SpeedSample* sample) {
    TracePoint("Read Time Stamp Supported", 1);
    uint32_t cycles = 0;
    uint32_t ticks = 0;
    uint32_t freq = 0;
    uint32_t freq2 = 0;
    uint32_t freq3 = 0;
    uint32_t total = 0;
    int32_t tries = 0;
    do {
        TracePoint("Starting new run thru DO loop -------------------------------------", 0);
        tries += 1;
        freq3 = freq2;
        freq2 = freq;
        TracePoint("tries", static_cast<uint32_t>(tries));
        TracePoint("freq", freq);
        TracePoint("freq2", freq2);
        TracePoint("freq3", freq3);

        uint64_t t0 = 0;
        platform::ReadCounter(&t0);
        uint64_t t1 = t0;
        // Start just after a counter step, so the timed stretch is whole counts.
        WaitForCounts(t0, &t1, kSettleCounts);
        const uint64_t start_stamp = platform::ReadTimeStamp();
        t0 = t1;
        WaitForCounts(t0, &t1, kTimedCounts);
        const uint64_t end_stamp = platform::ReadTimeStamp();
        cycles = LowPart(end_stamp) - LowPart(start_stamp);

        TracePoint("cycles B", cycles);
        TracePoint("t0.HighPart", HighPart(t0));
        TracePoint("t0.LowPart", LowPart(t0));
        TracePoint("t1.HighPart", HighPart(t1));
        TracePoint("t1.LowPart", LowPart(t1));
        const uint32_t counts = LowPart(t1) - LowPart(t0);
        TracePoint("ticks X1", counts);
        const MicrosecondSteps micro =
            CountsToMicroseconds(counts, clock.counts_per_second, clock.microsecond_divisor);
        TracePoint("ticks X2", micro.scaled);
        if (micro.raised)
            TracePoint("ticks X2.5 - ticks was 0.  Forced to 1", 1);
        TracePoint("ticks X3", micro.divided);
        ticks = micro.ticks;
        TracePoint("ticks X4", ticks);
        const RateSteps rate = RateInMhz(cycles, ticks);
        TracePoint("cycles X4", cycles);
        TracePoint("freq X4", rate.quotient);
        freq = rate.freq;
        total = freq + freq2 + freq3;
        TracePoint("total", total);
    } while (tries < kFewestRuns || (tries < kMostRuns && !RunsAgree(freq, freq2, freq3)));

    TracePoint("Out of DO loop -------------------------", 0);
    freq = RoundedMean(total);
    TracePoint("freq", freq);
    sample->cycles = cycles;
    sample->ticks = ticks;
    sample->freq = freq;
}
