#include "host/cli/report.h"

#include <optional>

#include "abi/function_values.h"
#include "host/cli/decode.h"
#include "host/cli/function_traits.h"
#include "host/cli/output/report_output.h"

namespace qel {
namespace {

namespace number = qel_abi::function_number;

bool IsValue(const CallResult& result) {
    return result.failure.empty() && result.outcome.status == 0;
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

bool Is(const FunctionRow& function, int32_t function_number) {
    return function.name == TraitsOf(function_number).name;
}

}  // namespace

bool PrintReport(Session& session, const std::string& dll_path, bool json, std::ostream& out) {
    // cclonecheck first: the route it implies decides which ccpuspeed modes are worth a call.
    ReportResults results;
    std::optional<CallResult> clone_check;
    if (const FunctionRow* row = FindFunction(session, TraitsOf(number::cclonecheck).name);
        row != nullptr) {
        clone_check = RunCall(session, *row, {});
        results.clone = IsValue(*clone_check) && clone_check->outcome.value != 0;
    }
    const bool clone = results.clone;
    for (const FunctionRow& function : session.functions) {
        for (const ArgumentList& arguments : ReportArguments(function.name, clone)) {
            ReportEntry entry;
            entry.result = Is(function, number::cclonecheck) && clone_check
                               ? *clone_check
                               : RunCall(session, function, arguments);
            const CallResult& result = entry.result;
            if (IsValue(result)) {
                const std::string first = arguments.empty() ? "" : arguments[0].value_or("");
                entry.described = DescribeValue(function.name, first, result.outcome.value, clone);
            }
            if (Is(function, number::ccpuidext) && IsValue(result)) {
                results.host_leaf1 =
                    Leaf1BeyondSignature(session, static_cast<uint32_t>(result.outcome.value));
                entry.host_leaf1 = results.host_leaf1;
            }
            entry.speed_route_note = Is(function, number::ccpuspeed) && arguments.size() == 1 &&
                                     arguments[0] == SpeedModeText(qel_abi::speed_mode::kCycles);
            results.entries.push_back(entry);
        }
    }
    WriteReport(session, dll_path, results, json, out);
    bool all_completed = true;
    for (const ReportEntry& entry : results.entries)
        all_completed = all_completed && entry.result.failure.empty();
    return all_completed;
}

}  // namespace qel
