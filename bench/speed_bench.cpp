// ccpuspeed through the real DLL against a reference clock rate: how close each call comes,
// how many timed runs it needed and how long it took.
//
//   speed_bench --reference-mhz MHZ [--calls N] [--label TEXT] [--dll PATH] [--count-runs 0]
//   speed_bench --measure-reference SECONDS
//
// The second form prints the time-stamp counter's rate against CLOCK_MONOTONIC.
#include <stdio.h>
#include <stdlib.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "abi/script_functions.h"
#include "bench/run_counter.h"
#include "bench/statistics.h"
#include "host/extender/extender.h"
#include "host/win32/emulation.h"

namespace {

namespace fn = qel_abi::function_number;

// Three runs of 50 + 10000 counts of the 10 MHz counter: no measurement can be shorter.
constexpr double kFloorMilliseconds = 3 * 10050 / 10000.0;

struct Options {
    double reference_mhz = 0;
    int calls = 100;
    std::string label = "this processor";
    std::string dll = KZPROBEX_DLL_PATH;
    double measure_reference_seconds = 0;
    bool count_runs = true;  // watching the counter costs a little on each read
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--reference-mhz") {
            options.reference_mhz = atof(value);
        } else if (name == "--calls") {
            options.calls = atoi(value);
        } else if (name == "--label") {
            options.label = value;
        } else if (name == "--dll") {
            options.dll = value;
        } else if (name == "--count-runs") {
            options.count_runs = atoi(value) != 0;
        } else if (name == "--measure-reference") {
            options.measure_reference_seconds = atof(value);
        } else {
            fprintf(stderr, "unknown option %s\n", argv[i]);
            exit(2);
        }
    }
    return options;
}

double MeasureReferenceMhz(double seconds) {
    const uint64_t t0 = bench::MonotonicNanoseconds();
    const uint64_t c0 = __builtin_ia32_rdtsc();
    while (bench::MonotonicNanoseconds() - t0 < uint64_t(seconds * 1e9)) {
    }
    const uint64_t c1 = __builtin_ia32_rdtsc();
    const uint64_t t1 = bench::MonotonicNanoseconds();
    return double(c1 - c0) * 1000.0 / double(t1 - t0);
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.measure_reference_seconds > 0) {
        printf("%.3f\n", MeasureReferenceMhz(options.measure_reference_seconds));
        return 0;
    }
    if (options.reference_mhz <= 0) {
        fprintf(stderr, "give --reference-mhz\n");
        return 2;
    }
    std::string error;
    auto dll = qel::ExtenderDll::Load(options.dll, &error);
    if (!dll) {
        fprintf(stderr, "cannot load %s: %s\n", options.dll.c_str(), error.c_str());
        return 1;
    }
    qel::emulation().print_boxes = false;
    bench::RunCounter run_counter;
    if (options.count_runs) {
        qel::emulation().counter = [&run_counter](int64_t* value) {
            *value = run_counter.Read();
            return true;
        };
    }

    std::vector<double> errors, milliseconds, runs;
    std::map<int32_t, int> reported;
    int within_one = 0;
    for (int call = 0; call < options.calls; ++call) {
        run_counter.TakeRuns();
        const uint64_t start = bench::MonotonicNanoseconds();
        const qel::Outcome outcome = dll->Call(fn::ccpuspeed, {std::string("1")});
        const uint64_t end = bench::MonotonicNanoseconds();
        const double error_mhz = std::fabs(outcome.value - options.reference_mhz);
        errors.push_back(error_mhz);
        milliseconds.push_back((end - start) / 1e6);
        runs.push_back(run_counter.TakeRuns());
        ++reported[outcome.value];
        if (error_mhz <= 1.0)
            ++within_one;
    }

    // Clones count over one second of the timer; every other processor is measured.
    const int32_t vendor = dll->Call(fn::cvendorid).value;
    const bool one_second = dll->Call(fn::cclonecheck).value == 1;
    printf("%s (vendor code %d, %s route), %d calls of ccpuspeed(1) against %.3f MHz\n",
           options.label.c_str(), vendor, one_second ? "one-second" : "measuring", options.calls,
           options.reference_mhz);
    printf("  error: median %.3f MHz, worst %.3f MHz; within 1 MHz: %d of %d (%.1f%%)\n",
           bench::Median(errors), bench::Largest(errors), within_one, options.calls,
           100.0 * within_one / options.calls);
    printf("  reported:");
    for (const auto& [mhz, count] : reported)
        printf(" %d x%d", mhz, count);
    printf("\n");
    if (one_second) {
        printf("  duration: median %.3f ms, fastest %.3f ms, slowest %.3f ms\n",
               bench::Median(milliseconds), bench::Smallest(milliseconds),
               bench::Largest(milliseconds));
        return 0;
    }
    if (options.count_runs) {
        std::map<int, int> run_counts;
        for (double r : runs)
            ++run_counts[int(r)];
        printf("  timed runs per call:");
        for (const auto& [count, calls] : run_counts)
            printf(" %d runs x%d", count, calls);
        printf("\n");
    }
    printf(
        "  duration: median %.3f ms (%.3f x the %.3f ms floor), fastest %.3f ms, "
        "slowest %.3f ms\n",
        bench::Median(milliseconds), bench::Median(milliseconds) / kFloorMilliseconds,
        kFloorMilliseconds, bench::Smallest(milliseconds), bench::Largest(milliseconds));
    return 0;
}
