// qelhost's program, shared by the Linux build (own loader, Win32 emulation) and the
// Windows build (LoadLibrary, real Win32).
#pragma once
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/cli/options.h"
#include "host/cli/session.h"

namespace qel {

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;  // the DLL could not be loaded, or a script line was wrong
constexpr int kExitUsage = 2;

struct OpenedExtender {
    std::unique_ptr<Extender> extender;
    Guard guard;
    // CPUID on the processor the DLL runs on (in the runner for --cpu).
    std::function<bool(uint32_t leaf, uint32_t regs[4])> read_cpuid;
};

// How the DLL runs confined (--sandbox).
struct Confinement {
    bool applied = false;
    // What confines it ("a seccomp filter ..."), or why nothing can.
    std::string description;
    // Set where the whole host ran again inside the confinement: its exit status.
    std::optional<int> finished;
    // Where nothing applies: a DLL from elsewhere still runs, unconfined, unless --sandbox
    // asked (a build whose own runtime needs calls no allow-list foresees).
    bool optional_by_default = false;
};

struct HostPlatform {
    std::function<std::string()> default_dll;
    // Loads the DLL in this process (ExtenderDll::Load of the build); a null extender and
    // *error when it cannot.
    std::function<std::unique_ptr<Extender>(const std::string& path, std::string* error)> open_dll;
    Guard guard;
    // Applies --box, --memory and the like to the Win32 calls the DLL will make.
    std::function<void(const Options&)> apply_options;
    // Loads the DLL on the emulated processor options.cpu, with the guard for its calls;
    // a null extender and *error when it cannot. Empty where the build has no emulator.
    std::function<OpenedExtender(const Options&, std::string* error)> open_on_cpu;
    // False with *error when --cpu's name is neither a catalogue name nor a model the
    // emulator knows (exit status 2). May be empty.
    std::function<bool(const std::string& cpu, std::string* error)> check_cpu;
    // Prints --zoo's table; returns the exit status. Empty where the build has no emulator.
    std::function<int(const Options&, std::ostream& out)> print_zoo;
    bool progress_on_terminal = false;  // stderr is a terminal
    // The build serves the DLL's CPUID and RDTSC from models (--cpuid, --clock-mhz).
    bool virtual_processor = false;
    // CPUID on the processor the DLL runs on, for Session::read_cpuid.
    std::function<bool(uint32_t leaf, uint32_t regs[4])> read_cpuid;
    // Confines the DLL that options.dll names, as options.cpu and options.zoo will run it.
    // Empty where the build can confine nothing.
    std::function<Confinement(const Options&)> confine;
    // True for the DLL this build made, which runs unconfined unless --sandbox says otherwise.
    std::function<bool(const std::string& path)> is_own_dll;
    // A --cpuid listing's text where the build can do more than read the file (decompress
    // it): nullopt where it cannot, with *error saying why or empty where the file cannot be
    // read. May be empty.
    std::function<std::optional<std::string>(const std::string& path, std::string* error)>
        read_listing;
    // CPUID executed on this machine with a subleaf, for --save-cpuid; false where there
    // is no CPUID. May be empty.
    std::function<bool(uint32_t leaf, uint32_t subleaf, uint32_t regs[4])> execute_cpuid;
};

struct HostStreams {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
};

int RunHost(const std::vector<std::string>& arguments, const HostPlatform& platform,
            HostStreams streams);

}  // namespace qel
