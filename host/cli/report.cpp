#include "host/cli/report.h"

#include <stdio.h>

#include <ostream>

#include "host/cli/decode.h"
#include "host/cli/json.h"

namespace qel {
namespace {

std::string Padded(std::string text, size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

void PrintHeader(const Session& session, const std::string& dll_path, bool json,
                 std::ostream& out) {
    if (json) {
        out << "{\"dll\": " << JsonQuote(dll_path)
            << ", \"description\": " << JsonQuote(session.description)
            << ", \"version\": " << session.version << ", \"handshake\": " << session.handshake;
        return;
    }
    out << "DLL          " << dll_path << "\n"
        << "description  " << session.description << "\n"
        << "version      " << session.version << "\n"
        << "functions    " << session.handshake << " (handshake), " << session.functions.size()
        << " enumerated\n\n";
}

}  // namespace

std::vector<ArgumentList> ReportArguments(const std::string& name) {
    if (name == "cversioninfo")
        return {{"0"}};
    if (name == "ccpuspeed")
        return {{"0"}, {"1"}};
    // 30 runs of 10000000 iterations; the result is the fastest run in milliseconds.
    if (name == "ccpubenchmark")
        return {{"1", "0", "1", "0", "1"}};
    return {{}};
}

bool PrintReport(Session& session, const std::string& dll_path, bool json, std::ostream& out) {
    // All calls first: how ccpuspeed's figures read depends on cclonecheck, which comes later.
    std::vector<CallResult> results;
    bool clone = false;
    for (const FunctionRow& function : session.functions) {
        for (const ArgumentList& arguments : ReportArguments(function.name)) {
            results.push_back(RunCall(session, function, arguments));
            const CallResult& result = results.back();
            if (function.name == "cclonecheck" && result.failure.empty() &&
                result.outcome.status == 0) {
                clone = result.outcome.value != 0;
            }
        }
    }
    PrintHeader(session, dll_path, json, out);
    if (json)
        out << ", \"results\": [";
    bool all_completed = true;
    for (size_t index = 0; index < results.size(); ++index) {
        const CallResult& result = results[index];
        all_completed = all_completed && result.failure.empty();
        const bool value = result.failure.empty() && result.outcome.status == 0;
        const std::string first_argument =
            result.arguments.empty() ? "" : result.arguments[0].value_or("");
        const std::string decoded =
            value ? DescribeValue(result.name, first_argument, result.outcome.value, clone) : "";
        if (json) {
            out << (index == 0 ? "\n  " : ",\n  ") << ResultJson(result, decoded);
            continue;
        }
        char number[8];
        snprintf(number, sizeof number, "%2d ", result.number);
        std::string line = number + Padded(ResultText(result), 44);
        if (!decoded.empty())
            line += "  " + decoded;
        out << line << "\n";
    }
    if (json)
        out << "\n]}\n";
    return all_completed;
}

void PrintList(const Session& session, const std::string& dll_path, bool json, std::ostream& out) {
    PrintHeader(session, dll_path, json, out);
    if (json)
        out << ", \"functions\": [";
    bool first = true;
    for (const FunctionRow& row : session.functions) {
        char types[24];
        snprintf(types, sizeof types, "0x%llx",
                 static_cast<unsigned long long>(row.argument_types));
        if (json) {
            out << (first ? "\n  " : ",\n  ") << "{\"number\": " << row.identifier
                << ", \"name\": " << JsonQuote(row.name)
                << ", \"arguments\": " << row.argument_count << ", \"kind\": " << row.kind
                << ", \"argument_types\": " << JsonQuote(std::string(types)) << "}";
        } else {
            if (first)
                out << "number  name            arguments  kind  argument types\n";
            char line[128];
            snprintf(line, sizeof line, "%6d  %-14s  %9d  %4d  %s\n", row.identifier,
                     row.name.c_str(), row.argument_count, row.kind, types);
            out << line;
        }
        first = false;
    }
    if (json)
        out << "\n]}\n";
}

}  // namespace qel
