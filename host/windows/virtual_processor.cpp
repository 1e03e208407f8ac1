#include "host/windows/virtual_processor.h"

#include <mmsystem.h>
#include <string.h>

#include <vector>

#include "host/crossing/served_sites.h"
#include "host/virtual_cpu/last_clock_read.h"
#include "host/windows/fault_guard.h"

namespace qel {
namespace {

VirtualProcessorSettings settings;

// --- The session's clock -------------------------------------------------------------------

int64_t CounterFrequency() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return value.QuadPart > 0 ? value.QuadPart : int64_t{1};
    }();
    return frequency;
}

uint64_t CountNanoseconds(int64_t count) {
    const uint64_t hz = static_cast<uint64_t>(CounterFrequency());
    const uint64_t counts = static_cast<uint64_t>(count);
    return counts / hz * 1'000'000'000u + counts % hz * 1'000'000'000u / hz;
}

int64_t CounterNow() {
    LARGE_INTEGER value{};
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

LastClockRead last_clock_read;

void RecordClockRead(int64_t count) {
    last_clock_read.Record(CountNanoseconds(count));
}

uint64_t StampNanoseconds() {
    if (settings.timeline)
        return settings.timeline->now_ns;
    return last_clock_read.Stamp([] { return CountNanoseconds(CounterNow()); });
}

// --- The DLL's clocks, through its import table ---------------------------------------------
// Standard-call as the imports they replace; the DLL keeps only 4-byte stack alignment.

#define QEL_CLOCK_HOOK __attribute__((force_align_arg_pointer)) WINAPI

BOOL QEL_CLOCK_HOOK SessionQueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!settings.timeline || frequency == nullptr)
        return QueryPerformanceFrequency(frequency);
    frequency->QuadPart = settings.timeline->counter_hz;
    return TRUE;
}

BOOL QEL_CLOCK_HOOK SessionQueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr)
        return QueryPerformanceCounter(count);
    if (settings.timeline) {
        count->QuadPart =
            static_cast<LONGLONG>(settings.timeline->CounterAt(settings.timeline->Advance()));
        return TRUE;
    }
    const BOOL read = QueryPerformanceCounter(count);
    RecordClockRead(count->QuadPart);
    return read;
}

// A millisecond clock read: the timeline's milliseconds, else the real clock's with the time
// of the read recorded.
DWORD MillisecondsRead(DWORD(WINAPI* real)()) {
    if (settings.timeline)
        return static_cast<DWORD>(settings.timeline->Advance() / 1'000'000u);
    const DWORD value = real();
    RecordClockRead(CounterNow());
    return value;
}

DWORD QEL_CLOCK_HOOK SessionGetTickCount() {
    return MillisecondsRead(&GetTickCount);
}

DWORD QEL_CLOCK_HOOK SessionTimeGetTime() {
    return MillisecondsRead(&timeGetTime);
}

struct ClockImport {
    const char* name;
    void* replacement;
};
const ClockImport kClockImports[] = {
    {"QueryPerformanceFrequency", reinterpret_cast<void*>(&SessionQueryPerformanceFrequency)},
    {"QueryPerformanceCounter", reinterpret_cast<void*>(&SessionQueryPerformanceCounter)},
    {"GetTickCount", reinterpret_cast<void*>(&SessionGetTickCount)},
    {"timeGetTime", reinterpret_cast<void*>(&SessionTimeGetTime)},
};

bool WriteProtected(void* place, const void* bytes, SIZE_T size, DWORD writable) {
    DWORD old = 0;
    if (!VirtualProtect(place, size, writable, &old))
        return false;
    memcpy(place, bytes, size);
    VirtualProtect(place, size, old, &old);
    return true;
}

const IMAGE_NT_HEADERS32& HeadersOf(HMODULE module) {
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const auto& dos = *reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return *reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos.e_lfanew);
}

// Each imported clock of the module (by name) bound to its session clock instead.
bool BindClocks(HMODULE module) {
    auto* base = reinterpret_cast<uint8_t*>(module);
    const IMAGE_DATA_DIRECTORY& directory =
        HeadersOf(module).OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return true;
    for (auto* library =
             reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         library->Name != 0; ++library) {
        // The lookup table keeps the names where the address table has been bound.
        const DWORD names =
            library->OriginalFirstThunk != 0 ? library->OriginalFirstThunk : library->FirstThunk;
        auto* lookup = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + names);
        auto* bound = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + library->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++bound) {
            if (IMAGE_SNAP_BY_ORDINAL32(lookup->u1.Ordinal))
                continue;
            const auto* named =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
            for (const ClockImport& clock : kClockImports) {
                if (strcmp(reinterpret_cast<const char*>(named->Name), clock.name) != 0)
                    continue;
                const DWORD address = reinterpret_cast<DWORD>(clock.replacement);
                if (!WriteProtected(&bound->u1.Function, &address, sizeof address, PAGE_READWRITE))
                    return false;
            }
        }
    }
    return true;
}

// --- The sites ---------------------------------------------------------------------------------

void ServeSite(virtual_cpu::SiteKind kind, SiteRegisters* registers) {
    AnswerFromModels(kind, settings.cpuid ? &*settings.cpuid : nullptr, settings.clock_khz,
                     &StampNanoseconds, registers);
}

bool WriteTrap(uint8_t* place) {
    if (!WriteProtected(place, kSiteTrap, kSiteLength, PAGE_EXECUTE_READWRITE))
        return false;
    FlushInstructionCache(GetCurrentProcess(), place, kSiteLength);
    return true;
}

// The section table as the loader's sections, from the mapped headers.
std::vector<Section> SectionsOf(HMODULE module) {
    const IMAGE_NT_HEADERS32& headers = HeadersOf(module);
    const IMAGE_SECTION_HEADER* entry = IMAGE_FIRST_SECTION(&headers);
    std::vector<Section> sections(headers.FileHeader.NumberOfSections);
    for (Section& section : sections) {
        memcpy(section.name, entry->Name, IMAGE_SIZEOF_SHORT_NAME);
        section.virtual_address = entry->VirtualAddress;
        section.virtual_size = entry->Misc.VirtualSize;
        section.raw_offset = entry->PointerToRawData;
        section.raw_size = entry->SizeOfRawData;
        section.characteristics = entry->Characteristics;
        ++entry;
    }
    return sections;
}

}  // namespace

VirtualProcessorSettings& virtual_processor() {
    return settings;
}

bool ServeModule(HMODULE module, LoadFailure* failure) {
    const SiteServing serving = settings.serving();
    if (!serving.any())
        return true;
    InstallFaultHandler();
    SetSiteServer(&ServeSite);
    const std::vector<Section> sections = SectionsOf(module);
    if (!PatchServedSites(reinterpret_cast<uint8_t*>(module), sections, serving, failure,
                          &WriteTrap)) {
        ForgetModule(module);
        return false;
    }
    if ((serving.rdtsc || settings.timeline) && !BindClocks(module)) {
        ForgetModule(module);
        return Fail(failure, LoadFailureKind::kUnsupported,
                    "cannot serve RDTSC: the import table cannot be made writable");
    }
    return true;
}

void ForgetModule(HMODULE module) {
    ForgetServedSites(reinterpret_cast<uintptr_t>(module),
                      HeadersOf(module).OptionalHeader.SizeOfImage);
}

}  // namespace qel
