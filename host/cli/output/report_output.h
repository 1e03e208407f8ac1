// How the default report and --list's table are written, as text or as JSON.
#pragma once
#include <stdint.h>

#include <iosfwd>
#include <string>
#include <vector>

#include "host/cli/session.h"

namespace qel {

// One call of the report with what it adds in words.
struct ReportEntry {
    CallResult result;
    std::string described;  // the value in words; may be empty
    // The host's own CPUID leaf-1 EAX, shown under the call where the DLL's 16-bit signature
    // cannot carry the family and model; 0: nothing to show.
    uint32_t host_leaf1 = 0;
    bool speed_route_note = false;  // under the call: what the speed route means for the modes
};

struct ReportResults {
    std::vector<ReportEntry> entries;
    bool clone = false;       // cclonecheck answered 1: ccpuspeed takes the one-second route
    uint32_t host_leaf1 = 0;  // as in ReportEntry, for the whole report
};

void WriteReport(const Session& session, const std::string& dll_path, const ReportResults& results,
                 bool json, std::ostream& out);
void WriteList(const Session& session, const std::string& dll_path, bool json, std::ostream& out);

}  // namespace qel
