// qelhost --zoo: what the DLL's ten functions report on each processor of the catalogue,
// each one emulated by qemu with the DLL loaded in the runner.
#pragma once
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "host/remote/remote_extender.h"

namespace qel {

using RunnerStarter =
    std::function<std::unique_ptr<RemoteExtender>(const std::string& qemu_cpu, std::string* error)>;

struct ZooSettings {
    bool json = false;
    // Scripted performance counter and tick count where the DLL reads no time-stamp counter
    // (which qemu always takes from the real processor); false: real clocks throughout.
    bool scripted_clocks = true;
    std::ostream* progress = nullptr;  // one line per processor as it runs; may be null
};

// Prints the table; false when a processor could not be emulated or the DLL crashed on one.
bool PrintZoo(const RunnerStarter& start, const ZooSettings& settings, std::ostream& out);

}  // namespace qel
