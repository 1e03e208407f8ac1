#include "host/protocol/extender_protocol.h"

#include <string.h>

namespace qel {
namespace {

constexpr uint32_t kHostInfoSize = 64;
constexpr uint32_t kHostVersionOffset = 8;
constexpr uint32_t kResultValueOffset = 24;
constexpr uint32_t kResultTypeOffset = 28;
constexpr uint32_t kResultTextOffset = 32;
constexpr int32_t kEnumerate = -2;
constexpr int32_t kHandshake = -1;
constexpr uint32_t kQueryDescription = 1;

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
    CallRecord* record;
    const uint8_t* host_info;
    const uint8_t* result_record;
    int32_t answer;
};

__attribute__((stdcall, force_align_arg_pointer)) int32_t HostCallback(int32_t status,
                                                                       uint32_t host_context,
                                                                       void* host_info,
                                                                       void* result_record) {
    auto* call = reinterpret_cast<CallInProgress*>(static_cast<uintptr_t>(host_context));
    CallRecord& record = *call->record;
    ++record.callbacks;
    record.status = status;
    record.arguments_handed_back =
        host_info == call->host_info && result_record == call->result_record;
    return call->answer;
}

}  // namespace

CallRecord CallFunction(const ExtenderEntries& entries, uint32_t number,
                        const char* const (&arguments)[kArgumentRecordCount],
                        int32_t callback_answer) {
    uint8_t records[kArgumentRecordCount * kArgumentRecordSize] = {};
    for (int index = 0; index < kArgumentRecordCount; ++index) {
        Store32(records, index * kArgumentRecordSize + kArgumentTextOffset, Word(arguments[index]));
    }
    uint8_t host_info[kHostInfoSize] = {};
    Store32(host_info, kHostVersionOffset, kHostVersion);
    uint8_t result[kResultRecordSize] = {};

    CallRecord record;
    CallInProgress call{&record, host_info, result, callback_answer};
    record.returned =
        entries.dispatch(0, 0, Word(&call), number,
                         static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&HostCallback)),
                         Word(host_info), 0, Word(records), 0, Word(result));
    record.value = static_cast<int32_t>(Load32(result, kResultValueOffset));
    record.result_type = static_cast<int32_t>(Load32(result, kResultTypeOffset));
    if (const uint32_t text = Load32(result, kResultTextOffset); text != 0) {
        record.text = reinterpret_cast<const char*>(static_cast<uintptr_t>(text));
    }
    return record;
}

int32_t Handshake(const ExtenderEntries& entries, uint32_t host_version, char* buffer) {
    uint8_t host_info[kHostInfoSize] = {};
    Store32(host_info, kHostVersionOffset, host_version);
    return entries.dispatch(0, 0, 0, static_cast<uint32_t>(kHandshake), 0, Word(host_info), 0,
                            Word(buffer), 0, 0);
}

int32_t Enumerate(const ExtenderEntries& entries, int32_t index, void* record) {
    return entries.dispatch(0, 0, 0, static_cast<uint32_t>(kEnumerate), 0, 0, 0, Word(record),
                            static_cast<uint32_t>(index), 0);
}

int32_t QueryDescription(const ExtenderEntries& entries, char* buffer) {
    return entries.query(kQueryDescription, buffer, static_cast<int32_t>(kDescriptionSize));
}

}  // namespace qel
