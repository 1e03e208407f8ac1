#include "host/loader/guard_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include "host/protocol/extender_protocol.h"

namespace qel {
namespace {

struct Slot {
    uint8_t* start = nullptr;
    uint32_t usable = 0;  // bytes before the guard page
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
        if (place.start != nullptr)
            munmap(place.start, place.usable + page);
        place = Slot{};
        const uint32_t usable = (size + page - 1) / page * page;
        void* mapped = mmap(nullptr, usable + page, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            return nullptr;
        place.start = static_cast<uint8_t*>(mapped);
        place.usable = usable;
        mprotect(place.start + usable, page, PROT_NONE);
    }
    return place.start + place.usable - size;
}

}  // namespace qel
