// GlobalMemoryStatus from the machine's memory (or the emulated size), with the caps that
// Windows applies for a 32-bit process.
#include <string.h>
#include <sys/sysinfo.h>

#include <algorithm>

#include "host/win32/emulation.h"
#include "host/win32/win32_api.h"

namespace qel::win32 {
namespace {

constexpr uint64_t kTwoGigabytesCap = 0x7FFFFFFF;
constexpr uint64_t kFourGigabytesCap = 0xFFFFFFFF;
// User address space of a 32-bit process, without and with large-address awareness.
constexpr uint64_t kUserSpace = 0x7FFE0000;
constexpr uint64_t kLargeUserSpace = 0xFFFE0000;

uint32_t Capped(uint64_t value, uint64_t cap) {
    return static_cast<uint32_t>(std::min(value, cap));
}

}  // namespace

QEL_WINAPI void GlobalMemoryStatus(MemoryStatus* status) {
    if (status == nullptr)
        return;
    const Emulation& settings = emulation();
    struct sysinfo info {};
    sysinfo(&info);
    const uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
    uint64_t total = uint64_t{info.totalram} * unit;
    uint64_t available = (uint64_t{info.freeram} + info.bufferram) * unit;
    if (settings.memory_bytes) {
        available = total != 0 ? static_cast<uint64_t>(static_cast<long double>(available) / total *
                                                       *settings.memory_bytes)
                               : *settings.memory_bytes;
        total = *settings.memory_bytes;
    }
    available = std::min(available, total);
    const uint64_t swap_total = uint64_t{info.totalswap} * unit;
    const uint64_t swap_free = uint64_t{info.freeswap} * unit;

    const bool large = settings.large_address_aware;
    const uint64_t physical_cap = large ? kFourGigabytesCap : kTwoGigabytesCap;
    const uint64_t user_space = large ? kLargeUserSpace : kUserSpace;
    MemoryStatus answer;
    answer.length = sizeof(MemoryStatus);
    answer.memory_load = total != 0 ? static_cast<uint32_t>((total - available) * 100 / total) : 0;
    answer.total_phys = Capped(total, physical_cap);
    answer.avail_phys = Capped(available, physical_cap);
    answer.total_page_file = Capped(total + swap_total, kFourGigabytesCap);
    answer.avail_page_file = Capped(available + swap_free, kFourGigabytesCap);
    answer.total_virtual = Capped(user_space, physical_cap);
    answer.avail_virtual = Capped(user_space - (user_space >> 6), physical_cap);
    // The DLL's record may sit at any alignment; a bad pointer faults here, inside the guard.
    memcpy(status, &answer, sizeof answer);
}

}  // namespace qel::win32
