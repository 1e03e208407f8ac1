// qelhost's command line.
#pragma once
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "host/virtual_cpu/cpuid_model.h"

namespace qel {

struct Options {
    std::string dll;  // empty: the build's KZPROBEX.dll
    std::string cpu;  // catalogue name or qemu -cpu model to run the DLL on; empty: this processor
    bool json = false;
    int box_answer = 1;  // IDOK or IDCANCEL
    std::optional<uint64_t> memory_bytes;
    unsigned timeout_seconds = 0;  // --timeout: a call that runs longer is ended; 0 no limit
    bool large_address_aware = false;
    // --sandbox / --no-sandbox; unset: confined unless the DLL is the one this build made
    std::optional<bool> sandbox;
    bool help = false;
    bool version = false;  // qelhost's version, and the DLL's if it loads
    bool list = false;
    bool zoo = false;          // the table of every catalogue processor
    bool real_clocks = false;  // --zoo without scripted clocks
    // --timer-steps: GetTickCount's and timeGetTime's steps in microseconds; 0 every ms
    uint32_t tick_step_microseconds = 0;
    uint32_t multimedia_step_microseconds = 0;
    std::string cpuid_file;  // --cpuid: a recorded dump that answers the DLL's CPUID
    uint32_t clock_khz = 0;  // --clock-mhz: the time-stamp counter's rate; 0: real
    std::string save_cpuid;  // --save-cpuid: write this machine's leaves here
    // --cpuid-processor: which processor of a dump that lists several answers (0: the
    // first), or with --zoo, every one of them
    uint32_t cpuid_processor = 0;
    bool cpuid_all_processors = false;
    // --zoo --cpuid PATH...: the listings and folders of them to survey
    std::vector<std::string> survey_paths;
    // The leaves of --cpuid's dump, once RunHost has read it.
    std::optional<virtual_cpu::CpuidModel> cpuid_model;
    std::vector<std::string> scripts;  // files; "-" is standard input
    std::optional<std::string> calls;  // the text of -e
};

// False with *error when the command line is not usable (exit status 2).
bool ParseCommandLine(const std::vector<std::string>& arguments, Options* options,
                      std::string* error);

// "512M", "8G", "4294967296": a byte count with an optional K/M/G/T suffix (powers of 1024).
bool ParseByteCount(const std::string& text, uint64_t* bytes);

std::string UsageText();

}  // namespace qel
