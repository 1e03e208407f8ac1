#include "host/win32/emulation.h"

#include "host/protocol/dll_entry_call.h"
#include "host/win32/win32_api.h"

namespace qel {

Emulation& emulation() {
    static Emulation settings;
    return settings;
}

namespace win32 {
namespace {

struct HostFunction {
    const char* dll;
    const char* name;
    const void* function;
    uint32_t argument_bytes;
};

template <typename Function>
HostFunction Row(const char* dll, const char* name, Function* function) {
    return {dll, name, reinterpret_cast<const void*>(function), ArgumentBytes(function)};
}

}  // namespace

uint32_t FindHostFunction(std::string_view dll, std::string_view function) {
    // Only what the DLL may import exists; everything else is refused at load.
    static const HostFunction kFunctions[] = {
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
    for (const HostFunction& candidate : kFunctions) {
        // DLL names compare without case, function names exactly, as Windows does.
        if (EqualIgnoringAsciiCase(candidate.dll, dll) && function == candidate.name) {
            return HostCallThunk(candidate.function, candidate.argument_bytes);
        }
    }
    return 0;
}

}  // namespace win32
}  // namespace qel
