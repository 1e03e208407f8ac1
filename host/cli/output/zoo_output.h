// How qelhost --zoo's table is written, as text or as JSON: one row per processor of the
// catalogue, one column per call.
#pragma once
#include <stdint.h>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "host/cli/session.h"
#include "host/processor/processor_catalogue.h"

namespace qel {

// One column: the call that fills it, its heading, and whether its value is shown in hex.
struct ZooCall {
    int32_t function;  // qel_abi::function_number::...
    ArgumentList arguments;
    const char* heading;
    bool hexadecimal;
};

// The calls of one row, in the table's order.
const std::vector<ZooCall>& ZooCalls();

// One processor: a catalogue entry, or one listing (one processor block of it) of a survey.
struct ZooRow {
    std::string name;    // the catalogue name, or the listing's path
    std::string vendor;  // leaf 0's vendor string; empty when the listing was refused
    uint32_t clock_khz = 0;
    // A listing that records no clock rate runs at this machine's measured time-stamp rate.
    bool clock_of_host = false;
    const CatalogueProcessor* processor = nullptr;  // a catalogue row: its title and qemu model
    std::optional<uint32_t> block;                  // the processor block of a listing of several
    std::string problem;                            // refused, or the runner or the DLL failed
    std::string route;                              // how ccpuspeed measures there
    // One for each of ZooCalls() when the processor ran, empty when it did not; nullopt
    // where the DLL has no such function.
    std::vector<std::optional<CallResult>> results;
};

struct ZooTable {
    bool survey = false;          // rows of listings (--zoo --cpuid), not the catalogue
    bool scripted_clocks = true;  // the clocks the DLL reads are one scripted timeline
    uint32_t host_clock_khz = 0;  // a survey's measured rate of this machine's time-stamp counter
    std::vector<ZooRow> rows;
};

void WriteZoo(const ZooTable& table, bool json, std::ostream& out);

}  // namespace qel
