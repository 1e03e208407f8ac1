// The table of script functions the host enumerates, and the two set-up requests.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "abi/qel_records.h"
#include "abi/script_functions.h"

// One row of the table; the host's record for request -2 has the same 56-byte layout.
struct FunctionDescriptor {
    int32_t identifier;  // the function number; -1 ends the table
    int32_t kind;        // FunctionKind: 2 in every row
    uint8_t argument_types[8];
    int32_t argument_count;
    int16_t name_length;  // 0 here; the host's copy receives the name's length
    char name[34];
};
static_assert(sizeof(FunctionDescriptor) == qel_abi::kFunctionDescriptorSize);
static_assert(offsetof(FunctionDescriptor, identifier) == qel_abi::kDescriptorIdentifierOffset);
static_assert(offsetof(FunctionDescriptor, kind) == qel_abi::kDescriptorKindOffset);
static_assert(offsetof(FunctionDescriptor, argument_types) ==
              qel_abi::kDescriptorArgumentTypesOffset);
static_assert(offsetof(FunctionDescriptor, argument_count) ==
              qel_abi::kDescriptorArgumentCountOffset);
static_assert(offsetof(FunctionDescriptor, name_length) == qel_abi::kDescriptorNameLengthOffset);
static_assert(offsetof(FunctionDescriptor, name) == qel_abi::kDescriptorNameOffset);

constexpr int kFunctionCount = qel_abi::kScriptFunctionCount;
using qel_abi::kMinimumHostVersion;

// A row per script function, in number order, and the end marker.
extern const FunctionDescriptor FunctionTable[kFunctionCount + 1];

// Request -1: 10 when the host is new enough, else -1 with the refusal text in `buffer`.
int32_t Handshake(const void* host_info, char* buffer);
// Request -2: copies row `index` into `record` (when not null) and answers 1; 0 at the end.
int32_t Enumerate(int32_t index, void* record);
// The number of rows before the end marker whose FunctionKind is `kind`.
uint32_t CountFunctionsOfKind(int32_t kind);
