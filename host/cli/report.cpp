#include "host/cli/report.h"

#include <stdio.h>

#include <optional>
#include <ostream>

#include "host/cli/decode.h"
#include "host/cli/json.h"

namespace qel {

std::string Padded(std::string text, size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

namespace {

// Where the value's words begin, after the call and its outcome.
constexpr size_t kCallWidth = 3 + 44 + 2;

// One call of the report with what it adds in words.
struct ReportEntry {
    CallResult result;
    std::string decoded;
    std::string note;  // a further line under the call; may be empty
};

bool IsValue(const CallResult& result) {
    return result.failure.empty() && result.outcome.status == 0;
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

// The host's own leaf-1 reading, where the DLL's 16-bit signature (family field 15, or 6
// with an extended model) cannot carry the family and model; 0 when there is nothing to add.
uint32_t Leaf1BeyondSignature(const Session& session, uint32_t signature) {
    const uint32_t family_field = (signature >> 8) & 15;
    uint32_t regs[4] = {};
    if ((family_field != 15 && family_field != 6) || !session.read_cpuid ||
        !session.read_cpuid(1, regs) || !DecodeLeaf1(regs[0]).beyond_16_bits) {
        return 0;
    }
    return regs[0];
}

std::string HostCpuidJson(uint32_t leaf1_eax) {
    const FullIdentification full = DecodeLeaf1(leaf1_eax);
    return "{\"read_by\": \"host\", \"leaf1_eax\": " + JsonQuote(Hex(leaf1_eax, 8)) +
           ", \"family\": " + std::to_string(full.family) +
           ", \"model\": " + std::to_string(full.model) +
           ", \"stepping\": " + std::to_string(full.stepping) +
           ", \"text\": " + JsonQuote(FullIdentificationText(leaf1_eax)) + "}";
}

const char* const kSpeedNoteOneSecond =
    "one-second route: modes 0 and 1 both report cycles / 1000000, so one call shows them; "
    "mode 2 would be the interval, just over 1000 ms";
const char* const kSpeedNoteMeasuring =
    "measuring route: each call measures anew, so modes 2 and 3 come from runs of their own";

}  // namespace

std::vector<ArgumentList> ReportArguments(const std::string& name, bool clone) {
    if (name == "cversioninfo")
        return {{"0"}};
    // A clone's one-second route gives modes 0 and 1 the same figure, the cycle count
    // (mode 3) / 1000000: one call of mode 3 shows both. Elsewhere every mode differs and
    // each call measures anew (a few milliseconds).
    if (name == "ccpuspeed")
        return clone ? std::vector<ArgumentList>{{"3"}}
                     : std::vector<ArgumentList>{{"0"}, {"1"}, {"2"}, {"3"}};
    // 30 runs of 10000000 iterations; the result is the fastest run in milliseconds.
    if (name == "ccpubenchmark")
        return {{"1", "0", "1", "0", "1"}};
    return {{}};
}

bool PrintReport(Session& session, const std::string& dll_path, bool json, std::ostream& out) {
    // cclonecheck first: the route it implies decides which ccpuspeed modes are worth a call.
    bool clone = false;
    std::optional<CallResult> clone_check;
    if (const FunctionRow* row = FindFunction(session, "cclonecheck"); row != nullptr) {
        clone_check = RunCall(session, *row, {});
        clone = IsValue(*clone_check) && clone_check->outcome.value != 0;
    }
    std::vector<ReportEntry> entries;
    uint32_t host_leaf1 = 0;
    for (const FunctionRow& function : session.functions) {
        for (const ArgumentList& arguments : ReportArguments(function.name, clone)) {
            ReportEntry entry;
            entry.result = function.name == "cclonecheck" && clone_check
                               ? *clone_check
                               : RunCall(session, function, arguments);
            const CallResult& result = entry.result;
            if (IsValue(result)) {
                const std::string first = arguments.empty() ? "" : arguments[0].value_or("");
                entry.decoded = DescribeValue(function.name, first, result.outcome.value, clone);
            }
            if (result.seconds >= 0) {
                entry.decoded += std::string(entry.decoded.empty() ? "" : " ") + "(took " +
                                 SecondsText(result.seconds) + ")";
            }
            if (function.name == "ccpuidext" && IsValue(result)) {
                host_leaf1 =
                    Leaf1BeyondSignature(session, static_cast<uint32_t>(result.outcome.value));
                if (host_leaf1 != 0) {
                    entry.note = "the host's own CPUID, not the DLL's: " + Hex(host_leaf1, 8) +
                                 " = " + FullIdentificationText(host_leaf1);
                }
            }
            if (function.name == "ccpuspeed" && arguments.size() == 1 && arguments[0] == "3")
                entry.note = clone ? kSpeedNoteOneSecond : kSpeedNoteMeasuring;
            entries.push_back(entry);
        }
    }

    PrintHeader(session, dll_path, json, out);
    bool all_completed = true;
    for (const ReportEntry& entry : entries)
        all_completed = all_completed && entry.result.failure.empty();
    if (json) {
        out << ", \"results\": [";
        for (size_t index = 0; index < entries.size(); ++index) {
            out << (index == 0 ? "\n  " : ",\n  ")
                << ResultJson(entries[index].result, entries[index].decoded);
        }
        out << "\n], \"speed\": {\"route\": " << (clone ? "\"one-second\"" : "\"measuring\"")
            << ", \"modes_0_and_1_equal\": " << (clone ? "true" : "false") << ", \"note\": "
            << JsonQuote(std::string(clone ? kSpeedNoteOneSecond : kSpeedNoteMeasuring)) << "}";
        if (host_leaf1 != 0)
            out << ", \"host_cpuid\": " << HostCpuidJson(host_leaf1);
        out << "}\n";
        return all_completed;
    }
    for (const ReportEntry& entry : entries) {
        char number[8];
        snprintf(number, sizeof number, "%2d ", entry.result.number);
        std::string line = number + ResultText(entry.result);
        if (!entry.decoded.empty())
            line = Padded(line, kCallWidth - 2) + "  " + entry.decoded;
        out << line << "\n";
        if (!entry.note.empty())
            out << std::string(kCallWidth, ' ') << entry.note << "\n";
    }
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
