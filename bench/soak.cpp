// Soak: a long run of script calls through the real DLL in one process. Every function that
// answers at once is called, with its errors; the answers must never change and the host's
// resident memory must stay flat. Reports calls per second and memory.
//
//   soak [--calls N] [--max-growth-kb K] [--sandbox]    1000000 calls, 512 kB by default;
//                                                       --sandbox: under qelhost's filter
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "host/extender/extender.h"
#include "host/linux/system_call_filter.h"
#include "host/win32/emulation.h"
#include "resources/messages.h"

namespace {

using Arguments = std::vector<std::optional<std::string>>;

// One call and what it must answer. A value of nullopt: whatever the first call answered
// (the processor's own readings), the same ever after.
struct Case {
    const char* label;
    uint32_t number;
    Arguments arguments;
    std::optional<int32_t> value;  // for status 0
    const char* error;             // for status -1 (nullptr: a value is expected)
};

const std::string kTooManyRuns = "2147483647";

// The speed measurements, the benchmark runs and cversioninfo's box wait or take long; their
// argument errors are answered at once and are here.
std::vector<Case> Cases() {
    return {
        {"cversioninfo(0)", 1, {"0"}, KZ_EXTENDER_VERSION, nullptr},
        {"cversioninfo(\" +0\")", 1, {" +0"}, KZ_EXTENDER_VERSION, nullptr},
        {"cversioninfo(3)", 1, {"3"}, std::nullopt, KZ_TEXT_INVALID_VERSION},
        {"cversioninfo(-1)", 1, {"-1"}, std::nullopt, KZ_TEXT_INVALID_VERSION},
        {"cversioninfo(abc)", 1, {"abc"}, std::nullopt, KZ_TEXT_INVALID_PARAMETER},
        {"cversioninfo()", 1, {}, std::nullopt, KZ_TEXT_INVALID_PARAMETER},
        {"cversioninfo(\"1 \")", 1, {"1 "}, std::nullopt, KZ_TEXT_INVALID_PARAMETER},
        {"ccpuid", 2, {}, std::nullopt, nullptr},
        {"ccpufeat", 3, {}, std::nullopt, nullptr},
        {"ccpuidext", 4, {}, std::nullopt, nullptr},
        {"ccpuspeed()", 5, {}, std::nullopt, KZ_TEXT_SPEED_MODE},
        {"ccpuspeed(\"\")", 5, {""}, std::nullopt, KZ_TEXT_SPEED_MODE},
        {"ccpuspeed(1.5)", 5, {"1.5"}, std::nullopt, KZ_TEXT_SPEED_MODE},
        {"ccpusupt", 6, {}, std::nullopt, nullptr},
        {"cmemstat", 7, {}, std::nullopt, nullptr},
        {"cclonecheck", 8, {}, std::nullopt, nullptr},
        {"ccpubenchmark()", 9, {}, std::nullopt, KZ_TEXT_INVALID_PARAMETER},
        {"ccpubenchmark(x,...)",
         9,
         {"0", "x", "1", "1", "1"},
         std::nullopt,
         KZ_TEXT_INVALID_PARAMETER},
        {"ccpubenchmark(..., absent)",
         9,
         {"0", kTooManyRuns, "1", "1", std::nullopt},
         std::nullopt,
         KZ_TEXT_INVALID_PARAMETER},
        {"cvendorid", 10, {}, std::nullopt, nullptr},
        {"function 0", 0, {}, std::nullopt, ""},
        {"function 11", 11, {}, std::nullopt, ""},
        {"function -4", 0xFFFFFFFC, {}, std::nullopt, ""},
        {"function 0x10007 (cmemstat)", 0x00010007, {}, std::nullopt, nullptr},
    };
}

// Read with one pread of a descriptor opened before the DLL loads: under --sandbox the
// process may open nothing once the DLL is mapped.
int process_status = -1;

long ResidentKilobytes() {
    char text[4096];
    const ssize_t length = pread(process_status, text, sizeof text - 1, 0);
    if (length <= 0)
        return -1;
    text[length] = 0;
    const char* line = strstr(text, "\nVmRSS:");
    return line != nullptr ? strtol(line + 7, nullptr, 10) : -1;
}

struct Soak {
    std::vector<Case> cases = Cases();
    std::vector<std::optional<int32_t>> first_values =
        std::vector<std::optional<int32_t>>(cases.size());
    long wrong = 0;

    void Wrong(const Case& c, const std::string& what) {
        if (++wrong <= 10)
            fprintf(stderr, "soak: %s: %s\n", c.label, what.c_str());
    }

