// qelhost on 32-bit Linux: the host's own loader and Win32 emulation under the shared program.
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "host/cli/host_main.h"
#include "host/cli/output/terminal.h"
#include "host/crossing/guarded_call.h"
#include "host/linux/bubblewrap.h"
#include "host/linux/host_clock_rate.h"
#include "host/linux/listing_text.h"
#include "host/linux/qemu_models.h"
#include "host/linux/supervisor.h"
#include "host/linux/survey.h"
#include "host/linux/system_call_filter.h"
#include "host/linux/zoo.h"
#include "host/processor/process_cpuid.h"
#include "host/processor/processor_catalogue.h"
#include "host/remote/catalogue_setup.h"
#include "host/remote/remote_extender.h"
#include "host/win32/emulation.h"
#include "host/win32/virtual_processor.h"

// GCC says __SANITIZE_ADDRESS__, clang __has_feature(address_sanitizer).
#if defined(__SANITIZE_ADDRESS__)
#define QEL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef QEL_ADDRESS_SANITIZER
#define QEL_ADDRESS_SANITIZER 0
#endif

namespace {

std::string ExecutablePath() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// The DLL next to this build's host (build/host/../windows), else the path the build recorded.
std::string BuiltDll() {
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

// $QELHOST_DLL, else the DLL this build made.
std::string DefaultDll() {
    if (const char* configured = getenv("QELHOST_DLL"); configured != nullptr && *configured != 0) {
        return configured;
    }
    return BuiltDll();
}

bool IsBuiltDll(const std::string& path) {
    char resolved[PATH_MAX], built[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr &&
           realpath(BuiltDll().c_str(), built) != nullptr && strcmp(resolved, built) == 0;
}

unsigned call_timeout_seconds = 0;  // --timeout; 0: no limit
std::string runner_bubblewrap;      // --sandbox for the runner: the bwrap it runs inside
std::vector<std::string> host_arguments;

// A call into the DLL loaded in this process: a fault or --timeout becomes *failure.
bool GuardInThisProcess(const std::function<void()>& work, std::string* failure) {
    qel::BoundedText caught;
    const bool completed = qel::RunGuarded(work, call_timeout_seconds, &caught);
    *failure = std::string(caught.view());
    return completed;
}

void ApplyOptions(const qel::Options& options) {
    call_timeout_seconds = options.timeout_seconds;
    qel::Emulation& emulation = qel::emulation();
    emulation.box_answer = options.box_answer;
    emulation.memory_bytes = options.memory_bytes;
    emulation.large_address_aware = options.large_address_aware;
    emulation.tick_step_microseconds = options.tick_step_microseconds;
    emulation.multimedia_step_microseconds = options.multimedia_step_microseconds;
    emulation.print_boxes = true;
    // A model applies only where asked for: otherwise the DLL runs the real instructions.
    emulation.cpuid_model = options.cpuid_model;
    emulation.time_stamp_khz = options.clock_khz;
}

// CPUID as the DLL sees it in this process: the --cpuid dump's answer where there is one.
bool ReadDllCpuid(uint32_t leaf, uint32_t regs[4]) {
    const std::optional<qel::virtual_cpu::CpuidModel>& model = qel::emulation().cpuid_model;
    return model ? qel::ReadModelCpuid(*model, leaf, regs) : qel::ReadThisProcessCpuid(leaf, regs);
}

std::string Beside(const std::string& relative, const char* configured, const char* built) {
    if (configured != nullptr && *configured != 0)
        return configured;
    const std::string executable = ExecutablePath();
    const size_t slash = executable.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = executable.substr(0, slash) + "/" + relative;
        if (access(beside.c_str(), X_OK) == 0)
            return beside;
    }
    return built;
}

// $QELHOST_QEMU, else the qemu-i386 the build found.
std::string QemuPath() {
    const char* configured_qemu = getenv("QELHOST_QEMU");
    return configured_qemu != nullptr && *configured_qemu != 0 ? configured_qemu : QELHOST_QEMU;
}

// A catalogue name, or a qemu model with its options ("486,vendor=CyrixInstead"). Without
// this check an unknown name would reach qemu, whose refusal looks like a broken runner.
bool CheckCpuName(const std::string& cpu, std::string* error) {
    if (qel::FindCatalogueProcessor(cpu) != nullptr)
        return true;
    const std::string model = cpu.substr(0, cpu.find(','));
    bool listed = false;
    if (!qel::QemuListsCpuModel(QemuPath(), model, &listed, error))
        return false;
    if (!listed) {
        *error = "'" + model +
                 "' is neither a catalogue name nor a qemu-i386 model: qelhost --zoo shows the "
                 "catalogue, qemu-i386 -cpu help the models";
    }
    return listed;
}

// The DLL in the runner under qemu-i386 -cpu MODEL: the runner needs no instruction that any
// model lacks, where this glibc program needs an i686.
std::unique_ptr<qel::RemoteExtender> StartRunner(const std::string& cpu, const std::string& dll,
                                                 const qel::RunnerSetUp& setup,
                                                 std::string* error) {
    const std::string qemu = QemuPath();
    const std::string runner =
        Beside("runner/qelhost_runner", getenv("QELHOST_RUNNER"), QELHOST_RUNNER_PATH);
    if (access(runner.c_str(), R_OK) != 0) {
        *error = "the runner " + runner +
                 " is not built (scripts/bootstrap --runner, then scripts/build qelhost_runner)";
        return nullptr;
    }
    // A catalogue name stands for its qemu model.
    const qel::CatalogueProcessor* known = qel::FindCatalogueProcessor(cpu);
    std::vector<std::string> command = {qemu, "-cpu", known ? known->qemu_cpu : cpu, runner};
    if (!runner_bubblewrap.empty())
        command = qel::InsideBubblewrap(runner_bubblewrap, command);
    return qel::RemoteExtender::Start(command, dll, error, nullptr, setup);
}

// This host again inside bubblewrap, under qemu-i386 where `under_qemu`, unless it already
// runs there (around `what`, as --version says); `cannot_filter` says why it does not filter
// its own calls instead.
qel::Confinement ThisHostInsideBubblewrap(const char* what, bool under_qemu,
                                          const std::string& cannot_filter) {
    qel::Confinement confinement;
    if (qel::RunsInsideBubblewrap()) {
        confinement.applied = true;
        confinement.description = std::string("bubblewrap around ") + what +
                                  " (a read-only file system, no network, namespaces of its own)";
        return confinement;
    }
    std::string no_bubblewrap;
    const std::string bwrap = qel::BubblewrapPath(&no_bubblewrap);
    if (bwrap.empty()) {
        confinement.description =
            cannot_filter.empty() ? no_bubblewrap : cannot_filter + ", and " + no_bubblewrap;
        return confinement;
    }
    std::vector<std::string> command = {ExecutablePath()};
    if (under_qemu)
        command.insert(command.begin(), {QemuPath(), "-L", "/"});
    command.insert(command.end(), host_arguments.begin(), host_arguments.end());
    confinement.finished = qel::RunInsideBubblewrap(bwrap, command);
    return confinement;
}

// --sandbox. The runner, and this host where it runs under qemu-i386, cannot confine
// themselves: bubblewrap confines qemu from outside. Natively the process running the DLL
// filters its own system calls.
qel::Confinement Confine(const qel::Options& options) {
    std::string cannot_filter;
    const bool can_filter = qel::CanFilterSystemCalls(&cannot_filter);
    // The survey loads the DLL afresh in this process for every listing it reads: no filter
    // could allow those reads and refuse the DLL's, so the whole host runs again inside
    // bubblewrap.
    if (options.zoo && !options.survey_paths.empty() && options.cpu.empty())
        return ThisHostInsideBubblewrap("this host", !can_filter, "");
    qel::Confinement confinement;
    if (!options.cpu.empty() || options.zoo) {
        runner_bubblewrap = qel::BubblewrapPath(&confinement.description);
        confinement.applied = !runner_bubblewrap.empty();
        if (confinement.applied)
            confinement.description =
                "bubblewrap around qemu-i386 (a read-only file system, no network, namespaces "
                "of its own), around the runner";
        return confinement;
    }
    // ASan's runtime makes system calls of its own after a fault (a pipe to probe memory,
    // files to symbolize a report) that no allow-list foresees: a sanitizer build filters
    // nothing, and runs a DLL from elsewhere unconfined unless --sandbox asks.
    if (QEL_ADDRESS_SANITIZER) {
        confinement.description =
            "a sanitizer build cannot filter the system calls of the process running the DLL";
        confinement.optional_by_default = true;
        return confinement;
    }
    if (!can_filter)
        return ThisHostInsideBubblewrap("qemu-i386", true, cannot_filter);
    qel::FilterSystemCallsOfTheDll(true);
    confinement.applied = true;
    confinement.description =
        "a seccomp filter: the process running the DLL may make only the host's own system "
        "calls";
    return confinement;
}

// The DLL in the runner on --cpu's processor, set up with `setup`.
qel::OpenedExtender OpenInRunner(const qel::Options& options, const qel::RunnerSetUp& setup,
                                 std::string* error) {
    qel::OpenedExtender opened;
    std::unique_ptr<qel::RemoteExtender> remote =
        StartRunner(options.cpu, options.dll, setup, error);
    if (!remote)
        return opened;
    remote->Set("box", std::to_string(options.box_answer));
    remote->Set("memory", options.memory_bytes ? std::to_string(*options.memory_bytes) : "-");
    remote->Set("laa", options.large_address_aware ? "1" : "0");
    remote->Set("timeout", std::to_string(options.timeout_seconds));
    remote->Set("tickstep", std::to_string(options.tick_step_microseconds));
    remote->Set("timestep", std::to_string(options.multimedia_step_microseconds));
    qel::RemoteExtender* calls = remote.get();
    opened.guard = [calls](const std::function<void()>& work, std::string* failure) {
        return calls->RunChecked(work, failure);
    };
    opened.read_cpuid = [calls](uint32_t leaf, uint32_t regs[4]) {
        uint32_t registers[4] = {};
        if (!calls->ReadCpuid(leaf, registers))
            return false;
        std::copy(registers, registers + 4, regs);
        return true;
    };
    opened.extender = std::move(remote);
    return opened;
}

qel::OpenedExtender OpenOnCpu(const qel::Options& options, std::string* error) {
    // A catalogue name brings its own dump and rate, a qemu model none; --cpuid and
    // --clock-mhz take the place of either. A chip without a time-stamp counter keeps its
    // modelled performance counter, so that its scan loop takes the chip's time.
    qel::RunnerSetUp setup;
    const qel::CatalogueProcessor* known = qel::FindCatalogueProcessor(options.cpu);
    if (known != nullptr)
        setup = qel::CatalogueSetUp(*known,
                                    (known->real_features & qel::kFeatureTimeStampCounter) == 0);
    if (options.cpuid_model)
        setup.cpuid = options.cpuid_model;
    if (options.clock_khz != 0)
        setup.clock_khz = options.clock_khz;
    return OpenInRunner(options, setup, error);
}

// The DLL loaded in this process on a listing's processor: the virtual processor serves its
// CPUID and RDTSC, as --cpuid and --clock-mhz do, with the survey's clocks.
qel::OpenedExtender OpenInThisProcess(const qel::Options& options, const qel::RunnerSetUp& setup,
                                      std::string* error) {
    qel::Emulation& emulation = qel::emulation();
    emulation.cpuid_model = setup.cpuid;
    emulation.time_stamp_khz = setup.clock_khz;
    emulation.timeline.reset();
    if (setup.timeline_step_ns != 0) {
        qel::ScriptedTimeline timeline;
        timeline.step_ns = setup.timeline_step_ns;
        timeline.counter_hz = setup.counter_hz;
        emulation.timeline = timeline;
    }
    qel::OpenedExtender opened;
    opened.extender = qel::OpenExtenderDll(options.dll, error);
    opened.guard = &GuardInThisProcess;
    return opened;
}

int PrintSurvey(const qel::Options& options, std::ostream& out) {
    std::vector<std::string> files;
    std::string error;
    if (!qel::ListingFiles(options.survey_paths, &files, &error)) {
        std::cerr << "qelhost: " << error << "\n";
        return qel::kExitUsage;
    }
    ApplyOptions(options);
    // A DLL that does not load is one message, not a row for each listing.
    if (options.cpu.empty() && !qel::OpenExtenderDll(options.dll, &error)) {
        std::cerr << "qelhost: cannot load " << options.dll << ": " << error << "\n";
        return qel::kExitFailed;
    }
    qel::SurveySettings settings;
    settings.json = options.json;
    settings.scripted_clocks = !options.real_clocks;
    settings.all_processors = options.cpuid_all_processors;
    settings.processor = options.cpuid_processor;
    settings.host_clock_khz = &qel::MeasureHostTimeStampKhz;
    settings.progress = qel::StandardErrorIsTerminal() ? &std::cerr : nullptr;
    settings.faults = &std::cerr;
    const auto start = [&](const qel::RunnerSetUp& setup, std::string* failure) {
        if (options.cpu.empty())
            return OpenInThisProcess(options, setup, failure);
        // The instruction set of an emulated processor: the runner under qemu, per listing.
        return OpenInRunner(options, setup, failure);
    };
    return qel::PrintSurvey(files, start, settings, out) ? qel::kExitCompleted : qel::kExitFailed;
}

int PrintZoo(const qel::Options& options, std::ostream& out) {
    if (!options.survey_paths.empty())
        return PrintSurvey(options, out);
    qel::ZooSettings settings;
    settings.json = options.json;
    settings.scripted_clocks = !options.real_clocks;
    settings.progress = qel::StandardErrorIsTerminal() ? &std::cerr : nullptr;
    const auto start = [&](const qel::CatalogueProcessor& processor, std::string* error) {
        return StartRunner(processor.name, options.dll,
                           qel::CatalogueSetUp(processor, !options.real_clocks), error);
    };
    return qel::PrintZoo(start, settings, out) ? qel::kExitCompleted : qel::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    qel::HostPlatform platform;
    platform.default_dll = &DefaultDll;
    platform.open_dll = &qel::OpenExtenderDll;
    platform.guard = &GuardInThisProcess;
    platform.apply_options = &ApplyOptions;
    platform.check_cpu = &CheckCpuName;
    platform.open_on_cpu = &OpenOnCpu;
    platform.print_zoo = &PrintZoo;
    platform.progress_on_terminal = qel::StandardErrorIsTerminal();
    platform.read_cpuid = &ReadDllCpuid;
    platform.execute_cpuid = [](uint32_t leaf, uint32_t subleaf, uint32_t regs[4]) {
        if (!qel::HasCpuid())
            return false;
        qel::ExecuteCpuid(leaf, subleaf, regs);
        return true;
    };
    platform.virtual_processor = true;
    platform.read_listing = &qel::ReadListingText;
    platform.confine = &Confine;
    platform.is_own_dll = &IsBuiltDll;
    qel::win32::ServeVirtualProcessor();
    host_arguments.assign(argv + 1, argv + argc);
    return qel::RunSupervised(
        [&] {
            return qel::RunHost(host_arguments, platform, {std::cout, std::cerr, std::cin});
        },
        std::cerr);
}
