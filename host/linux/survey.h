// qelhost --zoo --cpuid PATH...: the zoo's table over recorded CPUID listings, one row per
// listing (or per processor block of it), each answering the DLL's CPUID from its leaves.
#pragma once
#include <stdint.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "host/cli/host_main.h"
#include "host/remote/remote_extender.h"

namespace qel {

// Opens the DLL on a listing's processor, set up with its leaves, clock rate and clocks:
// in this process, or in the runner; a null extender and *error when it cannot.
using ListingStarter = std::function<OpenedExtender(const RunnerSetUp& setup, std::string* error)>;

struct SurveySettings {
    bool json = false;
    bool scripted_clocks = true;
    bool all_processors = false;  // a row for each processor block of a listing
    uint32_t processor = 0;       // else this block of each listing
    // This machine's time-stamp rate in kHz (0: none), for the listings that record none;
    // asked for once, and only when such a listing comes.
    std::function<uint32_t()> host_clock_khz;
    std::ostream* progress = nullptr;  // one line per listing as it runs; may be null
    std::ostream* faults = nullptr;    // the message of each fault of the DLL; may be null
};

// The files of `paths` in the order they are surveyed: each file as given, each folder's
// files (recursively) in sorted order. False with *error when a path is neither.
bool ListingFiles(const std::vector<std::string>& paths, std::vector<std::string>* files,
                  std::string* error);

// Prints the table; false when the DLL could not run on a listing or faulted. A listing the
// reader refuses is a row with its message.
bool PrintSurvey(const std::vector<std::string>& files, const ListingStarter& start,
                 const SurveySettings& settings, std::ostream& out);

}  // namespace qel
