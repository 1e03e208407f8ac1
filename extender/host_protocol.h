// What the QEL host hands over on a script function call, and the layout of its records.
#pragma once
#include <stdint.h>

#include "abi/qel_records.h"
#include "platform/stdcall.h"

// The host's completion function: status 0 after a value, -1 after an error.
using HostCallback = KZ_STDCALL int32_t (*)(int32_t status, uint32_t host_context, void* host_info,
                                            void* result_record);

using qel_abi::kArgumentRecordSize;
using qel_abi::kArgumentTextOffset;
constexpr int kArgumentCount = qel_abi::kArgumentRecordCount;
using qel_abi::kHostVersionOffset;
using qel_abi::kResultTextOffset;
using qel_abi::kResultTypeOffset;
using qel_abi::kResultTypeText;
using qel_abi::kResultTypeValue;
using qel_abi::kResultValueOffset;

// One script function call as the dispatcher hands it to a function.
struct Call {
    void* window;           // owner of cversioninfo's message box
    uint32_t host_context;  // handed back to the callback unchanged
    HostCallback callback;
    void* host_info;  // handed back to the callback unchanged
    uint8_t* result_record;
    const char* args[kArgumentCount];  // argument texts; null where the host gave none
};

// Unaligned 32-bit access to host-owned records.
inline uint32_t LoadWord(const void* base, uint32_t offset) {
    uint32_t value;
    __builtin_memcpy(&value, static_cast<const uint8_t*>(base) + offset, sizeof value);
    return value;
}

inline void StoreWord(void* base, uint32_t offset, uint32_t value) {
    __builtin_memcpy(static_cast<uint8_t*>(base) + offset, &value, sizeof value);
}
