// The Win32 calls the host provides to a loaded DLL. Each is standard-call with the exact
// argument count of its Win32 original, and realigns the stack on entry because the DLL
// keeps only 4-byte alignment.
#pragma once
#include <stdint.h>

#include <string_view>

#include "abi/memory_status.h"
#include "host/loader/image_directories.h"

#define QEL_WINAPI __attribute__((stdcall, force_align_arg_pointer))

namespace qel::win32 {

using qel_abi::MemoryStatus;

// KERNEL32
QEL_WINAPI uint32_t GetTickCount();
QEL_WINAPI void GlobalMemoryStatus(MemoryStatus* status);
QEL_WINAPI int32_t QueryPerformanceCounter(int64_t* count);
QEL_WINAPI int32_t QueryPerformanceFrequency(int64_t* frequency);
QEL_WINAPI char* lstrcpyA(char* destination, const char* source);
QEL_WINAPI char* lstrcpynA(char* destination, const char* source, int32_t size);
QEL_WINAPI int32_t lstrlenA(const char* text);
// USER32
QEL_WINAPI int32_t LoadStringA(void* module, uint32_t id, char* buffer, int32_t size);
QEL_WINAPI char* CharLowerA(char* text_or_character);
QEL_WINAPI int32_t MessageBoxA(void* owner, const char* text, const char* caption, uint32_t style);
// WINMM
QEL_WINAPI uint32_t timeGetTime();

// The emulated DLL!function (DLL name case-insensitive), or one with a null address: the
// loader's ImportResolver for a DLL that runs over this emulation.
HostFunction FindHostFunction(std::string_view dll, std::string_view function);

}  // namespace qel::win32
