#include "host/loader/guard_pages.h"

#include <stddef.h>
#include <sys/mman.h>
#include <unistd.h>

#include "host/protocol/extender_protocol.h"

#if defined(__SANITIZE_ADDRESS__)
#define KZ_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KZ_ADDRESS_SANITIZER 1
#endif
#endif
#if KZ_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace qel {
namespace {

struct Slot {
    uint8_t* mapping = nullptr;  // the guard page below, the usable pages, the guard above
    uint32_t usable = 0;         // bytes between the two guard pages
};

Slot slots[kRecordSlotCount];

uint32_t PageSize() {
    return static_cast<uint32_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

uint8_t* PlaceAgainstGuardPage(int slot, uint32_t size) {
    if (slot < 0 || slot >= kRecordSlotCount)
        return nullptr;
    Slot& place = slots[slot];
    const uint32_t page = PageSize();
    if (place.usable < size) {
        if (place.mapping != nullptr)
            munmap(place.mapping, place.usable + 2 * page);
        place = Slot{};
        const uint32_t usable = (size + page - 1) / page * page;
        // A guard page on each side: past the end is the overrun; below the start is where
        // damaged code that takes a record for its stack pushes to, and whatever the kernel
        // mapped there may be the host's.
        void* mapped =
            mmap(nullptr, usable + 2 * page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            return nullptr;
        uint8_t* start = static_cast<uint8_t*>(mapped);
        if (mprotect(start + page, usable, PROT_READ | PROT_WRITE) != 0) {
            munmap(mapped, usable + 2 * page);
            return nullptr;
        }
        place.mapping = start;
        place.usable = usable;
    }
    return place.mapping + page + place.usable - size;
}

namespace {

// Deep enough for the DLL and the host code it calls back (the Win32 emulation, with the
// sanitizers' larger frames).
constexpr uint32_t kDllStackSize = 1 << 20;
uint8_t* dll_stack = nullptr;  // its lowest usable byte

}  // namespace

void* MapDllStack() {
    if (dll_stack != nullptr)
        return dll_stack + kDllStackSize;
    const uint32_t page = PageSize();
    void* mapped = mmap(nullptr, kDllStackSize + 2 * page, PROT_NONE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    uint8_t* usable = static_cast<uint8_t*>(mapped) + page;
    if (mprotect(usable, kDllStackSize, PROT_READ | PROT_WRITE) != 0) {
        munmap(mapped, kDllStackSize + 2 * page);
        return nullptr;
    }
    dll_stack = usable;
    return dll_stack + kDllStackSize;
}

void ForgetDllStackFrames() {
#if KZ_ADDRESS_SANITIZER
    if (dll_stack != nullptr)
        __asan_unpoison_memory_region(dll_stack, kDllStackSize);
#endif
}

}  // namespace qel
