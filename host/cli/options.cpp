#include "host/cli/options.h"

#include "host/virtual_cpu/clock_rate.h"

namespace qel {

bool ParseByteCount(const std::string& text, uint64_t* bytes) {
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    uint64_t value = 0;
    size_t position = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
        const uint64_t digit = static_cast<uint64_t>(text[position] - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    const std::string suffix = text.substr(position);
    unsigned shift = 0;
    if (suffix == "K" || suffix == "k")
        shift = 10;
    else if (suffix == "M" || suffix == "m")
        shift = 20;
    else if (suffix == "G" || suffix == "g")
        shift = 30;
    else if (suffix == "T" || suffix == "t")
        shift = 40;
    else if (!suffix.empty())
        return false;
    if (shift != 0 && value > (UINT64_MAX >> shift))
        return false;
    *bytes = value << shift;
    return true;
}

// "15.625,1": two step lengths in milliseconds with up to three decimals, each at most 1 s;
// a single length stands for both.
bool ParseTimerSteps(const std::string& text, uint32_t* tick, uint32_t* multimedia) {
    uint32_t* const steps[] = {tick, multimedia};
    size_t position = 0;
    for (uint32_t* step : steps) {
        uint64_t microseconds = 0;
        int digits = 0, decimals = -1;
        for (; position < text.size() && text[position] != ','; ++position) {
            const char c = text[position];
            if (c == '.' && decimals < 0) {
                decimals = 0;
            } else if (c >= '0' && c <= '9' && decimals < 3 && microseconds <= 1'000'000) {
                microseconds = microseconds * 10 + static_cast<uint64_t>(c - '0');
                ++digits;
                decimals += decimals >= 0 ? 1 : 0;
            } else {
                return false;
            }
        }
        for (int scale = decimals < 0 ? 0 : decimals; scale < 3; ++scale)
            microseconds *= 10;
        if (digits == 0 || microseconds > 1'000'000)
            return false;
        *step = static_cast<uint32_t>(microseconds);
        if (position == text.size() && step == tick) {
            *multimedia = *tick;
            return true;
        }
        ++position;  // past the comma
    }
    return position == text.size() + 1;
}

// "all", or a processor's number from 0 in decimal.
bool ParseProcessorNumber(const std::string& text, Options* options) {
    if (text == "all") {
        options->cpuid_all_processors = true;
        return true;
    }
    uint64_t number = 0;
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos || !ParseByteCount(text, &number))
        return false;
    options->cpuid_processor = static_cast<uint32_t>(number);
    options->cpuid_all_processors = false;
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, Options* options,
                      std::string* error) {
    *options = Options{};
    bool processor_given = false;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        // Options with a value take it from the next argument or after '='.
        auto value_of = [&](const std::string& name, std::string* value) {
            if (argument == name) {
                if (index + 1 >= arguments.size()) {
                    *error = name + " needs a value";
                    return false;
                }
                *value = arguments[++index];
                return true;
            }
            *value = argument.substr(name.size() + 1);
            return true;
        };
        auto is = [&](const std::string& name) {
            return argument == name || argument.rfind(name + "=", 0) == 0;
        };
        std::string value;
        if (argument == "--help" || argument == "-h") {
            options->help = true;
        } else if (argument == "--version") {
            options->version = true;
        } else if (argument == "--list") {
            options->list = true;
        } else if (argument == "--zoo") {
            options->zoo = true;
        } else if (argument == "--real-clocks") {
            options->real_clocks = true;
        } else if (argument == "--json") {
            options->json = true;
        } else if (argument == "--sandbox" || argument == "--no-sandbox") {
            if (options->sandbox && *options->sandbox != (argument == "--sandbox")) {
                *error = "give either --sandbox or --no-sandbox, not both";
                return false;
            }
            options->sandbox = argument == "--sandbox";
        } else if (argument == "--large-address-aware") {
            options->large_address_aware = true;
        } else if (is("--dll")) {
            if (!value_of("--dll", &options->dll))
                return false;
        } else if (is("--cpu")) {
            if (!value_of("--cpu", &options->cpu))
                return false;
            if (options->cpu.empty()) {
                *error = "--cpu needs a model name";
                return false;
            }
        } else if (is("--cpuid")) {
            if (!value_of("--cpuid", &value))
                return false;
            if (value.empty()) {
                *error = "--cpuid needs a dump file";
                return false;
            }
            if (options->cpuid_file.empty())
                options->cpuid_file = value;
            options->survey_paths.push_back(value);
        } else if (is("--cpuid-processor")) {
            if (!value_of("--cpuid-processor", &value))
                return false;
            if (!ParseProcessorNumber(value, options)) {
                *error =
                    "--cpuid-processor takes a processor's number from 0 in the dump's "
                    "order, or all, not '" +
                    value + "'";
                return false;
            }
            processor_given = true;
        } else if (is("--save-cpuid")) {
            if (!value_of("--save-cpuid", &options->save_cpuid))
                return false;
            if (options->save_cpuid.empty()) {
                *error = "--save-cpuid needs a file to write";
                return false;
            }
        } else if (is("--clock-mhz")) {
            if (!value_of("--clock-mhz", &value))
                return false;
            const std::optional<uint32_t> khz = virtual_cpu::ParseClockMhz(value);
            if (!khz) {
                *error =
                    "--clock-mhz takes megahertz from 1 to 100000 with at most three "
                    "decimals, not '" +
                    value + "'";
                return false;
            }
            options->clock_khz = *khz;
        } else if (is("--box")) {
            if (!value_of("--box", &value))
                return false;
            if (value == "ok")
                options->box_answer = 1;
            else if (value == "cancel")
                options->box_answer = 2;
            else {
                *error = "--box takes ok or cancel, not '" + value + "'";
                return false;
            }
        } else if (is("--memory")) {
            uint64_t bytes = 0;
            if (!value_of("--memory", &value))
                return false;
            if (!ParseByteCount(value, &bytes)) {
                *error = "--memory takes a size such as 512M or 8G, not '" + value + "'";
                return false;
            }
            options->memory_bytes = bytes;
        } else if (is("--timer-steps")) {
            if (!value_of("--timer-steps", &value))
                return false;
            if (!ParseTimerSteps(value, &options->tick_step_microseconds,
                                 &options->multimedia_step_microseconds)) {
                *error =
                    "--timer-steps takes milliseconds for GetTickCount and timeGetTime, "
                    "such as 15.625,1 (each 1000 at most), not '" +
                    value + "'";
                return false;
            }
        } else if (is("--timeout")) {
            uint64_t seconds = 0;
            if (!value_of("--timeout", &value))
                return false;
            const bool digits = value.find_first_not_of("0123456789") == std::string::npos;
            if (!digits || !ParseByteCount(value, &seconds) || seconds == 0 || seconds > 86400) {
                *error = "--timeout takes whole seconds from 1 to 86400, not '" + value + "'";
                return false;
            }
            options->timeout_seconds = static_cast<unsigned>(seconds);
        } else if (argument == "-e") {
            if (index + 1 >= arguments.size()) {
                *error = "-e needs the calls to run";
                return false;
            }
            options->calls = options->calls.value_or("") + arguments[++index] + "\n";
        } else if (argument.size() > 1 && argument[0] == '-') {
            *error = "unknown option " + argument;
            return false;
        } else {
            options->scripts.push_back(argument);
        }
    }
    if (options->calls && !options->scripts.empty()) {
        *error = "give either script files or -e, not both";
        return false;
    }
    if (!options->zoo && options->survey_paths.size() > 1) {
        *error = "--cpuid takes one dump; several listings are surveyed with --zoo";
        return false;
    }
    const bool survey = options->zoo && !options->cpuid_file.empty();
    if (survey) {
        // --zoo --cpuid A B C: the paths after the first are listings too.
        options->survey_paths.insert(options->survey_paths.end(), options->scripts.begin(),
                                     options->scripts.end());
        options->scripts.clear();
    } else {
        options->survey_paths.clear();
    }
    if (survey && (options->list || options->calls)) {
        *error = "--zoo --cpuid runs the zoo's calls on each listing: no --list or -e";
        return false;
    }
    if (options->zoo && !survey &&
        (options->list || !options->cpu.empty() || options->calls || !options->scripts.empty())) {
        *error = "--zoo runs every catalogue processor itself: no --list, --cpu or script";
        return false;
    }
    if (options->zoo && options->clock_khz != 0) {
        *error =
            "--zoo runs each processor at its own clock rate (a listing's recorded one, or this "
            "machine's): no --clock-mhz";
        return false;
    }
    if (options->cpuid_all_processors && !options->zoo) {
        *error = "--cpuid-processor all goes with --zoo, which runs every processor of the dumps";
        return false;
    }
    if (processor_given && options->cpuid_file.empty() && !options->zoo) {
        *error = "--cpuid-processor picks a processor of the --cpuid dump: give --cpuid FILE";
        return false;
    }
    if (options->real_clocks && !options->zoo) {
        *error = "--real-clocks goes with --zoo";
        return false;
    }
    if (options->list && (options->calls || !options->scripts.empty())) {
        *error = "--list runs no script";
        return false;
    }
    return true;
}

