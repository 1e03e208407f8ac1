#include "host/win32/emulation.h"

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
    uint32_t address;
};

uint32_t AddressOf(auto* function) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(function));
}

}  // namespace

uint32_t FindHostFunction(std::string_view dll, std::string_view function) {
    // Only what the DLL may import exists; everything else is refused at load.
    static const HostFunction kFunctions[] = {
        {"KERNEL32.DLL", "GetTickCount", AddressOf(&GetTickCount)},
        {"KERNEL32.DLL", "GlobalMemoryStatus", AddressOf(&GlobalMemoryStatus)},
        {"KERNEL32.DLL", "QueryPerformanceCounter", AddressOf(&QueryPerformanceCounter)},
        {"KERNEL32.DLL", "QueryPerformanceFrequency", AddressOf(&QueryPerformanceFrequency)},
        {"KERNEL32.DLL", "lstrcpyA", AddressOf(&lstrcpyA)},
        {"KERNEL32.DLL", "lstrcpynA", AddressOf(&lstrcpynA)},
        {"KERNEL32.DLL", "lstrlenA", AddressOf(&lstrlenA)},
        {"USER32.DLL", "LoadStringA", AddressOf(&LoadStringA)},
        {"USER32.DLL", "CharLowerA", AddressOf(&CharLowerA)},
        {"USER32.DLL", "MessageBoxA", AddressOf(&MessageBoxA)},
        {"WINMM.DLL", "timeGetTime", AddressOf(&timeGetTime)},
    };
    for (const HostFunction& candidate : kFunctions) {
        // DLL names compare without case, function names exactly, as Windows does.
        if (EqualIgnoringAsciiCase(candidate.dll, dll) && function == candidate.name) {
            return candidate.address;
        }
    }
    return 0;
}

}  // namespace win32
}  // namespace qel
