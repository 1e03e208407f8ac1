#include "extender/function_table.h"

#include "extender/host_protocol.h"
#include "platform/win32_services.h"

namespace {

using qel_abi::kEndOfTable;
using qel_abi::kScriptFunctionKind;
// The 64-bit little-endian 0x11111, handed to the host unchanged.
#define KZ_ARGUMENT_TYPES \
    { 0x11, 0x11, 0x01, 0, 0, 0, 0, 0 }

constexpr char kTooOldHost[] = "Need newer version of QEL DLL";

}  // namespace

const FunctionDescriptor FunctionTable[kFunctionCount + 1] = {
#define KZ_DESCRIPTOR_ROW(number, name, argument_count) \
    {number, kScriptFunctionKind, KZ_ARGUMENT_TYPES, argument_count, 0, #name},
    KZ_SCRIPT_FUNCTIONS(KZ_DESCRIPTOR_ROW)
#undef KZ_DESCRIPTOR_ROW
    // The end marker.
    {kEndOfTable, 0, {0, 0, 0, 0, 0, 0, 0, 0}, 0, 0, ""},
};

int32_t Handshake(const void* host_info, char* buffer) {
    // A host that passes no HostInfo states no version, so it counts as too old.
    uint32_t host_version = host_info ? LoadWord(host_info, kHostVersionOffset) : 0;
    if (host_version >= kMinimumHostVersion)
        return kFunctionCount;
    if (buffer != nullptr)
        platform::CopyText(buffer, kTooOldHost);
    return -1;
}

int32_t Enumerate(int32_t index, void* record) {
    // The host is trusted to stay within the table, but an index outside it must never
    // read past the end.
    if (index < 0 || index > kFunctionCount)
        return 0;
    const FunctionDescriptor& row = FunctionTable[index];
    if (row.identifier == kEndOfTable)
        return 0;
    if (record == nullptr)
        return 1;

    auto* out = static_cast<uint8_t*>(record);
    const auto* in = reinterpret_cast<const uint8_t*>(&row);
    for (size_t i = 0; i < offsetof(FunctionDescriptor, name_length); ++i)
        out[i] = in[i];
    uint16_t length = static_cast<uint16_t>(platform::TextLength(row.name));
    __builtin_memcpy(out + offsetof(FunctionDescriptor, name_length), &length, sizeof length);
    char* name = reinterpret_cast<char*>(out + offsetof(FunctionDescriptor, name));
    platform::CopyText(name, row.name);
    platform::LowerText(name);
    return 1;
}

uint32_t CountFunctionsOfKind(int32_t kind) {
    uint32_t count = 0;
    for (const FunctionDescriptor* row = FunctionTable; row->identifier != kEndOfTable; ++row) {
        if (row->kind == kind)
            ++count;
    }
    return count;
}
