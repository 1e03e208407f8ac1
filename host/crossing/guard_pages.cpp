#include "host/crossing/guard_pages.h"

#include <sys/mman.h>
#include <unistd.h>

namespace qel {
namespace {

struct Slot {
    uint8_t* start = nullptr;  // the first usable byte, a guard page below it
    uint32_t usable = 0;       // bytes before the guard page above
};

Slot slots[kGuardedBlockSlots];

uint32_t PageSize() {
    return static_cast<uint32_t>(sysconf(_SC_PAGESIZE));
}

// `usable` bytes (whole pages) between two inaccessible pages; the first usable byte, or null.
uint8_t* MapFenced(uint32_t usable, int extra_flags) {
    const uint32_t page = PageSize();
    void* mapped = mmap(nullptr, usable + 2 * page, PROT_NONE,
                        MAP_PRIVATE | MAP_ANONYMOUS | extra_flags, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    uint8_t* start = static_cast<uint8_t*>(mapped) + page;
    if (mprotect(start, usable, PROT_READ | PROT_WRITE) != 0) {
        munmap(mapped, usable + 2 * page);
        return nullptr;
    }
    return start;
}

void UnmapFenced(uint8_t* start, uint32_t usable) {
    const uint32_t page = PageSize();
    munmap(start - page, usable + 2 * page);
}

// Far deeper than the DLL needs: the host's code it calls runs on the host's own stack.
constexpr uint32_t kDllStackSize = 1 << 20;
uint8_t* dll_stack = nullptr;  // its lowest usable byte

}  // namespace

uint8_t* PlaceAgainstGuardPage(int slot, uint32_t size) {
    if (slot < 0 || slot >= kGuardedBlockSlots)
        return nullptr;
    Slot& place = slots[slot];
    if (place.usable < size) {
        if (place.start != nullptr)
            UnmapFenced(place.start, place.usable);
        place = Slot{};
        // Fenced on both sides: past the end is the overrun; below the start is where damaged
        // code that takes a record for its stack pushes to, and whatever the kernel mapped
        // there may be the host's.
        const uint32_t page = PageSize();
        const uint32_t usable = (size + page - 1) / page * page;
        place.start = MapFenced(usable, 0);
        if (place.start == nullptr)
            return nullptr;
        place.usable = usable;
    }
    return place.start + place.usable - size;
}

void* MapDllStack() {
    if (dll_stack == nullptr)
        dll_stack = MapFenced(kDllStackSize, MAP_NORESERVE);
    return dll_stack != nullptr ? dll_stack + kDllStackSize : nullptr;
}

}  // namespace qel
