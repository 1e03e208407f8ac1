#include "host/linux/zoo.h"

#include <vector>

#include "host/cli/function_traits.h"
#include "host/cli/output/terminal.h"
#include "host/processor/processor_catalogue.h"

namespace qel {
namespace {

// How ccpuspeed measures on this processor, from the vendor classification and the
// time-stamp counter bit.
const char* RouteOf(bool clone, bool time_stamp) {
    if (clone)
        return time_stamp ? "one second" : "none (0)";
    return time_stamp ? "measured" : "scan loop";
}

ZooRow RunProcessor(const CatalogueProcessor& processor, const RunnerStarter& start) {
    ZooRow row;
    row.name = processor.name;
    row.vendor = processor.vendor;
    row.clock_khz = processor.clock_khz;
    row.processor = &processor;
    std::string error;
    std::unique_ptr<RemoteExtender> runner = start(processor, &error);
    if (!runner) {
        row.problem = error;
        return row;
    }
    uint32_t registers[4] = {};
    const bool time_stamp = runner->ReadCpuid(0, registers) && registers[0] >= 1 &&
                            runner->ReadCpuid(1, registers) &&
                            (registers[3] & kFeatureTimeStampCounter) != 0;
    Session session;
    session.dll = runner.get();
    RemoteExtender* calls = runner.get();
    session.guard = [calls](const std::function<void()>& work, std::string* failure) {
        return calls->RunChecked(work, failure);
    };
    if (!StartSession(&session, &error)) {
        row.problem = error;
        return row;
    }
    RunZooCalls(session, time_stamp, &row);
    return row;
}

}  // namespace

void RunZooCalls(Session& session, bool time_stamp, ZooRow* row) {
    bool clone = false;
    for (const ZooCall& call : ZooCalls()) {
        const char* name = TraitsOf(call.function).name;
        const FunctionRow* function = FindFunction(session, name);
        if (function == nullptr) {
            row->results.push_back(std::nullopt);
            continue;
        }
        const CallResult result = RunCall(session, *function, call.arguments);
        row->results.push_back(result);
        if (!result.failure.empty())
            row->problem = std::string(name) + " " + result.failure;
        if (call.function == qel_abi::function_number::cclonecheck && result.outcome.status == 0)
            clone = result.outcome.value != 0;
    }
    row->route = RouteOf(clone, time_stamp);
}

bool PrintZoo(const RunnerStarter& start, const ZooSettings& settings, std::ostream& out) {
    ZooTable table;
    table.scripted_clocks = settings.scripted_clocks;
    bool clean = true;
    StatusLine status(settings.progress);
    for (const CatalogueProcessor& processor : ProcessorCatalogue()) {
        status.Clear();
        status.Show("zoo: " + std::string(processor.title) + "...");
        table.rows.push_back(RunProcessor(processor, start));
        clean = clean && table.rows.back().problem.empty();
    }
    status.Clear();
    WriteZoo(table, settings.json, out);
    return clean;
}

}  // namespace qel
