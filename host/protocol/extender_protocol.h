// The QEL host's side of the extender protocol: the records a host hands to the two exports,
// the callback, and one call of each kind. Every host build uses it: qelhost on Linux and on
// Windows, and the runner that drives the DLL on emulated processors.
#pragma once
#include <stdint.h>

#include "abi/qel_records.h"
#include "host/base/bounded_text.h"
#include "host/crossing/guard_pages.h"

namespace qel {

using qel_abi::kArgumentRecordCount;
using qel_abi::kArgumentRecordSize;
using qel_abi::kArgumentTextOffset;
using qel_abi::kFunctionDescriptorSize;
using qel_abi::kResultRecordSize;
constexpr uint32_t kHostVersion = qel_abi::kQelhostVersion;  // announced in the handshake
constexpr uint32_t kDescriptionSize = 256;

using QueryEntry = __attribute__((stdcall)) int32_t (*)(uint32_t, void*, int32_t);
using DispatchEntry = __attribute__((stdcall))
int32_t (*)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
            uint32_t, uint32_t);

// The names of the two exports, decorated as the DLL exports them.
constexpr const char* kDispatchName = "_QELExtender2@40";
constexpr const char* kQueryName = "_QELExtenderQuery@12";

// The two exports of a loaded extender.
struct ExtenderEntries {
    QueryEntry query = nullptr;
    DispatchEntry dispatch = nullptr;
};

// Where the host places what it hands to the DLL: one slot for each record, buffer and
// argument text. Without a placer they live on the host's stack; the Linux loader places
// each against a guard page, so that the DLL cannot write past one into the host.
enum RecordSlot : int {
    kArgumentSlot,
    kHostInfoSlot,
    kResultSlot,
    kBufferSlot,  // the handshake's refusal, the enumeration row, the description
    kFirstTextSlot,
    kRecordSlotCount = kFirstTextSlot + kArgumentRecordCount
};
static_assert(kRecordSlotCount <= kGuardedBlockSlots, "a guarded block for every slot");
using RecordPlacer = uint8_t* (*)(int slot, uint32_t size);
void SetRecordPlacer(RecordPlacer placer);

// What one script function call did.
struct CallRecord {
    int32_t returned = 0;     // what _QELExtender2@40 returned
    int callbacks = 0;        // how often HostCallback ran (must be exactly 1)
    int32_t status = 0;       // callback status: 0 value, -1 error
    int32_t result_type = 0;  // ResultRecord offset 28 (1 value, 2 text)
    int32_t value = 0;        // ResultRecord offset 24
    BoundedText text;         // text at offset 32 (after an error)
    // The callback received the host context, HostInfo and ResultRecord it was given.
    bool arguments_handed_back = false;
};

// The address the DLL calls for the host's callback: its call thunk (0 when every thunk is
// taken, which a load that asks for it first prevents).
uint32_t CallbackThunk();

// Function `number` (all 32 bits passed) with up to five argument texts (null: absent);
// the callback answers `callback_answer`. `window` owns cversioninfo's message box.
CallRecord CallFunction(const ExtenderEntries& entries, uint32_t number,
                        const char* const (&arguments)[kArgumentRecordCount],
                        int32_t callback_answer, uint32_t window = 0);

// Request -1 with HostInfo announcing `host_version`; `buffer` receives the refusal text.
int32_t Handshake(const ExtenderEntries& entries, uint32_t host_version, char* buffer);

// Request -2 for row `index` into a 56-byte record (or null).
int32_t Enumerate(const ExtenderEntries& entries, int32_t index, void* record);

// Query code 1: the description into `buffer` (kDescriptionSize bytes); answers the version.
int32_t QueryDescription(const ExtenderEntries& entries, char* buffer);

}  // namespace qel