std::string UsageText() {
    return R"(usage: qelhost [options] [SCRIPT ... | -e 'CALLS']

Loads KZPROBEX.dll as the QEL host does and runs script calls through it. Without a
script it prints a report of all ten functions on this machine.

options:
  --dll PATH        the DLL to load (default: the build's KZPROBEX.dll, or $QELHOST_DLL)
  --cpu NAME        run the DLL on an emulated processor: a catalogue name (486dx4,
                    pentium-mmx, k6-2, cyrix-6x86, winchip-c6, ...; --zoo lists them)
                    or a qemu-i386 -cpu model ("pentium3", "486,vendor=CyrixInstead")
                    (a catalogue name brings the chip's recorded CPUID and clock rate;
                    a qemu model, like no --cpu, runs the real CPUID and RDTSC);
                    qelhost.exe has no qemu: catalogue names only, on this machine's
                    instruction set
  --cpuid FILE      answer the DLL's CPUID from a recorded dump (libcpuid raw, AIDA64 or
                    InstLatx64 "CPUID xxxxxxxx:" listings, `cpuid -r`, or qelhost's own);
                    with --cpu the emulated processor still gives the instruction set
  --cpuid-processor N|all
                    which processor of a dump that lists several answers: N counts from 0
                    in the file's order (default 0, the first); all, with --zoo, surveys
                    each of them
  --clock-mhz F     a time-stamp counter counting F MHz (e.g. 450, 116.667) of the
                    session's clock for the DLL's RDTSC
  --save-cpuid FILE write this machine's CPUID leaves in qelhost's own dump format
  --zoo             what the ten functions report on every catalogue processor
  --zoo --cpuid PATH...
                    the same table over recorded listings, one row each: every PATH a
                    listing or a folder of them (read recursively, in sorted order); a
                    listing runs at the clock rate it records, else at this machine's
                    time-stamp rate (the clock marked *); with --cpu, in the runner
  --real-clocks     with --zoo: real clocks instead of scripted ones
  --json            print results as JSON
  --box ok|cancel   the button that answers the DLL's message boxes (default ok)
  --memory SIZE     emulate this much physical memory (e.g. 512M, 8G)
  --large-address-aware
                    report memory as a large-address-aware process sees it
  --timer-steps TICK[,TIME]
                    let GetTickCount and timeGetTime advance only in steps of this many
                    milliseconds, as on Windows (e.g. 15.625,1; default: every ms)
  --timeout SECONDS end a call into the DLL that has not returned after this long
                    (default: no limit)
  --sandbox         run the DLL confined, so that its own system calls reach nothing:
                    natively a seccomp filter, under qemu-i386 (and for --cpu, --zoo)
                    bubblewrap around qemu (--version names which applies); refuses to
                    run the DLL where neither can be had (exit status 2). The default
                    for any --dll other than the DLL this build made
  --no-sandbox      run the DLL unconfined, with the rights of the user
  --list            print the description, version and function table
  --version         print qelhost's version, and the DLL's if it loads
  -e 'CALLS'        run these calls (separated by newlines or ';')
  --help            this text

script syntax: one call per line, name(arg, ...); "quoted" arguments keep their blanks,
bare words are passed as they stand; '#' starts a comment; a missing argument is null.
example: qelhost -e 'ccpuspeed(" 2"); cversioninfo(0); ccpubenchmark(1,0,1,0,1)'

exit status: 0 every call completed (with a value or an error the DLL reported),
             1 the DLL could not be loaded, a script line was wrong, or the DLL faulted
               or ran out of time (the message names the fault and where), 2 usage
               (a malformed --cpuid dump among it: "qelhost: FILE:LINE: message"),
               or a sandbox that cannot be had
)";
}

}  // namespace qel
