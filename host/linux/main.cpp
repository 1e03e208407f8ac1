// qelhost on 32-bit Linux: the host's own loader and Win32 emulation under the shared program.
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <iostream>

#include "host/cli/host_main.h"
#include "host/cli/process_cpuid.h"
#include "host/loader/guarded_call.h"
#include "host/win32/emulation.h"

namespace {

std::string ExecutablePath() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// $QELHOST_DLL, else the DLL next to this build's host (build/host/../windows), else the
// path the build recorded.
std::string DefaultDll() {
    if (const char* configured = getenv("QELHOST_DLL"); configured != nullptr && *configured != 0) {
        return configured;
    }
    const std::string executable = ExecutablePath();
    const size_t slash = executable.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = executable.substr(0, slash) + "/../windows/KZPROBEX.dll";
        if (access(beside.c_str(), R_OK) == 0) {
            char resolved[PATH_MAX];
            return realpath(beside.c_str(), resolved) != nullptr ? resolved : beside;
        }
    }
    return QELHOST_DEFAULT_DLL;
}

void ApplyOptions(const qel::Options& options) {
    qel::Emulation& emulation = qel::emulation();
    emulation.box_answer = options.box_answer;
    emulation.memory_bytes = options.memory_bytes;
    emulation.large_address_aware = options.large_address_aware;
    emulation.print_boxes = true;
}

// Replaces this process with qemu-i386 -cpu MODEL -L / qelhost ..., which runs the same
// command line (the DLL path made explicit) on the emulated processor.
int RerunUnderCpu(const qel::Options& options, const std::vector<std::string>& arguments,
                  std::ostream& err) {
    const char* configured = getenv("QELHOST_QEMU");
    const std::string qemu = configured != nullptr && *configured != 0 ? configured : QELHOST_QEMU;
    std::vector<std::string> command = {qemu, "-cpu",           options.cpu, "-L",
                                        "/",  ExecutablePath(), "--dll",     options.dll};
    for (const std::string& argument : qel::WithoutCpuOption(arguments))
        command.push_back(argument);
    std::vector<char*> argv;
    for (std::string& part : command)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    std::cout.flush();
    execvp(argv[0], argv.data());
    err << "qelhost: cannot run " << qemu << ": " << strerror(errno) << "\n";
    return qel::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    qel::HostPlatform platform;
    platform.default_dll = &DefaultDll;
    platform.guard = [](const std::function<void()>& work, std::string* failure) {
        return qel::RunGuarded(work, 0, failure);
    };
    platform.apply_options = &ApplyOptions;
    platform.rerun_under_cpu = &RerunUnderCpu;
    platform.progress_on_terminal = isatty(STDERR_FILENO) != 0;
    platform.read_cpuid = &qel::ReadThisProcessCpuid;
    return qel::RunHost(std::vector<std::string>(argv + 1, argv + argc), platform,
                        {std::cout, std::cerr, std::cin});
}
