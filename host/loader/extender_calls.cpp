// The host's side of the protocol: records, callback and the calls through the exports.
// Shared by the Linux and the Windows builds.
#include <string.h>

#include "host/loader/extender_dll.h"

namespace qel {
namespace {

constexpr uint32_t kHostInfoSize = 64;
constexpr uint32_t kHostVersionOffset = 8;
constexpr uint32_t kResultValueOffset = 24;
constexpr uint32_t kResultTypeOffset = 28;
constexpr uint32_t kResultTextOffset = 32;
constexpr int32_t kEnumerate = -2;
constexpr int32_t kHandshake = -1;

uint32_t Word(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

uint32_t Load32(const uint8_t* record, uint32_t offset) {
    uint32_t value;
    memcpy(&value, record + offset, sizeof value);
    return value;
}

void Store32(uint8_t* record, uint32_t offset, uint32_t value) {
    memcpy(record + offset, &value, sizeof value);
}

// What the callback needs to check and record one call; HostContext points at it.
struct CallInProgress {
    Outcome* outcome;
    const uint8_t* host_info;
    const uint8_t* result_record;
    int32_t answer;
};

__attribute__((stdcall, force_align_arg_pointer)) int32_t HostCallback(int32_t status,
                                                                       uint32_t host_context,
                                                                       void* host_info,
                                                                       void* result_record) {
    auto* call = reinterpret_cast<CallInProgress*>(static_cast<uintptr_t>(host_context));
    Outcome& outcome = *call->outcome;
    ++outcome.callbacks;
    outcome.status = status;
    outcome.arguments_handed_back =
        host_info == call->host_info && result_record == call->result_record;
    return call->answer;
}

}  // namespace

int32_t ExtenderDll::Query(uint32_t code, void* pointer, int32_t count) {
    return query_(code, pointer, count);
}

int32_t ExtenderDll::Dispatch(uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4, uint32_t a5,
                              uint32_t a6, uint32_t a7, uint32_t a8, uint32_t a9, uint32_t a10) {
    return dispatch_(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10);
}

int32_t ExtenderDll::Handshake(uint32_t host_version, char* buffer) {
    uint8_t host_info[kHostInfoSize] = {};
    Store32(host_info, kHostVersionOffset, host_version);
    return Dispatch(0, 0, 0, static_cast<uint32_t>(kHandshake), 0, Word(host_info), 0, Word(buffer),
                    0, 0);
}

int32_t ExtenderDll::Enumerate(int32_t index, void* record56) {
    return Dispatch(0, 0, 0, static_cast<uint32_t>(kEnumerate), 0, 0, 0, Word(record56),
                    static_cast<uint32_t>(index), 0);
}

Outcome ExtenderDll::Call(uint32_t function_number,
                          const std::vector<std::optional<std::string>>& args) {
    uint8_t arguments[kArgumentRecordCount * kArgumentRecordSize] = {};
    for (size_t index = 0; index < args.size() && index < kArgumentRecordCount; ++index) {
        if (args[index]) {
            Store32(arguments, index * kArgumentRecordSize + kArgumentTextOffset,
                    Word(args[index]->c_str()));
        }
    }
    uint8_t host_info[kHostInfoSize] = {};
    Store32(host_info, kHostVersionOffset, kHostVersion);
    uint8_t result[kResultRecordSize] = {};

    Outcome outcome;
    CallInProgress call{&outcome, host_info, result, callback_answer_};
    outcome.returned = Dispatch(0, 0, Word(&call), function_number,
                                static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&HostCallback)),
                                Word(host_info), 0, Word(arguments), 0, Word(result));
    outcome.value = static_cast<int32_t>(Load32(result, kResultValueOffset));
    outcome.result_type = static_cast<int32_t>(Load32(result, kResultTypeOffset));
    if (const uint32_t text = Load32(result, kResultTextOffset); text != 0) {
        outcome.text = reinterpret_cast<const char*>(static_cast<uintptr_t>(text));
    }
    return outcome;
}

std::string ExtenderDll::Description(int32_t* version) {
    char buffer[256] = {};
    const int32_t answer = Query(1, buffer, sizeof buffer);
    if (version != nullptr)
        *version = answer;
    return buffer;
}

std::vector<FunctionRow> ExtenderDll::Functions() {
    std::vector<FunctionRow> rows;
    // The table is small; a library that never answers 0 is stopped well past it.
    for (int32_t index = 0; index < 256; ++index) {
        uint8_t record[kFunctionDescriptorSize] = {};
        if (Enumerate(index, record) == 0)
            break;
        FunctionRow row;
        row.identifier = static_cast<int32_t>(Load32(record, 0));
        row.kind = static_cast<int32_t>(Load32(record, 4));
        row.argument_types = Load32(record, 8) | uint64_t{Load32(record, 12)} << 32;
        row.argument_count = static_cast<int32_t>(Load32(record, 16));
        memcpy(&row.name_length, record + 20, sizeof row.name_length);
        row.name.assign(
            reinterpret_cast<const char*>(record + 22),
            strnlen(reinterpret_cast<const char*>(record + 22), kFunctionDescriptorSize - 22));
        rows.push_back(row);
    }
    return rows;
}

}  // namespace qel
