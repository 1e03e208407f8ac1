#include "host/protocol/extender_protocol.h"

#include <string.h>

#include "host/base/little_endian.h"
#include "host/crossing/dll_entry_call.h"
#include "host/crossing/entered_export.h"

namespace qel {
namespace {

constexpr uint32_t kHostInfoSize = 64;
using qel_abi::kHostVersionOffset;
using qel_abi::kQueryDescription;
using qel_abi::kResultTextOffset;
using qel_abi::kResultTypeOffset;
using qel_abi::kResultValueOffset;
// Requests travel as all 32 bits of the function number.
constexpr int32_t kHandshake = qel_abi::kRequestHandshake;
constexpr int32_t kEnumerate = qel_abi::kRequestEnumerate;
RecordPlacer record_placer = nullptr;
// The refusal buffer the handshake may fill; the DLL writes 30 bytes.
constexpr uint32_t kHandshakeBufferSize = 64;
constexpr uint8_t kUnwritten = 0xA5;

// A zeroed block for `slot`: against a guard page where a placer is set, else `here`.
uint8_t* Place(int slot, uint8_t* here, uint32_t size) {
    uint8_t* placed = record_placer != nullptr ? record_placer(slot, size) : nullptr;
    uint8_t* block = placed != nullptr ? placed : here;
    memset(block, 0, size);
    return block;
}

// The caller's `size` bytes copied against a guard page where a placer is set, else the
// caller's own block.
uint8_t* PlaceCopy(int slot, uint8_t* block, uint32_t size) {
    uint8_t* placed = record_placer != nullptr ? record_placer(slot, size) : nullptr;
    if (placed == nullptr)
        return block;
    memcpy(placed, block, size);
    return placed;
}

// What the callback needs to check and record one call. The callback finds it here, never
// through the host context the DLL hands back: a damaged DLL can hand back any number.
struct CallInProgress {
    CallRecord* record;
    uint32_t host_context;
    const uint8_t* host_info;
    const uint8_t* result_record;
    int32_t answer;
};
CallInProgress* call_in_progress = nullptr;
// ExportEntryCount() inside that call: the call ends when its export is left, by a return or
// by a jump out of a fault.
uint32_t call_in_progress_entry = 0;

// Runs `enter`, a call into the DLL, with the export named for a report of a fault in it and
// the script function call (if any) the callback may record.
template <typename Enter>
int32_t InExport(const char* name, CallInProgress* call, Enter enter) {
    SetEnteredExport(name);
    call_in_progress = call;
    call_in_progress_entry = ExportEntryCount();
    const int32_t answer = enter();
    SetEnteredExport(nullptr);
    call_in_progress = nullptr;
    return answer;
}

// The host context the DLL hands back with each call: a number of the call's own, never an
// address of the host's, which a damaged DLL could keep and later write through. It stays
// within the first 64 KB, which no process maps, so a write through it faults.
uint32_t NextHostContext() {
    static uint32_t calls_made = 0;
    return 0x1000 + calls_made++ % 0xF000;
}

__attribute__((stdcall, force_align_arg_pointer)) int32_t HostCallback(int32_t status,
                                                                       uint32_t host_context,
                                                                       void* host_info,
                                                                       void* result_record) {
    // Called when no call is in progress, or after its export was left: nothing to record.
    if (call_in_progress == nullptr || call_in_progress_entry != ExportEntryCount())
        return 0;
    CallInProgress* call = call_in_progress;
    CallRecord& record = *call->record;
    ++record.callbacks;
    record.status = status;
    record.arguments_handed_back = host_context == call->host_context &&
                                   host_info == call->host_info &&
                                   result_record == call->result_record;
    return call->answer;
}

}  // namespace

void SetRecordPlacer(RecordPlacer placer) {
    record_placer = placer;
}

uint32_t CallbackThunk() {
    return HostCallThunk(reinterpret_cast<const void*>(&HostCallback),
                         ArgumentBytes(&HostCallback));
}

CallRecord CallFunction(const ExtenderEntries& entries, uint32_t number,
                        const char* const (&arguments)[kArgumentRecordCount],
                        int32_t callback_answer, uint32_t window) {
    uint8_t records_here[kArgumentRecordCount * kArgumentRecordSize];
    uint8_t* records = Place(kArgumentSlot, records_here, sizeof records_here);
    for (int index = 0; index < kArgumentRecordCount; ++index) {
        const char* text = arguments[index];
        if (text != nullptr && record_placer != nullptr) {
            const uint32_t size = static_cast<uint32_t>(strlen(text)) + 1;
            if (uint8_t* copy = record_placer(kFirstTextSlot + index, size); copy != nullptr) {
                memcpy(copy, text, size);
                text = reinterpret_cast<const char*>(copy);
            }
        }
        Store32(records + index * kArgumentRecordSize + kArgumentTextOffset, DllWord(text));
    }
    uint8_t host_info_here[kHostInfoSize];
    uint8_t* host_info = Place(kHostInfoSlot, host_info_here, sizeof host_info_here);
    Store32(host_info + kHostVersionOffset, kHostVersion);
    uint8_t result_here[kResultRecordSize];
    uint8_t* result = Place(kResultSlot, result_here, sizeof result_here);

    CallRecord record;
    CallInProgress call{&record, NextHostContext(), host_info, result, callback_answer};
    const uint32_t callback = CallbackThunk();
    record.returned = InExport(kDispatchName, &call, [&] {
        return CallDllEntry(entries.dispatch,
                            {window, 0, call.host_context, number, callback, DllWord(host_info), 0,
                             DllWord(records), 0, DllWord(result)});
    });
    record.value = static_cast<int32_t>(Load32(result + kResultValueOffset));
    record.result_type = static_cast<int32_t>(Load32(result + kResultTypeOffset));
    if (const uint32_t text = Load32(result + kResultTextOffset); text != 0) {
        record.text = reinterpret_cast<const char*>(static_cast<uintptr_t>(text));
    }
    return record;
}

int32_t Handshake(const ExtenderEntries& entries, uint32_t host_version, char* buffer) {
    uint8_t host_info_here[kHostInfoSize];
    uint8_t* host_info = Place(kHostInfoSlot, host_info_here, sizeof host_info_here);
    Store32(host_info + kHostVersionOffset, host_version);
    // The refusal goes to a guarded buffer first; what the DLL wrote there is copied on.
    uint8_t* refusal = reinterpret_cast<uint8_t*>(buffer);
    if (buffer != nullptr && record_placer != nullptr) {
        if (uint8_t* placed = record_placer(kBufferSlot, kHandshakeBufferSize); placed != nullptr) {
            memset(placed, kUnwritten, kHandshakeBufferSize);
            refusal = placed;
        }
    }
    const int32_t answer = InExport(kDispatchName, nullptr, [&] {
        return CallDllEntry(entries.dispatch, {0, 0, 0, static_cast<uint32_t>(kHandshake), 0,
                                               DllWord(host_info), 0, DllWord(refusal), 0, 0});
    });
    if (refusal != reinterpret_cast<uint8_t*>(buffer)) {
        uint32_t written = kHandshakeBufferSize;
        while (written > 0 && refusal[written - 1] == kUnwritten)
            --written;
        memcpy(buffer, refusal, written);
    }
    return answer;
}

int32_t Enumerate(const ExtenderEntries& entries, int32_t index, void* record) {
    uint8_t* row = static_cast<uint8_t*>(record);
    if (record != nullptr)
        row = PlaceCopy(kBufferSlot, row, kFunctionDescriptorSize);
    const int32_t answer = InExport(kDispatchName, nullptr, [&] {
        return CallDllEntry(entries.dispatch, {0, 0, 0, static_cast<uint32_t>(kEnumerate), 0, 0, 0,
                                               DllWord(row), static_cast<uint32_t>(index), 0});
    });
    if (row != record)
        memcpy(record, row, kFunctionDescriptorSize);
    return answer;
}

int32_t QueryDescription(const ExtenderEntries& entries, char* buffer) {
    uint8_t* text = PlaceCopy(kBufferSlot, reinterpret_cast<uint8_t*>(buffer), kDescriptionSize);
    const int32_t answer = InExport(kQueryName, nullptr, [&] {
        return CallDllEntry(entries.query, {kQueryDescription, DllWord(text), kDescriptionSize});
    });
    if (text != reinterpret_cast<uint8_t*>(buffer))
        memcpy(buffer, text, kDescriptionSize);
    return answer;
}

}  // namespace qel
