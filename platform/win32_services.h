// The Win32 services the library uses, as thin free functions. The DLL links the real
// implementation (platform/real), the unit tests a scripted fake (platform/fake).
#pragma once
#include <stdint.h>

#include "abi/memory_status.h"

namespace platform {

using qel_abi::MemoryStatus;

// LoadStringA: string `id` of `module`'s string table, cut to size - 1 and NUL-terminated.
int32_t LoadMessage(void* module, uint32_t id, char* buffer, int32_t size);
// MessageBoxA: modal box; answers the button pressed (1 OK, 2 Cancel).
int32_t ShowMessageBox(void* owner, const char* text, const char* caption, uint32_t style);
// GlobalMemoryStatus.
void ReadMemoryStatus(MemoryStatus* status);

// lstrcpyA, lstrcpynA, lstrlenA and the string form of CharLowerA.
char* CopyText(char* destination, const char* source);
char* CopyTextLimited(char* destination, const char* source, int32_t size);
int32_t TextLength(const char* text);
char* LowerText(char* text);

// QueryPerformanceFrequency and QueryPerformanceCounter; false when there is no counter.
bool ReadCounterFrequency(uint64_t* counts_per_second);
bool ReadCounter(uint64_t* count);
// GetTickCount and timeGetTime: milliseconds, 32 bits, wrapping.
uint32_t ReadTickCount();
uint32_t ReadMultimediaTime();

}  // namespace platform
