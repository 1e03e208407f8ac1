// The library's own module handle, under which its string table is loaded.
#pragma once
#include <stdint.h>

#include "platform/stdcall.h"

extern void* ModuleHandle;

// The entry point: records the handle on every notification; loading never fails.
extern "C" KZ_STDCALL int32_t DllMain(void* module, uint32_t reason, void* reserved);
