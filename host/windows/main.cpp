// qelhost on Windows: LoadLibrary and the real Win32 calls under the shared program.
#include <stdlib.h>
#include <windows.h>

#include <iostream>

#include "host/cli/host_main.h"
#include "host/cli/output/terminal.h"
#include "host/processor/process_cpuid.h"
#include "host/windows/fault_guard.h"

namespace {

// %QELHOST_DLL%, else KZPROBEX.dll beside qelhost.exe.
std::string DefaultDll() {
    if (const char* configured = getenv("QELHOST_DLL"); configured != nullptr && *configured != 0) {
        return configured;
    }
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string executable(path, length);
    const size_t slash = executable.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : executable.substr(0, slash + 1)) +
           "KZPROBEX.dll";
}

void ApplyOptions(const qel::Options& options) {
    // Real message boxes wait for the user, and the real memory is what it is.
    if (options.box_answer != 1 || options.memory_bytes || options.large_address_aware ||
        options.tick_step_microseconds != 0 || options.multimedia_step_microseconds != 0 ||
        options.timeout_seconds != 0) {
        std::cerr << "qelhost: --box, --memory, --large-address-aware, --timer-steps and "
                     "--timeout only work in the Linux host; ignored\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    qel::HostPlatform platform;
    platform.default_dll = &DefaultDll;
    platform.open_dll = &qel::OpenExtenderDll;
    platform.guard = &qel::RunGuardedOnWindows;
    platform.apply_options = &ApplyOptions;
    platform.progress_on_terminal = qel::StandardErrorIsTerminal();
    platform.read_cpuid = &qel::ReadThisProcessCpuid;
    platform.execute_cpuid = [](uint32_t leaf, uint32_t subleaf, uint32_t regs[4]) {
        if (!qel::HasCpuid())
            return false;
        qel::ExecuteCpuid(leaf, subleaf, regs);
        return true;
    };
    return qel::RunHost(std::vector<std::string>(argv + 1, argv + argc), platform,
                        {std::cout, std::cerr, std::cin});
}
