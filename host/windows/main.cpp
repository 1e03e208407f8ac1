// qelhost on Windows: LoadLibrary and the real Win32 calls under the shared program.
#include <stdlib.h>
#include <windows.h>

#include <iostream>

#include "host/cli/host_main.h"
#include "host/cli/output/terminal.h"
#include "host/processor/process_cpuid.h"
#include "host/processor/processor_catalogue.h"
#include "host/windows/fault_guard.h"
#include "host/windows/virtual_processor.h"

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

void WarnAboutLinuxOnlyOptions(const qel::Options& options) {
    // Real message boxes wait for the user, and the real memory is what it is.
    if (options.box_answer != 1 || options.memory_bytes || options.large_address_aware ||
        options.tick_step_microseconds != 0 || options.multimedia_step_microseconds != 0 ||
        options.timeout_seconds != 0) {
        std::cerr << "qelhost: --box, --memory, --large-address-aware, --timer-steps and "
                     "--timeout only work in the Linux host; ignored\n";
    }
}

void ApplyOptions(const qel::Options& options) {
    WarnAboutLinuxOnlyOptions(options);
    // A model applies only where asked for: otherwise the DLL runs the real instructions.
    qel::VirtualProcessorSettings& settings = qel::virtual_processor();
    settings.cpuid = options.cpuid_model;
    settings.clock_khz = options.clock_khz;
    settings.timeline.reset();
}

// CPUID as the DLL sees it in this process: the model's answer where there is one.
bool ReadDllCpuid(uint32_t leaf, uint32_t regs[4]) {
    const std::optional<qel::virtual_cpu::CpuidModel>& model = qel::virtual_processor().cpuid;
    return model ? qel::ReadModelCpuid(*model, leaf, regs) : qel::ReadThisProcessCpuid(leaf, regs);
}

// Without qemu the instruction set is this machine's: only a catalogue chip, whose recorded
// CPUID and clock rate the virtual processor gives, can stand in for another processor.
bool CheckCpuName(const std::string& cpu, std::string* error) {
    if (qel::FindCatalogueProcessor(cpu) != nullptr)
        return true;
    *error = "'" + cpu +
             "' is not a catalogue name: qelhost.exe has no qemu, so the DLL runs on this "
             "machine's instruction set and --cpu takes a catalogue name only (qelhost --zoo "
             "in the Linux host lists them)";
    return false;
}

// A catalogue chip brings its dump and rate, and on a chip without a time-stamp counter the
// model of its performance counter; --cpuid and --clock-mhz take the place of either.
qel::OpenedExtender OpenOnCatalogueChip(const qel::Options& options, std::string* error) {
    const qel::CatalogueProcessor& chip = *qel::FindCatalogueProcessor(options.cpu);
    ApplyOptions(options);
    qel::VirtualProcessorSettings& settings = qel::virtual_processor();
    settings.cpuid = options.cpuid_model ? *options.cpuid_model : qel::CatalogueCpuid(chip);
    settings.clock_khz = options.clock_khz != 0 ? options.clock_khz : chip.clock_khz;
    if ((chip.real_features & qel::kFeatureTimeStampCounter) == 0)
        settings.timeline = qel::CatalogueTimeline(chip);
    qel::OpenedExtender opened;
    opened.extender = qel::OpenExtenderDll(options.dll, error);
    opened.guard = &qel::RunGuardedOnWindows;
    opened.read_cpuid = &ReadDllCpuid;
    return opened;
}

}  // namespace

int main(int argc, char** argv) {
    qel::HostPlatform platform;
    platform.default_dll = &DefaultDll;
    platform.open_dll = &qel::OpenExtenderDll;
    platform.guard = &qel::RunGuardedOnWindows;
    platform.apply_options = &ApplyOptions;
    platform.progress_on_terminal = qel::StandardErrorIsTerminal();
    platform.check_cpu = &CheckCpuName;
    platform.open_on_cpu = &OpenOnCatalogueChip;
    platform.read_cpuid = &ReadDllCpuid;
    platform.execute_cpuid = [](uint32_t leaf, uint32_t subleaf, uint32_t regs[4]) {
        if (!qel::HasCpuid())
            return false;
        qel::ExecuteCpuid(leaf, subleaf, regs);
        return true;
    };
    platform.virtual_processor = true;
    return qel::RunHost(std::vector<std::string>(argv + 1, argv + argc), platform,
                        {std::cout, std::cerr, std::cin});
}
