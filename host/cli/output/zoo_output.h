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

struct ZooRow {
    const CatalogueProcessor* processor;
    std::string problem;  // the runner or the DLL failed
    std::string route;    // how ccpuspeed measures there
    // One for each of ZooCalls() when the processor ran, empty when it did not; nullopt
    // where the DLL has no such function.
    std::vector<std::optional<CallResult>> results;
};

// `scripted_clocks`: the runner scripted the clocks the DLL reads.
void WriteZoo(const std::vector<ZooRow>& rows, bool scripted_clocks, bool json, std::ostream& out);

}  // namespace qel
