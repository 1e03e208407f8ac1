// The Win32 services, called directly. Only these imports may appear in the DLL.
#include "platform/win32_services.h"

#include <windows.h>
// mmsystem.h needs the types windows.h declares.
#include <mmsystem.h>

namespace platform {

static_assert(sizeof(MemoryStatus) == sizeof(MEMORYSTATUS), "MEMORYSTATUS is eight 32-bit fields");

int32_t LoadMessage(void* module, uint32_t id, char* buffer, int32_t size) {
    return LoadStringA(static_cast<HINSTANCE>(module), id, buffer, size);
}

int32_t ShowMessageBox(void* owner, const char* text, const char* caption, uint32_t style) {
    return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

void ReadMemoryStatus(MemoryStatus* status) {
    GlobalMemoryStatus(reinterpret_cast<MEMORYSTATUS*>(status));
}

char* CopyText(char* destination, const char* source) {
    return lstrcpyA(destination, source);
}

char* CopyTextLimited(char* destination, const char* source, int32_t size) {
    return lstrcpynA(destination, source, size);
}

int32_t TextLength(const char* text) {
    return lstrlenA(text);
}

char* LowerText(char* text) {
    return CharLowerA(text);
}

bool ReadCounterFrequency(uint64_t* counts_per_second) {
    LARGE_INTEGER value;
    if (!QueryPerformanceFrequency(&value))
        return false;
    *counts_per_second = static_cast<uint64_t>(value.QuadPart);
    return true;
}

bool ReadCounter(uint64_t* count) {
    LARGE_INTEGER value;
    if (!QueryPerformanceCounter(&value))
        return false;
    *count = static_cast<uint64_t>(value.QuadPart);
    return true;
}

uint32_t ReadTickCount() {
    return GetTickCount();
}

uint32_t ReadMultimediaTime() {
    return timeGetTime();
}

}  // namespace platform
