#include "host/cli/output/report_output.h"

#include <stdio.h>

#include <nlohmann/json.hpp>
#include <ostream>

#include "host/cli/decode.h"
#include "host/cli/output/calls.h"
#include "host/cli/output/format.h"

namespace qel {
namespace {

// Where the value's words begin, after the call and its outcome.
constexpr size_t kCallWidth = 3 + 44 + 2;

const char* const kSpeedNoteOneSecond =
    "one-second route: modes 0 and 1 both report cycles / 1000000, so one call shows them; "
    "mode 2 would be the interval, just over 1000 ms";
const char* const kSpeedNoteMeasuring =
    "measuring route: each call measures anew, so modes 2 and 3 come from runs of their own";

// The facts of the DLL every JSON document starts with.
Json HeaderJson(const Session& session, const std::string& dll_path) {
    return {{"dll", dll_path},
            {"description", session.description},
            {"version", session.version},
            {"handshake", session.handshake}};
}

void WriteHeaderText(const Session& session, const std::string& dll_path, std::ostream& out) {
    out << "DLL          " << dll_path << "\n"
        << "description  " << session.description << "\n"
        << "version      " << session.version << "\n"
        << "functions    " << session.handshake << " (handshake), " << session.functions.size()
        << " enumerated\n\n";
}

Json HostCpuidJson(uint32_t leaf1_eax) {
    const FullIdentification full = DecodeLeaf1(leaf1_eax);
    return {{"read_by", "host"},         {"leaf1_eax", Hex(leaf1_eax, 8)},
            {"family", full.family},     {"model", full.model},
            {"stepping", full.stepping}, {"text", FullIdentificationText(leaf1_eax)}};
}

// The value in words and, for a blocking call, how long it took.
std::string Decoded(const ReportEntry& entry) {
    std::string decoded = entry.described;
    if (entry.result.seconds >= 0) {
        decoded += std::string(decoded.empty() ? "" : " ") + "(took " +
                   SecondsText(entry.result.seconds) + ")";
    }
    return decoded;
}

std::string Note(const ReportEntry& entry, bool clone) {
    if (entry.host_leaf1 != 0) {
        return "the host's own CPUID, not the DLL's: " + Hex(entry.host_leaf1, 8) + " = " +
               FullIdentificationText(entry.host_leaf1);
    }
    if (entry.speed_route_note)
        return clone ? kSpeedNoteOneSecond : kSpeedNoteMeasuring;
    return "";
}

void WriteReportJson(const Session& session, const std::string& dll_path,
                     const ReportResults& results, std::ostream& out) {
    const bool clone = results.clone;
    Json document = HeaderJson(session, dll_path);
    Json& entries = document["results"] = Json::array();
    for (const ReportEntry& entry : results.entries)
        entries.push_back(ResultJson(entry.result, Decoded(entry)));
    document["speed"] = {{"route", clone ? "one-second" : "measuring"},
                         {"modes_0_and_1_equal", clone},
                         {"note", clone ? kSpeedNoteOneSecond : kSpeedNoteMeasuring}};
    if (results.host_leaf1 != 0)
        document["host_cpuid"] = HostCpuidJson(results.host_leaf1);
    out << JsonDocument(document);
}

void WriteReportText(const ReportResults& results, std::ostream& out) {
    for (const ReportEntry& entry : results.entries) {
        char number[8];
        snprintf(number, sizeof number, "%2d ", entry.result.number);
        std::string line = number + ResultText(entry.result);
        if (const std::string decoded = Decoded(entry); !decoded.empty())
            line = Padded(line, kCallWidth - 2) + "  " + decoded;
        out << line << "\n";
        if (const std::string note = Note(entry, results.clone); !note.empty())
            out << std::string(kCallWidth, ' ') << note << "\n";
    }
}

}  // namespace

void WriteReport(const Session& session, const std::string& dll_path, const ReportResults& results,
                 bool json, std::ostream& out) {
    if (json) {
        WriteReportJson(session, dll_path, results, out);
        return;
    }
    WriteHeaderText(session, dll_path, out);
    WriteReportText(results, out);
}

void WriteList(const Session& session, const std::string& dll_path, bool json, std::ostream& out) {
    Json document = HeaderJson(session, dll_path);
    Json& functions = document["functions"] = Json::array();
    if (!json)
        WriteHeaderText(session, dll_path, out);
    bool first = true;
    for (const FunctionRow& row : session.functions) {
        char types[24];
        snprintf(types, sizeof types, "0x%llx",
                 static_cast<unsigned long long>(row.argument_types));
        if (json) {
            functions.push_back({{"number", row.identifier},
                                 {"name", row.name},
                                 {"arguments", row.argument_count},
                                 {"kind", row.kind},
                                 {"argument_types", types}});
            continue;
        }
        if (first)
            out << "number  name            arguments  kind  argument types\n";
        char line[128];
        snprintf(line, sizeof line, "%6d  %-14s  %9d  %4d  %s\n", row.identifier, row.name.c_str(),
                 row.argument_count, row.kind, types);
        out << line;
        first = false;
    }
    if (json)
        out << JsonDocument(document);
}

}  // namespace qel
