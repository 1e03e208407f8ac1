#include "extender/exports.h"
#include "extender/function_table.h"
#include "extender/report.h"
#include "extender/script_functions.h"
#include "resources/messages.h"

namespace {

using ScriptFunction = int32_t (*)(const Call&);

// Indexed by function number; slot 0 is no function.
constexpr ScriptFunction kScriptFunctions[kFunctionCount + 1] = {
    nullptr,
#define KZ_DISPATCH_SLOT(number, name, argument_count) name,
    KZ_SCRIPT_FUNCTIONS(KZ_DISPATCH_SLOT)
#undef KZ_DISPATCH_SLOT
};

// The five text pointers of the host's argument records. A host that passes no block
// passes five absent arguments.
void TakeArgumentTexts(const void* records, const char* (&texts)[kArgumentCount]) {
    for (int i = 0; i < kArgumentCount; ++i) {
        texts[i] = records == nullptr
                       ? nullptr
                       : reinterpret_cast<const char*>(static_cast<uintptr_t>(
                             LoadWord(records, i * kArgumentRecordSize + kArgumentTextOffset)));
    }
}

}  // namespace

extern "C" KZ_STDCALL int32_t QELExtender2(void* window, uint32_t, uint32_t host_context,
                                           uint32_t function_number, HostCallback callback,
                                           void* host_info, uint32_t, void* records,
                                           int32_t enumeration_index, void* result_record) {
    // Only the low 16 bits count, as a signed number.
    const int16_t number = static_cast<int16_t>(function_number & 0xFFFF);
    if (number == qel_abi::kRequestNoOperation)
        return 1;
    if (number == qel_abi::kRequestEnumerate)
        return Enumerate(enumeration_index, records);
    if (number == qel_abi::kRequestHandshake)
        return Handshake(host_info, static_cast<char*>(records));

    Call call{window,
              host_context,
              callback,
              host_info,
              static_cast<uint8_t*>(result_record),
              {nullptr, nullptr, nullptr, nullptr, nullptr}};
    if (number >= 0)
        TakeArgumentTexts(records, call.args);
    if (number >= 1 && number <= kFunctionCount)
        return kScriptFunctions[number](call);
    return ReportError(call, KZ_MSG_UNKNOWN_FUNCTION);
}
