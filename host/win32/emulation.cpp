#include "host/win32/emulation.h"

#include "host/crossing/dll_entry_call.h"
#include "host/win32/win32_api.h"

namespace qel {

Emulation& emulation() {
    static Emulation settings;
    return settings;
}

namespace win32 {
namespace {

struct HostFunctionRow {
    const char* dll;
    const char* name;
    HostFunction function;
};

template <typename Function>
HostFunctionRow Row(const char* dll, const char* name, Function* function) {
    return {dll, name, {reinterpret_cast<const void*>(function), ArgumentBytes(function)}};
}

// Only what the DLL may import exists; everything else is refused at load.
const HostFunctionRow kHostFunctions[] = {
    Row("KERNEL32.DLL", "GetTickCount", &GetTickCount),
    Row("KERNEL32.DLL", "GlobalMemoryStatus", &GlobalMemoryStatus),
    Row("KERNEL32.DLL", "QueryPerformanceCounter", &QueryPerformanceCounter),
    Row("KERNEL32.DLL", "QueryPerformanceFrequency", &QueryPerformanceFrequency),
    Row("KERNEL32.DLL", "lstrcpyA", &lstrcpyA),
    Row("KERNEL32.DLL", "lstrcpynA", &lstrcpynA),
    Row("KERNEL32.DLL", "lstrlenA", &lstrlenA),
    Row("USER32.DLL", "LoadStringA", &LoadStringA),
    Row("USER32.DLL", "CharLowerA", &CharLowerA),
    Row("USER32.DLL", "MessageBoxA", &MessageBoxA),
    Row("WINMM.DLL", "timeGetTime", &timeGetTime),
};
// Each function, and the host's callback, gets a call thunk of its own.
static_assert(sizeof kHostFunctions / sizeof kHostFunctions[0] + 1 <= kHostCallThunkCount,
              "a call thunk for every Win32 function and the callback");

}  // namespace

HostFunction FindHostFunction(std::string_view dll, std::string_view function) {
    for (const HostFunctionRow& candidate : kHostFunctions) {
        // DLL names compare without case, function names exactly, as Windows does.
        if (EqualIgnoringAsciiCase(candidate.dll, dll) && function == candidate.name)
            return candidate.function;
    }
    return HostFunction{};
}

}  // namespace win32
}  // namespace qel