    void Run(qel::ExtenderDll& dll, size_t index) {
        const Case& c = cases[index];
        const qel::Outcome outcome = dll.Call(c.number, c.arguments);
        if (outcome.callbacks != 1 || !outcome.arguments_handed_back)
            return Wrong(c, "callback not called exactly once with the host's records");
        if (c.error != nullptr) {
            if (outcome.status != -1 || outcome.result_type != 2 || outcome.text != c.error)
                Wrong(c, "expected the error \"" + std::string(c.error) + "\", got status " +
                             std::to_string(outcome.status) + " text \"" + outcome.text + "\"");
            return;
        }
        if (outcome.status != 0 || outcome.result_type != 1)
            return Wrong(c, "expected a value, got \"" + outcome.text + "\"");
        std::optional<int32_t>& expected = first_values[index];
        if (!expected)
            expected = c.value.value_or(outcome.value);
        if (outcome.value != *expected)
            Wrong(c, "answered " + std::to_string(outcome.value) + " instead of " +
                         std::to_string(*expected));
    }

    // The set-up requests too, once per round: handshake, enumeration, query.
    void RunSetUp(qel::ExtenderDll& dll) {
        const Case setup{"set-up requests", 0, {}, std::nullopt, nullptr};
        char refusal[32] = {};
        if (dll.Handshake(qel::kHostVersion, refusal) != 10 ||
            dll.Handshake(qel::kHostVersion - 1, refusal) != -1 ||
            strcmp(refusal, "Need newer version of QEL DLL") != 0) {
            Wrong(setup, "handshake");
        }
        const std::vector<qel::FunctionRow> rows = dll.Functions();
        if (rows.size() != 10 || rows[8].name != "ccpubenchmark")
            Wrong(setup, "enumeration");
        int32_t version = 0;
        if (dll.Description(&version) != KZ_TEXT_DESCRIPTION || version != KZ_EXTENDER_VERSION)
            Wrong(setup, "query code 1");
    }
};

}  // namespace

int main(int argc, char** argv) {
    long calls = 1000000;
    long max_growth_kb = 512;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--sandbox") == 0) {
            qel::FilterSystemCallsOfTheDll(true);
            continue;
        }
        if (i + 1 == argc)
            break;
        if (strcmp(argv[i], "--calls") == 0)
            calls = strtol(argv[i + 1], nullptr, 10);
        else if (strcmp(argv[i], "--max-growth-kb") == 0)
            max_growth_kb = strtol(argv[i + 1], nullptr, 10);
        ++i;
    }
    process_status = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    qel::AllowReadsFrom(process_status);
    qel::emulation().print_boxes = false;
    std::string error;
    auto dll = qel::ExtenderDll::Load(KZPROBEX_DLL_PATH, &error);
    if (!dll) {
        fprintf(stderr, "soak: cannot load %s: %s\n", KZPROBEX_DLL_PATH, error.c_str());
        return 1;
    }
    Soak soak;
    // Each round: every case once, then the set-up requests (2 handshakes, 11 enumeration
    // requests, 1 query).
    constexpr long kSetUpCalls = 14;
    const size_t round = soak.cases.size() + 1;
    // A first stretch settles the allocator; memory is watched from then on.
    const long warm_up = calls / 100;
    long settled_kb = ResidentKilobytes();
    long highest_kb = settled_kb;
    const auto start = std::chrono::steady_clock::now();
    long made = 0;
    for (size_t index = 0; made < calls; ++index) {
        if (index % round == soak.cases.size()) {
            soak.RunSetUp(*dll);
            made += kSetUpCalls;
        } else {
            soak.Run(*dll, index % round);
            made += 1;
        }
        if (index % 4096 == 0 || made >= calls) {
            const long now_kb = ResidentKilobytes();
            if (made <= warm_up)
                settled_kb = now_kb;
            highest_kb = now_kb > highest_kb ? now_kb : highest_kb;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long end_kb = ResidentKilobytes();
    printf("soak: %ld calls in %.2f s = %.0f calls/s\n", made, seconds, made / seconds);
    printf("soak: VmRSS %ld kB after %ld calls, %ld kB at the end, highest %ld kB\n", settled_kb,
           warm_up, end_kb, highest_kb);
    printf("soak: %ld wrong answers\n", soak.wrong);
    if (highest_kb - settled_kb > max_growth_kb) {
        printf("soak: memory grew by %ld kB (more than %ld kB)\n", highest_kb - settled_kb,
               max_growth_kb);
        return 1;
    }
    return soak.wrong == 0 ? 0 : 1;
}
