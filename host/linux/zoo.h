// qelhost --zoo: what the DLL's ten functions report on each processor of the catalogue,
// each one emulated by qemu with the DLL loaded in the runner.
#pragma once
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "host/cli/output/zoo_output.h"
#include "host/cli/session.h"
#include "host/remote/remote_extender.h"

namespace qel {

// Starts the runner on the processor, set up with its dump, clock rate and clocks.
using RunnerStarter = std::function<std::unique_ptr<RemoteExtender>(
    const CatalogueProcessor& processor, std::string* error)>;

struct ZooSettings {
    bool json = false;
    // One scripted timeline for every clock (the starter sets it up); false: real clocks.
    bool scripted_clocks = true;
    std::ostream* progress = nullptr;  // one line per processor as it runs; may be null
};

// The zoo's calls through a started session, into row's results, problem and route;
// `time_stamp`: the processor's leaf 1 has the time-stamp counter bit.
void RunZooCalls(Session& session, bool time_stamp, ZooRow* row);

// Prints the table; false when a processor could not be emulated or the DLL crashed on one.
bool PrintZoo(const RunnerStarter& start, const ZooSettings& settings, std::ostream& out);

}  // namespace qel
