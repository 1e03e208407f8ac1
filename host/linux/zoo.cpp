#include "host/linux/zoo.h"

#include <stdio.h>

#include <vector>

#include "host/cli/json.h"
#include "host/cli/processor_catalogue.h"
#include "host/cli/report.h"
#include "host/cli/session.h"

namespace qel {
namespace {

// Scripted clocks: a 10 MHz performance counter that moves 1 ms per read, and a tick count
// that moves 1 ms per read.
constexpr uint64_t kCounterFrequency = 10'000'000;
constexpr uint64_t kCounterStep = 10'000;
constexpr uint64_t kTickStep = 1;

// The calls of one row: ccpubenchmark as 3 runs of 100000 iterations, so the zoo stays quick.
struct ZooCall {
    const char* function;
    ArgumentList arguments;
    const char* heading;
    bool hexadecimal;
};

const std::vector<ZooCall>& ZooCalls() {
    static const std::vector<ZooCall> calls = {
        {"ccpusupt", {}, "supt", false},
        {"ccpuid", {}, "id", false},
        {"ccpuidext", {}, "idext", true},
        {"ccpufeat", {}, "feat", true},
        {"cvendorid", {}, "vendor", false},
        {"cclonecheck", {}, "clone", false},
        {"ccpuspeed", {"0"}, "rated", false},
        {"ccpuspeed", {"1"}, "MHz", false},
        {"ccpubenchmark", {"1", "3", "100000", "0", "1"}, "bench", false},
        {"cmemstat", {}, "memory", false},
        {"cversioninfo", {"0"}, "version", false},
    };
    return calls;
}

// How ccpuspeed measures on this processor, from the vendor classification and the
// time-stamp counter bit.
const char* RouteOf(bool clone, bool time_stamp) {
    if (clone)
        return time_stamp ? "one second" : "none (0)";
    return time_stamp ? "measured" : "scan loop";
}

std::string Cell(const CallResult& result, bool hexadecimal) {
    if (!result.failure.empty())
        return "crash";
    if (result.outcome.status != 0) {
        const int32_t number = ErrorNumber(result.outcome.text);
        return number >= 0 ? "error " + std::to_string(number) : "error";
    }
    if (!hexadecimal)
        return std::to_string(result.outcome.value);
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(result.outcome.value));
    return text;
}

struct ZooRow {
    const CatalogueProcessor* processor;
    std::string problem;  // the runner or the DLL failed
    std::string route;
    std::vector<std::string> cells;
};

ZooRow RunProcessor(const CatalogueProcessor& processor, const RunnerStarter& start,
                    const ZooSettings& settings) {
    ZooRow row{&processor, "", "", {}};
    std::string error;
    std::unique_ptr<RemoteExtender> runner = start(processor.qemu_cpu, &error);
    if (!runner) {
        row.problem = error;
        return row;
    }
    uint32_t registers[4] = {};
    const bool time_stamp = runner->ReadCpuid(0, registers) && registers[0] >= 1 &&
                            runner->ReadCpuid(1, registers) &&
                            (registers[3] & kFeatureTimeStampCounter) != 0;
    if (settings.scripted_clocks) {
        runner->ScriptClock("tick", 1000, kTickStep);
        if (!time_stamp) {
            runner->ScriptClock("frequency", kCounterFrequency, 0);
            runner->ScriptClock("counter", 0, kCounterStep);
        }
    }
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
    bool clone = false;
    for (const ZooCall& call : ZooCalls()) {
        const FunctionRow* function = FindFunction(session, call.function);
        if (function == nullptr) {
            row.cells.push_back("-");
            continue;
        }
        const CallResult result = RunCall(session, *function, call.arguments);
        row.cells.push_back(Cell(result, call.hexadecimal));
        if (!result.failure.empty())
            row.problem = std::string(call.function) + " " + result.failure;
        if (std::string(call.function) == "cclonecheck" && result.outcome.status == 0)
            clone = result.outcome.value != 0;
    }
    row.route = RouteOf(clone, time_stamp);
    return row;
}

void PrintText(const std::vector<ZooRow>& rows, const ZooSettings& settings, std::ostream& out) {
    std::vector<std::string> headings = {"processor", "vendor"};
    for (const ZooCall& call : ZooCalls())
        headings.push_back(call.heading);
    headings.push_back("speed route");
    std::vector<std::vector<std::string>> table;
    for (const ZooRow& row : rows) {
        std::vector<std::string> line = {row.processor->name, row.processor->vendor};
        if (!row.problem.empty() && row.cells.empty()) {
            line.push_back("(" + row.problem + ")");
        } else {
            line.insert(line.end(), row.cells.begin(), row.cells.end());
            line.push_back(row.route);
        }
        table.push_back(line);
    }
    std::vector<size_t> widths(headings.size(), 0);
    for (size_t column = 0; column < headings.size(); ++column)
        widths[column] = headings[column].size();
    for (const auto& line : table) {
        for (size_t column = 0; column < line.size() && column < widths.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    }
    auto print = [&](const std::vector<std::string>& line) {
        std::string text;
        for (size_t column = 0; column < line.size(); ++column) {
            const bool last = column + 1 == line.size();
            text += last ? line[column] : Padded(line[column], widths[column] + 2);
        }
        out << text << "\n";
    };
    print(headings);
    for (const auto& line : table)
        print(line);
    out << "\n"
        << (settings.scripted_clocks
                ? "Clocks: scripted (a 10 MHz counter and the tick count move 1 ms per read) "
                  "where no time-stamp counter is read; qemu's time-stamp counter is this "
                  "machine's, so \"measured\" and \"one second\" figures are this machine's "
                  "clock rate.\n"
                : "Clocks: real.\n");
}

void PrintJson(const std::vector<ZooRow>& rows, const ZooSettings& settings, std::ostream& out) {
    out << "{\"clocks\": \"" << (settings.scripted_clocks ? "scripted" : "real")
        << "\", \"processors\": [";
    for (size_t index = 0; index < rows.size(); ++index) {
        const ZooRow& row = rows[index];
        out << (index ? ",\n  " : "\n  ")
            << "{\"name\": " << JsonQuote(std::string(row.processor->name))
            << ", \"title\": " << JsonQuote(std::string(row.processor->title))
            << ", \"qemu_cpu\": " << JsonQuote(std::string(row.processor->qemu_cpu))
            << ", \"vendor\": " << JsonQuote(std::string(row.processor->vendor));
        if (!row.problem.empty())
            out << ", \"problem\": " << JsonQuote(row.problem);
        out << ", \"speed_route\": " << JsonQuote(row.route) << ", \"results\": {";
        for (size_t cell = 0; cell < row.cells.size(); ++cell) {
            const ZooCall& call = ZooCalls()[cell];
            out << (cell ? ", " : "") << JsonQuote(CallText(call.function, call.arguments)) << ": "
                << JsonQuote(row.cells[cell]);
        }
        out << "}}";
    }
    out << "\n]}\n";
}

}  // namespace

bool PrintZoo(const RunnerStarter& start, const ZooSettings& settings, std::ostream& out) {
    std::vector<ZooRow> rows;
    bool clean = true;
    for (const CatalogueProcessor& processor : ProcessorCatalogue()) {
        if (settings.progress != nullptr)
            *settings.progress << "\r\033[Kzoo: " << processor.title << "..." << std::flush;
        rows.push_back(RunProcessor(processor, start, settings));
        clean = clean && rows.back().problem.empty();
    }
    if (settings.progress != nullptr)
        *settings.progress << "\r\033[K" << std::flush;
    if (settings.json) {
        PrintJson(rows, settings, out);
    } else {
        PrintText(rows, settings, out);
    }
    return clean;
}

}  // namespace qel
