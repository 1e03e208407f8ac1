// The library's two exports, with the Windows standard calling convention.
#pragma once
#include <stdint.h>

#include "extender/host_protocol.h"

extern "C" {

// Dispatch: -3, -2 (enumeration), -1 (handshake), and the script functions 1 to 10.
KZ_STDCALL int32_t QELExtender2(void* window, uint32_t unused2, uint32_t host_context,
                                uint32_t function_number, HostCallback callback, void* host_info,
                                uint32_t unused7, void* records, int32_t enumeration_index,
                                void* result_record);

// Query: code 1 description and version, code 2 a scan for the value 4.
KZ_STDCALL int32_t QELExtenderQuery(uint32_t code, void* pointer, int32_t count);
}
