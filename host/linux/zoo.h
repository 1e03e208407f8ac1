// qelhost --zoo: what the DLL's ten functions report on each processor of the catalogue,
// each one emulated by qemu with the DLL loaded in the runner.
#pragma once
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "host/remote/remote_extender.h"

namespace qel {

struct CatalogueProcessor;

// Starts the runner on the processor, set up with its dump, clock rate and clocks.
using RunnerStarter = std::function<std::unique_ptr<RemoteExtender>(
    const CatalogueProcessor& processor, std::string* error)>;

struct ZooSettings {
    bool json = false;
    // One scripted timeline for every clock (the starter sets it up); false: real clocks.
    bool scripted_clocks = true;
    std::ostream* progress = nullptr;  // one line per processor as it runs; may be null
};

// Prints the table; false when a processor could not be emulated or the DLL crashed on one.
bool PrintZoo(const RunnerStarter& start, const ZooSettings& settings, std::ostream& out);

}  // namespace qel
