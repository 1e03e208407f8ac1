// The calls of a loaded ExtenderDll, over the shared protocol. Linux and Windows builds.
#include <string.h>

#include "host/base/little_endian.h"
#include "host/crossing/dll_entry_call.h"
#include "host/extender/extender.h"

namespace qel {

Outcome ToOutcome(const CallRecord& record) {
    Outcome outcome;
    outcome.returned = record.returned;
    outcome.callbacks = record.callbacks;
    outcome.status = record.status;
    outcome.result_type = record.result_type;
    outcome.value = record.value;
    outcome.text = std::string(record.text.view());
    outcome.arguments_handed_back = record.arguments_handed_back;
    return outcome;
}

FunctionRow DecodeFunctionRow(const uint8_t (&record)[kFunctionDescriptorSize]) {
    FunctionRow row;
    using namespace qel_abi;
    row.identifier = static_cast<int32_t>(Load32(record + kDescriptorIdentifierOffset));
    row.kind = static_cast<int32_t>(Load32(record + kDescriptorKindOffset));
    row.argument_types = Load32(record + kDescriptorArgumentTypesOffset) |
                         uint64_t{Load32(record + kDescriptorArgumentTypesOffset + 4)} << 32;
    row.argument_count = static_cast<int32_t>(Load32(record + kDescriptorArgumentCountOffset));
    memcpy(&row.name_length, record + kDescriptorNameLengthOffset, sizeof row.name_length);
    const char* name = reinterpret_cast<const char*>(record + kDescriptorNameOffset);
    row.name.assign(name, strnlen(name, kDescriptorNameSize));
    return row;
}

std::vector<FunctionRow> Extender::Functions() {
    std::vector<FunctionRow> rows;
    // The table is small; a library that never answers 0 is stopped well past it.
    for (int32_t index = 0; index < 256; ++index) {
        uint8_t record[kFunctionDescriptorSize] = {};
        if (Enumerate(index, record) == 0)
            break;
        rows.push_back(DecodeFunctionRow(record));
    }
    return rows;
}

int32_t ExtenderDll::Query(uint32_t code, void* pointer, int32_t count) {
    return CallDllEntry(entries_.query, {code, DllWord(pointer), static_cast<uint32_t>(count)});
}

int32_t ExtenderDll::Dispatch(uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4, uint32_t a5,
                              uint32_t a6, uint32_t a7, uint32_t a8, uint32_t a9, uint32_t a10) {
    return CallDllEntry(entries_.dispatch, {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10});
}

std::string ExtenderDll::Description(int32_t* version) {
    char buffer[kDescriptionSize] = {};
    const int32_t answer = QueryDescription(entries_, buffer);
    if (version != nullptr)
        *version = answer;
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

int32_t ExtenderDll::Handshake(uint32_t host_version, char* buffer) {
    return qel::Handshake(entries_, host_version, buffer);
}

int32_t ExtenderDll::Enumerate(int32_t index, void* record56) {
    return qel::Enumerate(entries_, index, record56);
}

Outcome ExtenderDll::Call(uint32_t function_number, const ArgumentTexts& args) {
    const char* texts[kArgumentRecordCount] = {};
    for (size_t index = 0; index < args.size() && index < kArgumentRecordCount; ++index)
        texts[index] = args[index] ? args[index]->c_str() : nullptr;
    return ToOutcome(CallFunction(entries_, function_number, texts, callback_answer_));
}

}  // namespace qel
