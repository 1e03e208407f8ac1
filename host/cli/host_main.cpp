#include "host/cli/host_main.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <span>
#include <sstream>

#include "host/cli/output/calls.h"
#include "host/cli/output/report_output.h"
#include "host/cli/output/terminal.h"
#include "host/cli/report.h"
#include "host/cli/version.h"
#include "host/virtual_cpu/cpuid_dump.h"
#include "host/virtual_cpu/leaf_survey.h"

namespace qel {
namespace {

struct ScriptSource {
    std::string name;  // for messages: the file, "-" for standard input, "-e"
    std::string text;
};

bool ReadSources(const Options& options, std::istream& in, std::vector<ScriptSource>* sources,
                 std::string* error) {
    if (options.calls) {
        sources->push_back({"-e", *options.calls});
        return true;
    }
    for (const std::string& path : options.scripts) {
        std::ostringstream text;
        if (path == "-") {
            text << in.rdbuf();
        } else {
            std::ifstream file(path, std::ios::binary);
            if (!file) {
                *error = "cannot read script " + path;
                return false;
            }
            text << file.rdbuf();
        }
        sources->push_back({path, text.str()});
    }
    return true;
}

// Runs every statement; bad lines are reported and skipped. False when any line was bad or
// the DLL crashed.
bool RunScripts(Session& session, const std::vector<ScriptSource>& sources, bool json,
                HostStreams streams) {
    bool clean = true;
    ScriptOutput output(json, streams.out, streams.err);
    for (const ScriptSource& source : sources) {
        for (const ScriptStatement& statement : ParseScript(source.text)) {
            std::string problem = statement.error;
            const FunctionRow* function = nullptr;
            if (problem.empty()) {
                function = FindFunction(session, statement.name);
                if (function == nullptr) {
                    problem = "no function named " + statement.name;
                } else if (statement.arguments.size() >
                           static_cast<size_t>(function->argument_count)) {
                    problem = function->name + " takes " +
                              std::to_string(function->argument_count) + " argument(s), not " +
                              std::to_string(statement.arguments.size());
                }
            }
            if (!problem.empty()) {
                clean = false;
                output.Problem(source.name, statement.line, problem);
                continue;
            }
            CallResult result = RunCall(session, *function, statement.arguments);
            result.line = statement.line;
            clean = clean && result.failure.empty();
            output.Call(result);
        }
    }
    output.Finish();
    return clean;
}

// --cpuid: the leaves of the dump's processor --cpuid-processor picks read into
// options->cpuid_model; false with *error ("FILE:LINE: message").
bool ReadDumpOption(const HostPlatform& platform, Options* options, std::string* error) {
    std::optional<std::string> text;
    std::string why;
    if (platform.read_listing) {
        text = platform.read_listing(options->cpuid_file, &why);
    } else if (std::ifstream file(options->cpuid_file, std::ios::binary); file) {
        std::ostringstream read;
        read << file.rdbuf();
        text = read.str();
    }
    if (!text) {
        *error = why.empty() ? "cannot read the CPUID dump " + options->cpuid_file
                             : options->cpuid_file + ": " + why;
        return false;
    }
    const virtual_cpu::DumpReading reading =
        virtual_cpu::ReadCpuidDump(*text, options->cpuid_processor);
    if (!reading.dump) {
        *error = options->cpuid_file + ":" + std::to_string(reading.error.line) + ": " +
                 reading.error.message;
        return false;
    }
    virtual_cpu::CpuidModel model;
    for (const virtual_cpu::CpuidRecord& record : reading.dump->records)
        model.Add(record);
    options->cpuid_model = model;
    return true;
}

virtual_cpu::CpuidAnswer ExecuteForSurvey(void* context, uint32_t leaf, uint32_t subleaf) {
    const auto& execute = *static_cast<const HostPlatform*>(context);
    uint32_t regs[4] = {};
    execute.execute_cpuid(leaf, subleaf, regs);
    return {regs[0], regs[1], regs[2], regs[3]};
}

// --save-cpuid: this machine's leaves in our own dump format.
int SaveCpuid(const Options& options, const HostPlatform& platform, HostStreams streams) {
    uint32_t probe[4] = {};
    if (!platform.execute_cpuid || !platform.execute_cpuid(0, 0, probe)) {
        streams.err << "qelhost: this processor has no CPUID to save\n";
        return kExitFailed;
    }
    const auto survey = std::make_unique<virtual_cpu::Survey>(
        virtual_cpu::SurveyLeaves(&ExecuteForSurvey, const_cast<HostPlatform*>(&platform)));
    const std::span<const virtual_cpu::CpuidRecord> records = survey->leaves.Records();
    std::ofstream file(options.save_cpuid, std::ios::binary | std::ios::trunc);
    file << virtual_cpu::WriteCpuidDump(records, "qelhost --save-cpuid");
    if (!file.flush()) {
        streams.err << "qelhost: cannot write " << options.save_cpuid << "\n";
        return kExitFailed;
    }
    streams.out << "saved " << records.size() << " CPUID records to " << options.save_cpuid
                << (survey->complete ? "" : " (more leaves than a dump holds: the rest left out)")
                << "\n";
    return kExitCompleted;
}

// "sandbox: ..." for --version: what confines the DLL, or why nothing does.
std::string SandboxLine(bool sandbox, const Confinement& confinement) {
    return "sandbox: " +
           (sandbox ? confinement.description
                    : std::string("none (the DLL runs with the user's rights; "
                                  "--sandbox confines it)")) +
           "\n";
}

}  // namespace

int RunHost(const std::vector<std::string>& arguments, const HostPlatform& platform,
            HostStreams streams) {
    Options options;
    std::string error;
    if (!ParseCommandLine(arguments, &options, &error)) {
        streams.err << "qelhost: " << error << "\n(qelhost --help shows the usage)\n";
        return kExitUsage;
    }
    if (options.help) {
        streams.out << UsageText();
        return kExitCompleted;
    }
    if (!options.save_cpuid.empty())
        return SaveCpuid(options, platform, streams);
    if ((!options.cpuid_file.empty() || options.clock_khz != 0) && !platform.virtual_processor) {
        streams.err << "qelhost: --cpuid and --clock-mhz work only in the Linux host\n";
        return kExitUsage;
    }
    // A survey reads each of its listings itself, and a refused one is a row of its table.
    if (!options.cpuid_file.empty() && options.survey_paths.empty() &&
        !ReadDumpOption(platform, &options, &error)) {
        streams.err << "qelhost: " << error << "\n";
        return kExitUsage;
    }
    if (options.dll.empty())
        options.dll = platform.default_dll();
    if (!options.cpu.empty() && platform.check_cpu && !platform.check_cpu(options.cpu, &error)) {
        streams.err << "qelhost: " << error << "\n";
        return kExitUsage;
    }
    // A DLL from elsewhere runs confined unless asked otherwise, where confinement is had.
    bool sandbox = options.sandbox.value_or(platform.confine && platform.is_own_dll &&
                                            !platform.is_own_dll(options.dll));
    Confinement confinement;
    if (sandbox) {
        if (platform.confine)
            confinement = platform.confine(options);
        else
            confinement.description = "this build of qelhost has no sandbox";
        if (confinement.finished)
            return *confinement.finished;
        if (!confinement.applied && confinement.optional_by_default && !options.sandbox) {
            sandbox = false;
        } else if (!confinement.applied) {
            streams.err << "qelhost: the DLL cannot run confined here: " << confinement.description
                        << (options.sandbox ? "" : " (--no-sandbox runs it unconfined)") << "\n";
            return kExitUsage;
        }
    }
    if (options.version)
        streams.out << "qelhost " << kQelhostVersion << "\n" << SandboxLine(sandbox, confinement);
    if ((!options.cpu.empty() && !platform.open_on_cpu) || (options.zoo && !platform.print_zoo)) {
        streams.err << "qelhost: " << (options.zoo ? "--zoo" : "--cpu")
                    << " needs qemu-i386 and works only in the Linux host\n";
        return kExitUsage;
    }
    if (options.zoo)
        return platform.print_zoo(options, streams.out);
    std::vector<ScriptSource> sources;
    if (!ReadSources(options, streams.in, &sources, &error)) {
        streams.err << "qelhost: " << error << "\n";
        return kExitFailed;
    }
    OpenedExtender opened;
    if (options.cpu.empty()) {
        platform.apply_options(options);
        opened.extender = platform.open_dll(options.dll, &error);
        opened.guard = platform.guard;
        opened.read_cpuid = platform.read_cpuid;
    } else {
        opened = platform.open_on_cpu(options, &error);
    }
    // --version answers even when the DLL does not load: qelhost's own version is the answer.
    const auto version_without_dll = [&] {
        streams.out << "KZPROBEX.dll not loaded: " << options.dll << ": " << error << "\n";
        return kExitCompleted;
    };
    if (!opened.extender && options.version)
        return version_without_dll();
    if (!opened.extender) {
        streams.err << "qelhost: cannot load " << options.dll
                    << (options.cpu.empty() ? "" : " on processor " + options.cpu) << ": " << error
                    << "\n";
        return kExitFailed;
    }
    Session session;
    session.dll = opened.extender.get();
    session.guard = opened.guard;
    MeasuringLine measuring(platform.progress_on_terminal ? &streams.err : nullptr);
    session.watcher = &measuring;
    session.read_cpuid = opened.read_cpuid;
    const bool started = StartSession(&session, &error);
    if (!started && options.version)
        return version_without_dll();
    if (!started) {
        streams.err << "qelhost: " << options.dll << ": " << error << "\n";
        return kExitFailed;
    }
    if (options.version) {
        streams.out << "KZPROBEX.dll " << session.version << " (" << options.dll << ")\n";
        return kExitCompleted;
    }
    if (options.list) {
        WriteList(session, options.dll, options.json, streams.out);
        return kExitCompleted;
    }
    if (sources.empty()) {
        return PrintReport(session, options.dll, options.json, streams.out) ? kExitCompleted
                                                                            : kExitFailed;
    }
    return RunScripts(session, sources, options.json, streams) ? kExitCompleted : kExitFailed;
}

}  // namespace qel
